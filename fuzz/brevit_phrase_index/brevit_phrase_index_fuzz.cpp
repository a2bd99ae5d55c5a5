// A phrase index "bir0" comes from the user's storage: read it into an index
// holding a class, then score, match, take the CRC, add a phrase to every
// class and delete the index.
#include "core/brevit/lexicon/ir.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "tests/support/fuzz_archive_image.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static BrevitGlobalParameters params = [] {
        BrevitGlobalParameters p{};
        p.words[622] = 2;
        p.words[627] = 30;
        p.words[621] = 4;
        return p;
    }();
    gpBrevitGlobalParameters = &params;
    return fuzzArchiveImage(data, size, [&](DVKTar* tar) {
        IR* index = IR_Create(nullptr);
        if (index == nullptr)
            return;
        const uint16_t before[] = {1, 2};
        IR_CreateClass(index, "kept", 0);
        IR_AddPhrase(index, "kept", nullptr, 2, before, 1);
        const uint32_t crc = IR_ComputeCRC(index);
        if (IR_ReadBinFile(index, tar, nullptr) == 0 && IR_ComputeCRC(index) != crc)
            __builtin_trap();
        IR_ComputeCRC(index);
        for (int32_t slot = 0; slot < index->slotCount; ++slot) {
            IRClass* c = index->classes[slot];
            if (c == nullptr)
                continue;
            const int32_t top = c->highestId < 40 ? c->highestId + 2 : 40;
            for (int32_t a = 0; a <= top; ++a) {
                uint16_t previous = static_cast<uint16_t>(a);
                for (int32_t b = 0; b <= top; ++b)
                    IR_ScoreWordTransition(index, slot, 0, &previous, static_cast<uint16_t>(b));
                previous = 65533;
                IR_ScoreWordTransition(index, slot, 0, &previous, static_cast<uint16_t>(a));
                IR_ScoreWordEndInClass(index, slot, static_cast<uint16_t>(a));
                int16_t costs[4];
                const uint16_t words[4] = {0, 1, static_cast<uint16_t>(a), 65535};
                IR_GetTransitionScores(index, slot, static_cast<uint16_t>(a), 4, words, costs);
                IR_GetStartScores(index, slot, 4, words, costs);
                uint32_t ids[4];
                int32_t scores[4];
                IR_GetMatches(index, index->names[slot], 4, words, 4, ids, scores);
            }
            const uint16_t phrase[] = {1, 3, 1};
            IR_AddPhrase(index, index->names[slot], nullptr, 3, phrase, 9);
            IR_ComputeCRC(index);
        }
        IR_Delete(index);
    });
}
