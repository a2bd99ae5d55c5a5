// Run-time words come back from user storage that can be damaged: read
// "bmd1" from any archive image into a store of the seeds' settings, then
// ask it everything: forms into buffers sized by its own maxima (nothing may
// be written past them), lookups by those forms, prons, recency, the
// checksum, and removals and an add on what was read.
#include "core/brevit/lexicon/mwl_dynamic.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/support/fuzz_archive_image.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// The settings the seeds were written with (tests/brevit/lexicon).
constexpr int32_t kFirstId = 100;
constexpr int32_t kStaticRecog = 40;
constexpr int32_t kStaticMaster = 50;
constexpr uint16_t kMarker = 45;
constexpr uint32_t kSignature = 0x5EED;

constexpr uint16_t kGuard = 0xEEEE;

void check(const std::vector<uint16_t>& buffer, size_t room)
{
    if (buffer[room] != kGuard)
        std::abort();
}

void ask(MWLDynamic* s)
{
    std::vector<uint32_t> ids;
    for (uint32_t id = MWLDynamic_GetNextMasterId(s, kMWLDynamicNoWord); id != kMWLDynamicNoWord;
         id = MWLDynamic_GetNextMasterId(s, id))
        ids.push_back(id);
    for (uint32_t id : ids) {
        const auto surfaceRoom = static_cast<size_t>(s->maxima.surface);
        const auto spokenRoom = static_cast<size_t>(s->maxima.spoken) + 1;
        std::vector<uint16_t> surface(surfaceRoom + 1, kGuard);
        std::vector<uint16_t> spoken(spokenRoom + 1, kGuard);
        std::vector<uint8_t> key(static_cast<size_t>(s->maxima.encodedSurface) + 2, 0xEE);
        if (MWLDynamic_GetSurfaceAndSpokenForms(s, id, surface.data(), key.data(), spoken.data()) == 1) {
            check(surface, surfaceRoom);
            check(spoken, spokenRoom);
            if (key.back() != 0xEE)
                std::abort();
            uint32_t found[4];
            MWLDynamic_GetId(s, surface.data(), spoken.data());
            MWLDynamic_GetMatches(s, surface.data(), 10, found, 4, 1);
            MWLDynamic_GetMatches(s, surface.data(), 0, found, 0, 0);
            MWLDynamic_GetMatchesAtStart(s, surface.data(), 1, found, 4);
            MWLDynamic_GetIdsFromSpoken(s, spoken.data(), found, 4, 1);
        }
        std::vector<std::vector<uint16_t>> prons(4, std::vector<uint16_t>(258, kGuard));
        std::vector<uint16_t*> buffers;
        for (auto& p : prons)
            buffers.push_back(p.data());
        MWLDynamic_GetMasterPronunciations(s, id, buffers.data(), 4, 257);
        for (const auto& p : prons)
            check(p, 257);
        MWLDynamic_GetWordTypeFlags(s, id);
    }
    uint32_t cursor = 0;
    while (MWLDynamic_GetNextDynamicId(s, &cursor) != kMWLDynamicNoWord) {
    }
    uint32_t oldest[8];
    MWLDynamic_GetLeastRecentlyUnused(s, 3, 8, oldest);
    MWLDynamic_MarkUsed(s, ids.empty() ? 0 : 1, ids.data());
    MWLDynamic_ComputeCRC(s);
    int32_t freed = 0;
    for (size_t k = 0; k < ids.size(); k += 2) {
        MWLDynamic_RemovePronunciation(s, ids[k], 0, 0, &freed);
        MWLDynamic_RemoveWord(s, ids[k], &freed);
    }
    const uint16_t expansion[] = {41, 0xFFFF};
    const uint16_t id = MWLDynamic_AddMasterPhoneme(s, 2, expansion);
    const uint16_t pron[] = {5, id == 0xFFFF ? uint16_t{6} : id, 0xFFFF};
    const uint16_t* prons[] = {pron};
    int32_t maxima[4] = {};
    const uint16_t text[] = {'n', 'e', 'w', 0};
    MWLDynamic_AddWordWithPronunciations(s, text, nullptr, prons, 1,
                                         &maxima[0], &maxima[1], &maxima[2], &maxima[3], 0, 0);
    MWLDynamic_AddMasterPronunciation(s, 40, pron, 1, &maxima[2], &maxima[3]);
    MWLDynamic_ComputeCRC(s);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BrevitGlobalParameters params = {};
    params.words[kBrevitParamExpansionPool] = 10;
    params.words[kBrevitParamMasterPhonemeSlots] = 3;
    params.words[kBrevitParamRecogPhonemeSlots] = 4;
    params.words[kBrevitParamKeepPronunciations] = 1;
    BrevitGlobalParameters* previous = gpBrevitGlobalParameters;
    gpBrevitGlobalParameters = &params;
    fuzzArchiveImage(data, size, [&](DVKTar* tar) {
        MWLDynamic* s = MWLDynamic_Create(kFirstId, 1, kStaticRecog, kStaticMaster, nullptr, 1, 3, "enus",
                                          nullptr, kMarker, kSignature);
        if (s == nullptr)
            std::abort();
        if (MWLDynamic_ReadPSAFile(s, tar, nullptr) == 1)
            ask(s);
        MWLDynamic_Delete(s);
    });
    gpBrevitGlobalParameters = previous;
    return 0;
}
