// "bir0": the phrase index in the user's storage. The reader builds new
// classes and swaps them in only when everything was read and checked, so a
// damaged sub-file leaves the index as it was.
#include "core/brevit/lexicon/ir.h"

#include "core/brevit/lexicon/ir_parts.h"
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_hash.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_str.h"
#include "core/brevit/runtime/dvk_unicode_str.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const char kTag[] = "bir0";

int32_t writeList(BinFileWriter* w, const uint32_t* list, int32_t count)
{
    std::vector<uint16_t> first(count);
    std::vector<uint16_t> second(count);
    for (int32_t i = 0; i < count; ++i) {
        first[i] = IRList_Index(list[i]);
        second[i] = IRList_Count(list[i]);
    }
    return BinFileWriter_WriteArray(w, first.data(), count, 2) &&
           BinFileWriter_WriteArray(w, second.data(), count, 2);
}

int32_t writeClass(BinFileWriter* w, const IRClass* c)
{
    const uint32_t scalars[] = {static_cast<uint32_t>(c->mode), static_cast<uint32_t>(c->highestId),
                                c->startPrior, c->initialListCapacity,
                                static_cast<uint32_t>(c->phraseCount), c->totalCount,
                                static_cast<uint32_t>(c->wordCount), c->logTotal};
    for (uint32_t v : scalars)
        if (!BinFileWriter_WriteUnsignedInt(w, v))
            return 0;
    if (!BinFileWriter_WriteArray(w, c->wordMap, static_cast<uint32_t>(c->highestId + 1), 2))
        return 0;
    for (int32_t i = 0; i < c->phraseCount; ++i) {
        const IRPhrase& p = c->phrases[i];
        const uint32_t t = static_cast<uint32_t>(DVKUnicode_Length(p.text));
        if (!BinFileWriter_WriteUnsignedInt(w, p.phraseId) || !BinFileWriter_WriteUnsignedInt(w, p.idCount) ||
            !BinFileWriter_WriteUnsignedInt(w, t) ||
            (t > 0 && !BinFileWriter_WriteArray(w, p.text, t + 1, 2)) ||
            !BinFileWriter_WriteArray(w, p.ids, p.idCount, 2))
            return 0;
    }
    for (int32_t x = 0; x < c->wordCount; ++x) {
        const IRWord& r = c->words[x];
        const uint32_t fields[] = {r.count, r.logCount, r.successorCount, r.successorCapacity,
                                   r.postingCount, r.postingCapacity};
        for (uint32_t v : fields)
            if (!BinFileWriter_WriteUnsignedInt(w, v))
                return 0;
        if (r.successorCapacity > c->initialListCapacity &&
            !writeList(w, IRClass_Successors(c, x), r.successorCount))
            return 0;
        if (r.postingCapacity > c->initialListCapacity &&
            !writeList(w, IRClass_Postings(c, x), r.postingCount))
            return 0;
    }
    // The shared blocks as the lists use them: entries no list holds are 0.
    const uint32_t l0 = c->initialListCapacity;
    std::vector<uint32_t> successors(static_cast<size_t>(c->wordCount) * l0, 0);
    std::vector<uint32_t> postings(successors.size(), 0);
    for (int32_t x = 0; x < c->wordCount; ++x) {
        const IRWord& r = c->words[x];
        if (r.successorsOwn == nullptr)
            std::copy(IRClass_Successors(c, x), IRClass_Successors(c, x) + r.successorCount,
                      successors.begin() + static_cast<size_t>(x) * l0);
        if (r.postingsOwn == nullptr)
            std::copy(IRClass_Postings(c, x), IRClass_Postings(c, x) + r.postingCount,
                      postings.begin() + static_cast<size_t>(x) * l0);
    }
    const uint32_t shared = static_cast<uint32_t>(successors.size());
    return BinFileWriter_WriteArray(w, successors.data(), shared, 4) &&
           BinFileWriter_WriteArray(w, postings.data(), shared, 4);
}

// ---- reading ----------------------------------------------------------------

struct Reader {
    BinFileReader* r;
    bool ok = true;

    uint32_t u32()
    {
        uint32_t v = 0;
        if (ok && !BinFileReader_ReadUnsignedInt(r, &v))
            ok = false;
        return ok ? v : 0;
    }
    // An owned array of exactly count elements (null when count is 0).
    template <typename T>
    T* array(uint32_t count)
    {
        void* data = nullptr;
        uint32_t got = 0;
        if (!ok || !BinFileReader_AllocateAndReadArray(r, sizeof(T), &data, &got) || got != count) {
            DVKMem_Free(data);
            ok = false;
            return nullptr;
        }
        return static_cast<T*>(data);
    }
};

// A list that is strictly ascending in its indexes, each below limit.
bool ascending(const uint32_t* list, uint32_t count, uint32_t limit)
{
    for (uint32_t i = 0; i < count; ++i) {
        if (IRList_Index(list[i]) >= limit)
            return false;
        if (i > 0 && IRList_Index(list[i]) <= IRList_Index(list[i - 1]))
            return false;
    }
    return true;
}

