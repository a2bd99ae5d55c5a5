// The synthesis front end reads its block from downloaded language packs
// and speaks any text an application hands it. The input is a 2-byte length
// L, L bytes of front-end block and a UTF-16 text (at most 512 units): the
// block is loaded over fixed phone fields and a fixed vocabulary; what loads
// builds the text's units, gives every unit's features (the walk must end
// within the tree's phones and then answer 0), checksums and is freed. Every
// word the call added must be gone again.
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/lm_rewrite.h"
#include "core/brevit/synthesis/cep_tts_front_end.h"
#include "core/brevit/synthesis/tts.h"
#include "tests/support/fuzz_archive_image.h"
#include "tests/support/fuzz_sub_file_archive.h"
#include "tests/support/synthesis_front_end_vocabulary.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

vocabulary_fixture::Options options()
{
    vocabulary_fixture::Options o = front_end_fixture::vocabularyOptions();
    o.params = {{992, 1}, {991, 1}};
    return o;
}

// The vocabulary and the two phone tables, written once.
const std::string& fixedImage()
{
    static std::string made;
    if (made.empty()) {
        SystemEngineContext context;
        ScopedParamBlock params(vocabulary_fixture::params(options()));
        made = writtenArchiveImage([&](DVKTar* tar) {
            return vocabulary_fixture::write(tar, front_end_fixture::words(), options()) &&
                   vocabulary_fixture::writeSubFile(tar, "pron", "", [](BinFileWriter* w) {
                       return search_tables::write(w, front_end_fixture::pronToPhone());
                   }) &&
                   vocabulary_fixture::writeSubFile(tar, "classes", "", [](BinFileWriter* w) {
                       return search_tables::write(w, front_end_fixture::phoneClasses());
                   });
        });
        DVKTempMem_DeleteMemStack();
    }
    return made;
}

LMRewrite* readTable(DVKTar* tar, const char* tag)
{
    BinFileReader* reader = BinFileReader_Create(tar, tag, nullptr);
    LMRewrite* table = reader != nullptr ? LMRewrite_Read(reader) : nullptr;
    BinFileReader_Delete(reader);
    return table;
}

void speak(CepTTSFrontEnd* f, const std::u16string& text)
{
    CepTTSUnits* u = CepTTSFrontEnd_UnitsFromText(f, reinterpret_cast<const uint16_t*>(text.c_str()));
    if (u == nullptr)
        return;
    const int64_t most = u->tree != nullptr ? u->tree->phoneCount : 0;
    uint8_t features[kCepTTSFeatureCount];
    int64_t units = 0;
    while (CepTTSFrontEnd_GetUnitFeatures(f, u, features) == 1)
        if (++units > most)
            std::abort();   // the walk runs past the tree
    if (!CepTTSUnits_IsFinished(u) || CepTTSFrontEnd_GetUnitFeatures(f, u, features) != 0)
        std::abort();
    CepTTSUnits_Delete(u);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 1 << 16)
        return 0;
    const size_t blockSize = std::min<size_t>(size - 2, data[0] | (data[1] << 8));
    std::u16string text;
    for (size_t k = 2 + blockSize; k + 1 < size && text.size() < 512; k += 2) {
        const auto c = static_cast<char16_t>(data[k] | (data[k + 1] << 8));
        if (c != 0)
            text.push_back(c);
    }
    const std::string& fixed = fixedImage();
    if (fixed.empty())
        std::abort();
    std::string image;
    appendArchiveEntry(image, "fe", data + 2, blockSize);
    ScopedParamBlock params(vocabulary_fixture::params(options()));
    return fuzzArchiveImage(reinterpret_cast<const uint8_t*>(image.data()), image.size(), [&](DVKTar* blockTar) {
        DVKTar* tar = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(fixed.size()), fixed.data());
        Voc* voc = tar != nullptr ? Voc_LoadFromBinFile(tar, nullptr) : nullptr;
        LMRewrite* pron = tar != nullptr ? readTable(tar, "pron") : nullptr;
        LMRewrite* classes = tar != nullptr ? readTable(tar, "classes") : nullptr;
        if (voc == nullptr || pron == nullptr || classes == nullptr)
            std::abort();
        TTS owner{};
        owner.headerShorts[0] = front_end_fixture::kStress;
        owner.headerShorts[1] = front_end_fixture::kClose;
        const CepTTSPhoneFields phones{front_end_fixture::kMaxPhone, pron, classes, front_end_fixture::kVowelClass};
        BinFileReader* reader = BinFileReader_Create(blockTar, "fe", nullptr);
        CepTTSFrontEnd* f = reader != nullptr ? CepTTSFrontEnd_Load(reader, &owner, &phones, voc) : nullptr;
        BinFileReader_Delete(reader);
        if (f != nullptr) {
            const int32_t runTime = Voc_GetNumDynamicProns(voc);
            const uint32_t crc = CepTTSFrontEnd_ComputeCRC(f);
            DVKErr_Protect([&] { speak(f, text); });
            if (CepTTSFrontEnd_ComputeCRC(f) != crc || Voc_GetNumDynamicProns(voc) != runTime)
                std::abort();   // the block changed, or a word the call added stayed
        }
        CepTTSFrontEnd_Delete(f);
        LMRewrite_Delete(pron);
        LMRewrite_Delete(classes);
        Voc_Delete(voc);
        DVKTar_Close(tar);
    });
}
