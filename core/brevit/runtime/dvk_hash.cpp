#include "core/brevit/runtime/dvk_hash.h"

#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <bit>
#include <cmath>
#include <cstring>

const uint32_t kDVKRandTable[256] = {
    0x5B9D377Fu, 0x54BDAA58u, 0x6A1F2846u, 0x083864CBu, 0xAAA19407u, 0xD7C7F976u,
    0xCF3BCA4Du, 0xAEC48350u, 0xF4455EEAu, 0x867FA712u, 0xBD2D81D8u, 0x3F053068u,
    0x3D3F0008u, 0x2695466Cu, 0x98B329D4u, 0x7642E632u, 0xE36C9FACu, 0x9BF304D0u,
    0x0E07B2D2u, 0x988BB403u, 0xAF0A0E81u, 0xA0B0E315u, 0x9C9C0487u, 0x248A2C3Cu,
    0x450FA8E8u, 0xCA2DAF8Bu, 0x6A764731u, 0x20C53E31u, 0xC1A4B8CEu, 0x872DE82Cu,
    0x0ED75AF3u, 0xD4B932AFu, 0x8BC8B873u, 0x39C83312u, 0x0C72A69Fu, 0x594442D0u,
    0x807066FEu, 0x4B8D9920u, 0x3F21B1AEu, 0x58040598u, 0xC92FBBE7u, 0x5CF079BEu,
    0x3D9146B9u, 0xFEC4F02Fu, 0xF81AE3FCu, 0x689B16B8u, 0xBBB92B45u, 0x9A56DB69u,
    0x84CCFE58u, 0x7E31C58Bu, 0x2DEAB4E5u, 0x8B0FA026u, 0xCAD97165u, 0x576B48C1u,
    0xA10C9D67u, 0xD3728E01u, 0xA9453173u, 0xF0945E3Cu, 0xFD12DB74u, 0x5F0AD0BFu,
    0x8750B48Du, 0x22B125C2u, 0xFEB2161Du, 0xE76D16AEu, 0x2C637D12u, 0x6B9A08B1u,
    0xBF63096Fu, 0xE9550679u, 0x36758D55u, 0x87302CEAu, 0x60CCCCDFu, 0x1ED33D14u,
    0x1D3EF5A0u, 0xC1BBB503u, 0x68A6C393u, 0xD480DEBDu, 0xDA9021D2u, 0x81393CE0u,
    0xF13CA26Cu, 0x3E2EB009u, 0xDF729D39u, 0x16BB89B7u, 0x1FCB9E3Bu, 0xC1ABE738u,
    0x5EBD9A0Fu, 0xDB9DACB4u, 0x3BD3A0EDu, 0x6DB8E32Cu, 0x31D76C09u, 0x90F4E2E5u,
    0x5AEDCB75u, 0x73464CEBu, 0xC120979Bu, 0x2894D496u, 0x4AF3B69Bu, 0x56EDA296u,
    0x94E16B52u, 0x2A97F609u, 0x8F72D3C4u, 0x07975B70u, 0xD659C4C8u, 0xA1A8CFE4u,
    0x7D4B3E0Eu, 0x7AFFE349u, 0x3232F305u, 0xB2841C69u, 0xF50AC24Fu, 0x0A837957u,
    0xFA8A1D55u, 0x8CCCAD04u, 0x9B426C91u, 0x0DE09DFCu, 0xF38F539Cu, 0x204EE161u,
    0x570AA034u, 0x06336642u, 0xB8FF0CA2u, 0xBB5BBC47u, 0x74C95D0Bu, 0x0730E1F4u,
    0x2D6E08A7u, 0x20A751B5u, 0x8170E7A2u, 0x2CBD717Eu, 0x7D9A1366u, 0x19A74F3Eu,
    0x2ED93875u, 0x00E77FDFu, 0x5FED8A7Cu, 0x0C613325u, 0xC2A3E5B2u, 0x4B877640u,
    0xCAF6DE18u, 0x580EABEFu, 0xC4BD96C6u, 0xBD88CCEFu, 0xC7A52DBEu, 0xB0394318u,
    0xF19AB72Bu, 0xD7146A86u, 0x2147FD81u, 0xB09E7CDEu, 0xF52FD083u, 0xD074A95Au,
    0x2ADB2B63u, 0x60634A8Au, 0x88A7EFF1u, 0x20CE06E8u, 0xC11FA22Bu, 0x7B64A4E1u,
    0x5E229AB8u, 0x01FE60C0u, 0xE65089CFu, 0x26FD4898u, 0x8442E74Du, 0x6F22EBD4u,
    0x1000DB0Fu, 0xEFE74405u, 0x2B1D9217u, 0x7363C650u, 0x7A281AFCu, 0x15E32104u,
    0x6278E633u, 0x3504FC26u, 0x1F6C9871u, 0x058B7E2Eu, 0xF4999EE8u, 0xD6B82990u,
    0x15B39F33u, 0xBC0CF4CCu, 0x75C20D9Bu, 0x4415E5F4u, 0x755551A1u, 0x17775DDAu,
    0x69D0C91Eu, 0xEED18037u, 0x31961188u, 0xBA8A0678u, 0x02CA6A88u, 0x1C2B3224u,
    0x582A779Eu, 0xCFC82368u, 0x362BB27Eu, 0x156DC7A2u, 0xB1EDAC68u, 0x51A7CB96u,
    0x86FB6EADu, 0x50B612DFu, 0xAE326272u, 0x77FA186Cu, 0x945C8D3Du, 0x2C53C9DEu,
    0xD745321Au, 0x08C771A4u, 0xF0CEE316u, 0xC20FD650u, 0x82FF39C3u, 0xA34D7FB1u,
    0xC5CD8DECu, 0xC0C0DDEDu, 0xA03C93DDu, 0xE3D01C12u, 0x9EB7D147u, 0xB78BC453u,
    0x9BF8439Cu, 0x41E0B14Eu, 0x6BA744C5u, 0x09C0F3D1u, 0x1DB2E5F1u, 0xDADB7B4Au,
    0x58541DE7u, 0x8C7FEAD1u, 0x1D921F4Eu, 0xA6339113u, 0x72B513AFu, 0x733669DFu,
    0xA3412BB3u, 0xF9B4447Fu, 0x867A3CB9u, 0x2B8175D7u, 0x5C654A09u, 0xFA754364u,
    0xD2E27FD5u, 0x872FAFEDu, 0x631883B6u, 0x551E8B23u, 0xF76E5E1Bu, 0xDFDC06DAu,
    0xACF7543Au, 0xD57B5CF1u, 0xEC50D212u, 0xED1B7D6Bu, 0xA5F73FE2u, 0x005F853Fu,
    0xD54879ECu, 0xECDE5477u, 0x397C0089u, 0xC6681B05u, 0x7FA88774u, 0xC99C4FB2u,
    0xA2D819A8u, 0x5055D58Fu, 0x65053283u, 0x7A444D6Bu, 0x6C6CF9DEu, 0xB5589641u,
    0xE7677483u, 0xEA085BD0u, 0xE35C483Au, 0xEBD46917u, 0x37413683u, 0x0364C24Cu,
    0xDA22DD6Fu, 0x4D0A5CC7u, 0x943E3B19u, 0x2900F82Au,
};