uint32_t* readOwnList(Reader& in, uint32_t count, uint32_t capacity)
{
    uint16_t* first = in.array<uint16_t>(count);
    uint16_t* second = in.array<uint16_t>(count);
    uint32_t* list = nullptr;
    if (in.ok) {
        list = static_cast<uint32_t*>(DVKMem_Malloc(capacity * sizeof(uint32_t)));
        if (list == nullptr)
            in.ok = false;
        else
            for (uint32_t i = 0; i < count; ++i)
                list[i] = IRList_Entry(first[i], second[i]);
    }
    DVKMem_Free(first);
    DVKMem_Free(second);
    return list;
}

// Reads one class into c (made by IRClass_New); false on damage or memory.
bool readClass(Reader& in, IRClass* c)
{
    c->mode = static_cast<int32_t>(in.u32());
    const int32_t highest = static_cast<int32_t>(in.u32());
    c->startPrior = in.u32();
    const uint32_t l0 = in.u32();
    const uint32_t phrases = in.u32();
    const uint32_t total = in.u32();
    const uint32_t words = in.u32();
    const uint32_t logTotal = in.u32();
    if (!in.ok || highest < -1 || highest > 65533 || l0 > 65535 || phrases > kIRMaxPhrases ||
        total >= kIRMaxTotal || words > kIRMaxWords ||
        static_cast<uint64_t>(words) * l0 > (uint64_t{1} << 28) || logTotal != IR_LogN(total) ||
        (words == 0 && (phrases > 0 || highest >= 0)))
        return false;
    c->initialListCapacity = l0;
    c->logTotal = static_cast<uint16_t>(logTotal);
    c->totalCount = total;
    c->wordMap = in.array<uint16_t>(static_cast<uint32_t>(highest + 1));
    if (!in.ok)
        return false;
    c->highestId = highest;
    for (int32_t i = 0; i <= highest; ++i)
        if (c->wordMap[i] != 65535 && (c->wordMap[i] == 0 || c->wordMap[i] >= words))
            return false;

    if (phrases > 0) {
        c->phrases = static_cast<IRPhrase*>(DVKMem_Calloc(phrases * sizeof(IRPhrase)));
        if (c->phrases == nullptr)
            return false;
        c->phraseCapacity = static_cast<int32_t>(phrases);
    }
    for (uint32_t i = 0; i < phrases; ++i) {
        IRPhrase& p = c->phrases[i];
        p.phraseId = in.u32();
        const uint32_t n = in.u32();
        const uint32_t t = in.u32();
        if (!in.ok || n == 0 || n > kIRMaxTotal || t >= 0x3FFFFFFF)
            return false;
        ++c->phraseCount;  // from here the record is freed with the class
        if (t > 0) {
            p.text = in.array<uint16_t>(t + 1);
            if (!in.ok || p.text[t] != 0 || static_cast<uint32_t>(DVKUnicode_Length(p.text)) != t)
                return false;
        } else {
            p.text = static_cast<uint16_t*>(DVKMem_Calloc(sizeof(uint16_t)));
            if (p.text == nullptr)
                return false;
        }
        p.ids = in.array<uint16_t>(n);
        if (!in.ok)
            return false;
        p.idCount = n;
        for (uint32_t k = 0; k < n; ++k)
            if (IRClass_Map(c, p.ids[k]) == 65535)
                return false;
    }

    if (words > 0) {
        c->words = static_cast<IRWord*>(DVKMem_Calloc(words * sizeof(IRWord)));
        if (c->words == nullptr)
            return false;
        c->wordCapacity = static_cast<int32_t>(words);
    }
    for (uint32_t x = 0; x < words; ++x) {
        IRWord& r = c->words[x];
        const uint32_t count = in.u32();
        const uint32_t logCount = in.u32();
        const uint32_t sc = in.u32();
        const uint32_t scap = in.u32();
        const uint32_t pc = in.u32();
        const uint32_t pcap = in.u32();
        if (!in.ok || logCount != IR_LogN(count) || sc > scap || pc > pcap || scap > 65535 ||
            pcap > 65535 || scap < l0 || pcap < l0)
            return false;
        c->wordCount = static_cast<int32_t>(x + 1);  // own lists are freed with the class
        r.count = count;
        r.logCount = logCount;
        r.successorCount = static_cast<uint16_t>(sc);
        r.successorCapacity = static_cast<uint16_t>(scap);
        r.postingCount = static_cast<uint16_t>(pc);
        r.postingCapacity = static_cast<uint16_t>(pcap);
        if (scap > l0) {
            r.successorsOwn = readOwnList(in, sc, scap);
            if (!in.ok || !ascending(r.successorsOwn, sc, words))
                return false;
        }
        if (pcap > l0) {
            r.postingsOwn = readOwnList(in, pc, pcap);
            if (!in.ok || !ascending(r.postingsOwn, pc, phrases))
                return false;
        }
    }
    const uint32_t shared = words * l0;
    c->sharedSuccessors = in.array<uint32_t>(shared);
    c->sharedPostings = in.array<uint32_t>(shared);
    if (!in.ok)
        return false;
    for (uint32_t x = 0; x < words; ++x) {
        const IRWord& r = c->words[x];
        if (r.successorsOwn == nullptr &&
            !ascending(IRClass_Successors(c, static_cast<int32_t>(x)), r.successorCount, words))
            return false;
        if (r.postingsOwn == nullptr &&
            !ascending(IRClass_Postings(c, static_cast<int32_t>(x)), r.postingCount, phrases))
            return false;
    }
    c->nextFreeWord = static_cast<int32_t>(words);
    return IRClass_RebuildHash(c, static_cast<int32_t>(phrases * 2)) != 0;
}

