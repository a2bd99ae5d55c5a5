// Applications name phrase classes, send phrase texts and phrase ids and ask
// for matches of any text: a script of such requests (ir_entry_script.h)
// runs on a fresh vocabulary and phrase index. Matches must be of the class,
// in order and not negative (a phrase whose norm saturates may score above
// 1024); an added phrase must be found; the index, saved as
// "bir0" and read into a fresh one, must come back with the same checksum;
// nothing may be left allocated.
#include "fuzz/brevit_ir_entry/ir_entry_script.h"

#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "tests/support/fuzz_sub_file_archive.h"
#include "tests/support/system_engine_context.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

const std::string& vocabularyImage()
{
    static const std::string image = [] {
        SystemEngineContext context;
        ScopedParamBlock params(ir_entry::params());
        std::string made = writtenArchiveImage(
            [](DVKTar* tar) { return vocabulary_fixture::write(tar, ir_entry::words(), ir_entry::options()); });
        DVKTempMem_DeleteMemStack();
        return made;
    }();
    return image;
}

// The index written as "bir0" and read into a fresh one over the same words.
void checkRoundTrip(Voc* voc, const IR* index)
{
    const std::string saved = writtenArchiveImage([&](DVKTar* tar) { return IR_WriteBinFile(index, tar, nullptr); });
    if (saved.empty())
        std::abort();
    DVKTar* tar = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(saved.size()), saved.data());
    IR* again = IR_Create(voc);
    if (tar == nullptr || again == nullptr || IR_ReadBinFile(again, tar, nullptr) != 1 ||
        IR_ComputeCRC(again) != IR_ComputeCRC(index))
        std::abort();
    IR_Delete(again);
    DVKTar_Close(tar);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    const std::string& image = vocabularyImage();
    if (image.empty())
        std::abort();
    ScopedParamBlock params(ir_entry::params());
    SystemEngineContext context;
    DVKErr_Protect([&] {
        DVKTar* tar = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(image.size()), image.data());
        Voc* voc = tar != nullptr ? Voc_LoadFromBinFile(tar, nullptr) : nullptr;
        IR* index = IR_Create(voc);
        if (voc == nullptr || index == nullptr)
            std::abort();
        DVKErr_Protect([&] {
            const ir_entry::Outcome outcome = ir_entry::Runner(voc, index).run(data, size);
            if (!outcome.broken.empty())
                std::abort();
            checkRoundTrip(voc, index);
        });
        IR_Delete(index);
        Voc_Delete(voc);
        DVKTar_Close(tar);
    });
    DVKTempMem_DeleteMemStack();
    if (context.liveBlocks() != 0)
        std::abort();
    return 0;
}