namespace {

constexpr int32_t kMinSlots = 4;

void** allocateSlots(uint64_t count)
{
    const uint64_t bytes = count * sizeof(void*);
    if (count > INT32_MAX || bytes > kDVKMemMaxRequest)
        DVKErr_Raise(__FILE__, __LINE__, "Hash table of %llu slots is too large",
                     static_cast<unsigned long long>(count));
    return static_cast<void**>(DVKMem_CallocOrThrow(static_cast<uint32_t>(bytes)));
}

uint32_t hashKey(const DVKHash* table, const void* key, int32_t length)
{
    return table->hashFunction(key, length, 0);
}

// The slot holding the key, or (found false) the empty slot where it would go;
// -1 when the table has no slots or no free slot was met.
int32_t probe(const DVKHash* table, const void* key, int32_t length, bool* found)
{
    *found = false;
    if (table->slotCount <= 0)
        return -1;
    uint32_t slot = hashKey(table, key, length) & table->mask;
    for (int32_t examined = 0; examined < table->slotCount; ++examined) {
        void* item = table->slots[slot];
        if (item == nullptr)
            return static_cast<int32_t>(slot);
        const void* itemKey = nullptr;
        const int32_t itemLength = table->keyFunction(item, &itemKey);
        if (itemLength == length &&
            (length <= 0 || std::memcmp(itemKey, key, static_cast<size_t>(length)) == 0)) {
            *found = true;
            return static_cast<int32_t>(slot);
        }
        slot = (slot + 1) & table->mask;
    }
    return -1;
}

uint32_t homeSlot(const DVKHash* table, const void* item)
{
    const void* key = nullptr;
    const int32_t length = table->keyFunction(item, &key);
    return hashKey(table, key, length) & table->mask;
}

void grow(DVKHash* table)
{
    void** old = table->slots;
    const int32_t oldCount = table->slotCount;
    void** slots = allocateSlots(uint64_t{2} * static_cast<uint64_t>(oldCount));
    table->slots = slots;
    table->slotCount = oldCount * 2;
    table->threshold *= 2;
    table->mask = static_cast<uint32_t>(table->slotCount) - 1;
    for (int32_t i = 0; i < oldCount; ++i) {
        if (old[i] == nullptr)
            continue;
        uint32_t slot = homeSlot(table, old[i]);
        while (slots[slot] != nullptr)
            slot = (slot + 1) & table->mask;
        slots[slot] = old[i];
    }
    DVKMem_Free(old);
}

} // namespace