struct Slots {
    int32_t count = 0;
    char** names = nullptr;
    IRClass** classes = nullptr;

    void release()
    {
        for (int32_t i = count - 1; i >= 0; --i) {
            if (classes != nullptr)
                IR_DeleteClass(classes[i]);
            if (names != nullptr)
                DVKMem_Free(names[i]);
        }
        DVKMem_Free(names);
        DVKMem_Free(classes);
        *this = Slots{};
    }
};

bool readSlots(BinFileReader* reader, Voc* vocabulary, Slots& slots)
{
    Reader in{reader};
    const uint32_t count = in.u32();
    if (!in.ok || count > 65535)
        return false;
    if (count > 0) {
        slots.names = static_cast<char**>(DVKMem_Calloc(count * sizeof(char*)));
        slots.classes = static_cast<IRClass**>(DVKMem_Calloc(count * sizeof(IRClass*)));
        if (slots.names == nullptr || slots.classes == nullptr)
            return false;
    }
    slots.count = static_cast<int32_t>(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t length = in.u32();
        if (!in.ok)
            return false;
        if (length == 0)
            continue;
        char* name = in.array<char>(length);
        if (!in.ok)
            return false;
        slots.names[i] = name;
        if (length < 2 || name[length - 1] != 0 || std::strlen(name) != length - 1)
            return false;
        for (uint32_t k = 0; k < i; ++k)
            if (slots.names[k] != nullptr && DVKStr_Compare(slots.names[k], name) == 0)
                return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (slots.names[i] == nullptr)
            continue;
        slots.classes[i] = IRClass_New(vocabulary, 0);
        if (slots.classes[i] == nullptr || !readClass(in, slots.classes[i]))
            return false;
    }
    return BinFileReader_IsAtEnd(reader) != 0;
}

}  // namespace

int32_t IR_WriteBinFile(const IR* index, DVKTar* archive, const char* prefix)
{
    if (index == nullptr)
        return 0;
    BinFileWriter* w = BinFileWriter_Create(archive, kTag, prefix);
    if (w == nullptr)
        return 0;
    bool ok = BinFileWriter_WriteUnsignedInt(w, static_cast<uint32_t>(index->slotCount)) != 0;
    for (int32_t i = 0; ok && i < index->slotCount; ++i) {
        const char* name = index->names[i];
        if (name == nullptr) {
            ok = BinFileWriter_WriteUnsignedInt(w, 0) != 0;
            continue;
        }
        const uint32_t length = static_cast<uint32_t>(std::strlen(name) + 1);
        ok = BinFileWriter_WriteUnsignedInt(w, length) && BinFileWriter_WriteArray(w, name, length, 1);
    }
    for (int32_t i = 0; ok && i < index->slotCount; ++i)
        if (index->classes[i] != nullptr)
            ok = writeClass(w, index->classes[i]) != 0;
    if (BinFileWriter_Delete(w) != 0)
        ok = false;
    return ok ? 1 : 0;
}

int32_t IR_ReadBinFile(IR* index, DVKTar* archive, const char* prefix)
{
    if (index == nullptr)
        return 0;
    BinFileReader* reader = nullptr;
    if (DVKErr_Protect([&] { reader = BinFileReader_Create(archive, kTag, prefix); }) != 0 ||
        reader == nullptr)
        return 0;
    Slots slots;
    bool ok = false;
    if (DVKErr_Protect([&] { ok = readSlots(reader, index->vocabulary, slots); }) != 0)
        ok = false;
    BinFileReader_Delete(reader);
    if (!ok) {
        slots.release();
        return 0;
    }
    for (int32_t i = index->slotCount - 1; i >= 0; --i) {
        IR_DeleteClass(index->classes[i]);
        DVKMem_Free(index->names[i]);
    }
    DVKMem_Free(index->names);
    DVKMem_Free(index->classes);
    index->names = slots.names;
    index->classes = slots.classes;
    index->slotCount = index->slotCapacity = slots.count;
    return 1;
}

IR* IR_CreateIRFromBinFile(Voc*, DVKTar*, const char*)
{
    return nullptr;
}
