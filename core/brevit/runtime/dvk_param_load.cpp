#include "core/brevit/runtime/dvk_param_load.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cstring>

namespace {

constexpr DVKParamRun W(uint16_t word, uint16_t count)
{
    return {kDVKParamWords, word, count};
}

constexpr DVKParamRun R(uint16_t word, uint16_t count)
{
    return {kDVKParamReals, word, count};
}

// A string slot of bytes bytes starting at a word.
constexpr DVKParamRun S(uint16_t word, uint16_t bytes)
{
    return {kDVKParamString, static_cast<uint16_t>(word * 4), bytes};
}

// A one-byte string slot at byte b of a word.
constexpr DVKParamRun SB(uint16_t word, uint16_t b)
{
    return {kDVKParamString, static_cast<uint16_t>(word * 4 + b), 1};
}

} // namespace

const DVKParamRun kDVKParamLayout[] = {
    W(0, 6), R(6, 1), W(8, 10), R(18, 1), W(20, 14), R(34, 1),
    W(36, 8), R(44, 2), W(48, 11), R(60, 1), W(62, 6),
    S(68, 1), R(70, 1), W(72, 3), R(76, 1), W(78, 6), R(84, 1),
    S(86, 1), W(87, 3), R(90, 1), W(92, 10), S(102, 1), W(103, 2),
    R(106, 1), W(108, 1), S(109, 1), W(110, 35), S(145, 1), W(146, 5),
    R(152, 2), W(156, 15), R(172, 1), W(174, 59), R(234, 1),
    W(236, 66), S(302, 1), W(303, 1), R(304, 1), W(306, 21), S(327, 1),
    W(328, 91), S(419, 1), W(420, 3), R(424, 4), W(432, 7),
    S(439, 128), S(471, 128), S(503, 1), R(504, 1), W(506, 1),
    SB(507, 0), SB(507, 1), SB(507, 2),
    W(508, 12), S(520, 1), R(522, 1), W(524, 19), S(543, 1), R(544, 1),
    W(546, 41), S(587, 1), W(588, 3), R(592, 1), W(594, 9), S(603, 1),
    W(604, 5), R(610, 1), W(612, 28), R(640, 1), S(642, 30),
    W(650, 10), S(660, 1), W(661, 22), R(684, 1), W(686, 2), S(688, 1),
    R(690, 1), W(692, 2), R(694, 1), W(696, 1),
    SB(697, 0), SB(697, 1), SB(697, 2), SB(697, 3),
    W(698, 57), S(755, 30), W(763, 11), R(774, 1), W(776, 1), R(778, 1), W(780, 1),
    R(782, 3), W(788, 6), R(794, 1), W(796, 14), S(810, 1), W(811, 7),
    S(818, 1), R(820, 1), W(822, 6), S(828, 1), W(829, 28), S(857, 1), W(858, 2),
    S(860, 1), W(861, 4), S(865, 1), R(866, 2), S(870, 1), W(871, 4), S(875, 1),
    W(876, 9), R(886, 2), W(890, 4), R(894, 1), W(896, 2), R(898, 2),
    W(902, 3), S(905, 1), R(906, 1), W(908, 17), R(926, 2),
    W(930, 58), R(988, 1), S(990, 1), W(991, 16),
};

const int32_t kDVKParamLayoutRuns = sizeof(kDVKParamLayout) / sizeof(kDVKParamLayout[0]);

namespace {

bool loadRun(BinFileReader* reader, const DVKParamRun& run, BrevitGlobalParameters* block)
{
    switch (run.kind) {
    case kDVKParamWords:
        for (uint32_t i = 0; i < run.count; ++i)
            if (!BinFileReader_ReadUnsignedInt(reader, &block->words[run.at + i]))
                return false;
        return true;
    case kDVKParamReals:
        for (uint32_t i = 0; i < run.count; ++i) {
            double value = 0.0;
            if (!BinFileReader_ReadReal(reader, &value))
                return false;
            std::memcpy(&block->words[run.at + 2 * i], &value, sizeof(value));
        }
        return true;
    case kDVKParamString: {
        // A null string (count 0) reads as the empty string.
        char text[kDVKParamStringBuffer];
        if (!BinFileReader_ReadString(reader, sizeof(text), text))
            return false;
        const size_t length = std::strlen(text);
        if (length + 1 > run.count)
            return false;
        std::memcpy(reinterpret_cast<char*>(block->words) + run.at, text, length + 1);
        return true;
    }
    }
    return false;
}

} // namespace

BrevitGlobalParameters* DVKParam_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    BinFileReader* reader = BinFileReader_Create(tar, kDVKParamSubFileTag, prefix);
    if (reader == nullptr)
        return nullptr;
    uint32_t format = 0;
    if (!BinFileReader_ReadUnsignedInt(reader, &format) || format != kDVKParamFormatNumber) {
        BinFileReader_Delete(reader);
        return nullptr;
    }
    auto* block =
        static_cast<BrevitGlobalParameters*>(DVKMem_Calloc(sizeof(BrevitGlobalParameters)));
    bool ok = block != nullptr;
    for (int32_t i = 0; ok && i < kDVKParamLayoutRuns; ++i)
        ok = loadRun(reader, kDVKParamLayout[i], block);
    BinFileReader_Delete(reader);
    if (!ok) {
        DVKMem_Free(block);
        return nullptr;
    }
    return block;
}