uint32_t DVKHash_Hash(const void* key, int32_t length, uint32_t seed)
{
    const auto* bytes = static_cast<const unsigned char*>(key);
    uint32_t h = seed;
    for (int32_t i = length - 1; i >= 0; --i)
        h = kDVKRandTable[bytes[i]] ^ std::rotl(h, 1);
    return h;
}

DVKHash* DVKHash_Create(int32_t initialSize, DVKHashKeyFunc keyFunction, DVKHashFunc hashFunction)
{
    const uint64_t wanted = static_cast<uint64_t>(initialSize > kMinSlots ? initialSize : kMinSlots);
    const uint64_t slotCount = std::bit_ceil(wanted);
    void** slots = allocateSlots(slotCount);
    DVKHash* table;
    try {
        table = static_cast<DVKHash*>(DVKMem_CallocOrThrow(sizeof(DVKHash)));
    } catch (...) {
        DVKMem_Free(slots);
        throw;
    }
    table->slots = slots;
    table->slotCount = static_cast<int32_t>(slotCount);
    table->mask = static_cast<uint32_t>(slotCount) - 1;
    table->keyFunction = keyFunction;
    table->hashFunction = hashFunction != nullptr ? hashFunction : DVKHash_Hash;
    DVKHash_SetLoadFactor(table, 0.5);
    return table;
}

void DVKHash_Delete(DVKHash* table)
{
    if (table == nullptr)
        return;
    DVKMem_Free(table->slots);
    DVKMem_Free(table);
}

void DVKHash_SetLoadFactor(DVKHash* table, double factor)
{
    // A full table would leave a probe for an absent key without an end, and
    // a threshold of 0 would double the table on every insertion.
    const int32_t most = table->slotCount - 2;
    const double wanted = std::floor(0.5 + table->slotCount * factor);
    int32_t threshold = most;
    if (wanted < most)
        threshold = wanted >= 1.0 ? static_cast<int32_t>(wanted) : 1;
    table->threshold = threshold;
}

