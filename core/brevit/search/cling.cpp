// Context classes: loading "bcl0", lookups and the checksum.
#include "core/brevit/search/cling.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/search_lexicon_calls.h"

namespace {

// A table of E elements, or an accepted empty one (null).
bool readTable(BinFileReader* reader, uint32_t size, int32_t entries, void** table)
{
    uint32_t count = 0;
    if (BinFileReader_AllocateAndReadArray(reader, size, table, &count) == 0)
        return false;
    return count == 0 || count == static_cast<uint32_t>(entries);
}

bool walkable(const Cling* c)
{
    const int64_t radix = int64_t{c->numAttributes} + 1;
    if (c->numAttributes < 0 || c->numEntries < radix || c->boundaryAttribute < 0 ||
        c->boundaryAttribute > c->numAttributes || c->first == nullptr || c->second == nullptr)
        return false;
    for (int32_t i = 0; c->transitions != nullptr && i < c->numEntries; ++i)
        if ((int64_t{c->transitions[i]} + 1) * radix > c->numEntries)
            return false;
    return true;
}

uint16_t attributeOf(uint32_t id, const MWL* wordList)
{
    if (id == kClingNoWord)
        return 0;
    const auto attributes = static_cast<uint32_t>(MWL_GetAttributes(wordList, id));
    return attributes == 0xFFFFFFFFu ? 0 : static_cast<uint16_t>(attributes);
}

} // namespace

Cling* Cling_LoadFromBinFile(DVKTar* archive, const char* prefix)
{
    BinFileReader* reader = BinFileReader_Create(archive, "bcl0", prefix);
    if (reader == nullptr)
        return nullptr;
    auto* c = static_cast<Cling*>(DVKMem_Calloc(sizeof(Cling)));
    bool ok = c != nullptr && BinFileReader_ReadUnsignedInt(reader, &c->classSetCrc) != 0 &&
              BinFileReader_ReadInt(reader, &c->numAttributes) != 0 &&
              BinFileReader_ReadInt(reader, &c->boundaryAttribute) != 0 &&
              BinFileReader_ReadInt(reader, &c->numEntries) != 0;
    ok = ok && readTable(reader, 4, c->numEntries, reinterpret_cast<void**>(&c->firstBlock));
    ok = ok && readTable(reader, 4, c->numEntries, reinterpret_cast<void**>(&c->secondBlock));
    ok = ok && readTable(reader, 2, c->numEntries, reinterpret_cast<void**>(&c->transitionBlock));
    BinFileReader_Delete(reader);
    if (c != nullptr) {
        c->first = c->firstBlock;
        c->second = c->secondBlock;
        c->transitions = c->transitionBlock;
    }
    if (!ok || !walkable(c)) {
        Cling_Delete(c);
        return nullptr;
    }
    return c;
}

void Cling_Delete(Cling* c)
{
    if (c == nullptr || c->shared != 0)
        return;
    DVKMem_Free(c->firstBlock);
    DVKMem_Free(c->secondBlock);
    DVKMem_Free(c->transitionBlock);
    DVKMem_Free(c);
}

uint32_t Cling_GetClassSetCRC(const Cling* c) { return c->classSetCrc; }

uint32_t Cling_ComputeCRC(const Cling* c)
{
    uint32_t crc = 0xFFFFFFFFu;
    crc = DVKCrc_AddValue(c->classSetCrc, 4, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(c->numAttributes), 4, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(c->boundaryAttribute), 4, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(c->numEntries), 4, crc);
    const int32_t n = c->numEntries;
    crc = DVKCrc_AddValue(c->first != nullptr ? DVKCrc_AddArray(c->first, 4, n, 0xFFFFFFFFu) : 0xFFFFFFFFu, 4, crc);
    crc = DVKCrc_AddValue(c->second != nullptr ? DVKCrc_AddArray(c->second, 4, n, 0xFFFFFFFFu) : 0xFFFFFFFFu, 4,
                          crc);
    return DVKCrc_AddValue(
        c->transitions != nullptr ? DVKCrc_AddArray(c->transitions, 2, n, 0xFFFFFFFFu) : 0xFFFFFFFFu, 4, crc);
}

void Cling_Lookup(const Cling* c, const uint16_t* attributes, int32_t n, uint16_t currentAttribute,
                  uint32_t* first, uint32_t* second)
{
    const int32_t radix = c->numAttributes + 1;
    const auto clamp = [c](uint16_t a) { return a > c->numAttributes ? 0 : int32_t{a}; };
    int32_t state = 0;
    for (int32_t k = 0; c->transitions != nullptr && k < n; ++k)
        state = c->transitions[clamp(attributes[k]) + radix * state];
    const int32_t i = radix * state + clamp(currentAttribute);
    *first = c->first[i];
    *second = c->second[i];
}

void Cling_LookupContext(const Cling* c, const uint32_t* contextIds, int32_t n, uint32_t currentId,
                         uint32_t* first, uint32_t* second, const MWL* wordList)
{
    const int32_t count = n > 0 ? n : 0;
    const uint32_t mark = DVKTempMem_GetMark();
    auto* attributes = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(count) * 2u + 2u));
    for (int32_t k = 0; k < count; ++k)
        attributes[k] = contextIds[k] == kClingBoundary ? static_cast<uint16_t>(c->boundaryAttribute)
                                                        : attributeOf(contextIds[k], wordList);
    Cling_Lookup(c, attributes, count, attributeOf(currentId, wordList), first, second);
    DVKTempMem_ReleaseToMark(mark);
}
