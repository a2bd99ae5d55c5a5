// A vocabulary's user state comes back from storage that can be damaged:
// read "bmd1", "bacm0" and "blm0" from any archive image into the fixture
// vocabulary with the test language model, then ask every active word for
// its prons and texts (nothing may be written past buffers sized by the
// vocabulary's own maxima), take the CRC, and remove words and prons.
#include "core/brevit/lexicon/vocabulary.h"
#include "fuzz/brevit_vocabulary/vocabulary_fuzz.h"
#include "tests/support/fuzz_archive_image.h"
#include "tests/support/fuzz_sub_file_archive.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr uint16_t kGuard = 0xEEEE;

const std::string& modelImage()
{
    static const std::string image = [] {
        SystemEngineContext context;
        ScopedParamBlock params(vocabulary_fixture::params(vocabulary_fuzz::options()));
        std::string written = writtenArchiveImage([](DVKTar* tar) {
            return vocabulary_fixture::write(tar, vocabulary_fixture::defaultWords(), vocabulary_fuzz::options());
        });
        DVKTempMem_DeleteMemStack();
        return written;
    }();
    return image;
}

void ask(Voc* voc)
{
    const size_t surfaceRoom = static_cast<size_t>(Voc_GetMaxSurfaceFormLength(voc)) + 1;
    const size_t spokenRoom = static_cast<size_t>(Voc_GetMaxSpokenFormLength(voc)) + 1;
    const size_t pronRoom = static_cast<size_t>(Voc_GetMaxRecogPronunciationLength(voc)) + 1;
    const size_t masterRoom = static_cast<size_t>(Voc_GetMaxMasterPronunciationLength(voc)) + 1;
    const int32_t limit = Voc_GetActiveIdLimit(voc);
    for (int32_t a = 0; a <= limit + 1; ++a) {
        const VocId id = Voc_ActiveIdToVocId(voc, a);
        std::vector<uint16_t> surface(surfaceRoom + 1, kGuard), spoken(spokenRoom + 1, kGuard);
        Voc_GetOrthography(voc, id, surface.data(), spoken.data());
        if (surface[surfaceRoom] != kGuard || spoken[spokenRoom] != kGuard)
            std::abort();
        char name[256];
        Voc_GetWordNameText(voc, id, sizeof(name), name, 1);
        Voc_LookupMasterIdFromOrthography(voc, surface.data(), spoken.data());
        for (int32_t k = 0; k < 300; ++k) {
            const int32_t pron = Voc_GetNthPronId(voc, id, k);
            if (pron == 65535)
                break;
            std::vector<uint16_t> recog(pronRoom + 1, kGuard), master(masterRoom + 1, kGuard);
            Voc_GetRecogPronunciation(voc, pron, recog.data());
            Voc_GetMasterPronunciation(voc, pron, master.data());
            if (recog[pronRoom] != kGuard || master[masterRoom] != kGuard)
                std::abort();
            Voc_GetPronWordNameText(voc, pron, sizeof(name), name, 1);
            Voc_IsRunTimePron(voc, pron);
        }
        const uint16_t history[] = {0, static_cast<uint16_t>(a)};
        Voc_ScoreNGram(voc, history, 2, a);
    }
    Voc_ComputeCRC(voc);
    int32_t first = 0, count = 0;
    uint8_t* flags = Voc_CreateDynamicIdFlags(voc, &first, &count);
    int32_t freed = 0;
    std::vector<uint16_t> prons(static_cast<size_t>(Voc_GetNumDynamicProns(voc)) + 1);
    const int32_t n = Voc_GetDynamicPronIds(voc, prons.data(), static_cast<int32_t>(prons.size()));
    for (int32_t k = 0; k < n; k += 2)
        Voc_RemovePronunciation(voc, prons[static_cast<size_t>(k)], &freed);
    if (flags != nullptr) {
        flags[0] = 1;
        Voc_RemoveUnreferencedWords(voc, flags, first, count, 1, &freed);
        DVKMem_Free(flags);
    }
    Voc_RemoveInactiveWordIds(voc, &freed);
    Voc_ActivateMasterId(voc, 3);
    Voc_ComputeCRC(voc);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& image = modelImage();
    if (image.empty())
        std::abort();
    ScopedParamBlock params(vocabulary_fixture::params(vocabulary_fuzz::options()));
    fuzzArchiveImage(data, size, [&](DVKTar* user) {
        DVKTar* models = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(image.size()), image.data());
        Voc* voc = models != nullptr ? Voc_LoadFromBinFile(models, nullptr) : nullptr;
        if (voc == nullptr)
            std::abort();
        TestLanguageModel model(vocabulary_fuzz::modelFields());
        voc->languageModel = model.create();
        DVKErr_Protect([&] {
            if (Voc_ReadPSAFile(voc, user, nullptr) == 1)
                ask(voc);
        });
        LM_Delete(voc->languageModel);
        Voc_Delete(voc);
        DVKTar_Close(models);
    });
    return 0;
}