void* DVKHash_Find(const DVKHash* table, const void* key, int32_t length)
{
    if (table == nullptr)
        return nullptr;
    bool found = false;
    const int32_t slot = probe(table, key, length, &found);
    return found ? table->slots[slot] : nullptr;
}

void* DVKHash_Insert(DVKHash* table, void* item)
{
    const void* key = nullptr;
    const int32_t length = table->keyFunction(item, &key);
    bool found = false;
    int32_t slot = probe(table, key, length, &found);
    if (found)
        return table->slots[slot];
    if (table->itemCount > table->threshold || slot < 0) {
        grow(table);
        slot = probe(table, key, length, &found);
    }
    table->slots[slot] = item;
    table->itemCount += 1;
    return item;
}

void* DVKHash_Remove(DVKHash* table, const void* key, int32_t length)
{
    if (table == nullptr)
        return nullptr;
    bool found = false;
    const int32_t slot = probe(table, key, length, &found);
    if (!found)
        return nullptr;
    void* removed = table->slots[slot];
    const uint32_t count = static_cast<uint32_t>(table->slotCount);
    uint32_t hole = static_cast<uint32_t>(slot);
    table->slots[hole] = nullptr;
    // Backward shift: pull later items of the run into the hole when the hole
    // lies no further from their home slot than where they are now.
    for (uint32_t j = (hole + 1) & table->mask; table->slots[j] != nullptr;
         j = (j + 1) & table->mask) {
        const uint32_t home = homeSlot(table, table->slots[j]);
        const uint32_t holeDistance = (hole - home + count) & table->mask;
        const uint32_t itemDistance = (j - home + count) & table->mask;
        if (holeDistance < itemDistance) {
            table->slots[hole] = table->slots[j];
            table->slots[j] = nullptr;
            hole = j;
        }
    }
    table->itemCount -= 1;
    return removed;
}

int32_t DVKHash_GetSize(const DVKHash* table)
{
    return table != nullptr ? table->slotCount : 0;
}

int32_t DVKHash_GetCount(const DVKHash* table)
{
    return table != nullptr ? table->itemCount : 0;
}

int32_t DVKHash_GetNumSearches(const DVKHash*)
{
    return 0;
}

int32_t DVKHash_GetNumCompares(const DVKHash*)
{
    return 0;
}

int32_t DVKHash_GetNumCollisions(const DVKHash*)
{
    return 0;
}

void DVKHash_CopyItems(const DVKHash* table, void** array)
{
    int32_t copied = 0;
    for (int32_t i = 0; i < table->slotCount && copied < table->itemCount; ++i) {
        if (table->slots[i] != nullptr)
            array[copied++] = table->slots[i];
    }
}

void DVKHash_Traverse(const DVKHash* table, DVKHashTraverseFunc callback, void* argument)
{
    int32_t visited = 0;
    for (int32_t i = 0; i < table->slotCount && visited < table->itemCount; ++i) {
        if (table->slots[i] == nullptr)
            continue;
        callback(table->slots[i], argument);
        ++visited;
    }
}

void DVKHash_Clear(DVKHash* table)
{
    if (table->slotCount > 0)
        std::memset(table->slots, 0, static_cast<size_t>(table->slotCount) * sizeof(void*));
    table->itemCount = 0;
}

void DVKHash_TraverseAndRemoveAll(DVKHash* table, DVKHashTraverseFunc callback, void* argument)
{
    DVKHash_Traverse(table, callback, argument);
    DVKHash_Clear(table);
}

void DVKHash_TraverseAndDeleteTable(DVKHash* table, DVKHashTraverseFunc callback, void* argument)
{
    if (table == nullptr)
        return;
    DVKHash_TraverseAndRemoveAll(table, callback, argument);
    DVKHash_Delete(table);
}
