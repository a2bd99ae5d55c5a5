// The run-time word store's checksum and its "bmd1" sub-file. The file comes
// from user storage that can be damaged: it is read into a new store, every
// offset, order and count a later call relies on is checked there, and only
// a consistent store replaces the current one.
#include "core/brevit/lexicon/mwl_dynamic_parts.h"

#include "core/brevit/lexicon/mwl_code.h"
#include "core/brevit/lexicon/mwl_util.h"
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_swap.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kLength = kMWLDynamicChunkLength;

uint32_t addChunks(const MWLDynamicChunks& array, uint32_t crc)
{
    for (uint32_t i = 0; i < array.chunks; ++i)
        crc = DVKCrc_AddBytes(array.table[i], static_cast<int32_t>(kLength), crc);
    return crc;
}

uint32_t addBytes(const MWLDynamicChunks& array, uint32_t used, uint32_t crc)
{
    for (uint32_t at = 0; at < used; at += kLength)
        crc = DVKCrc_AddBytes(array.table[at / kLength], static_cast<int32_t>(std::min(kLength, used - at)), crc);
    return crc;
}

uint32_t add(uint32_t value, uint32_t crc)
{
    return DVKCrc_AddValue(value, 4, crc);
}

// ---- writing ----------------------------------------------------------------------

bool writeWords(BinFileWriter* w, std::initializer_list<uint32_t> words)
{
    for (uint32_t word : words)
        if (BinFileWriter_WriteUnsignedInt(w, word) != 1)
            return false;
    return true;
}

bool writeChunks(BinFileWriter* w, const MWLDynamicChunks& array, uint32_t elementSize)
{
    return BinFileWriter_WriteChunkedArray(w, array.table, array.chunks, kLength, elementSize) == 1;
}

bool writeStore(BinFileWriter* w, const MWLDynamic* s)
{
    const MWLDynamicMaxima& m = s->maxima;
    if (!writeWords(w, {s->signature, s->keepProns, s->records.chunks, s->records.capacity,
                        s->recordCount, static_cast<uint32_t>(s->highestId), s->textOrder.chunks,
                        s->textOrder.capacity, s->textOrderCount, s->classBytes.chunks,
                        s->classBytes.capacity, s->texts.chunks, s->texts.capacity, s->textUsed,
                        s->prons.chunks, s->prons.capacity, s->pronUsed,
                        static_cast<uint32_t>(m.surface), static_cast<uint32_t>(m.encodedSurface),
                        static_cast<uint32_t>(m.spoken), static_cast<uint32_t>(m.masterPron),
                        static_cast<uint32_t>(m.recogPron), static_cast<uint32_t>(m.pronsOnRecord),
                        static_cast<uint32_t>(m.pronsOfWord), s->types.chunks, s->types.capacity,
                        s->recency.chunks, s->recency.capacity, s->clock, s->marker,
                        s->markerPositions.chunks, s->markerPositions.capacity,
                        static_cast<uint32_t>(s->slotCount), static_cast<uint32_t>(s->recogCount),
                        s->poolUsed, s->poolCapacity, s->highestSlot, s->exactText}))
        return false;
    if (BinFileWriter_WriteChunkedArrayStructsWithFunc(w, s->records.table, s->records.chunks, kLength,
                                                       sizeof(MWLDynamicRecord), writeOneAddedRec4) != 1 ||
        !writeChunks(w, s->textOrder, 2) || (s->exactText != 0 && !writeChunks(w, s->classBytes, 1)) ||
        !writeChunks(w, s->texts, 1) || !writeChunks(w, s->prons, 1) || !writeChunks(w, s->types, 1) ||
        !writeChunks(w, s->recency, 1) ||
        (s->marker != kMWLDynamicNoPhoneme && !writeChunks(w, s->markerPositions, 1)) ||
        BinFileWriter_WriteArray(w, s->recogCounts, static_cast<uint32_t>(s->recogCount), 1) != 1 ||
        BinFileWriter_WriteArray(w, s->slotCounts, static_cast<uint32_t>(s->slotCount), 1) != 1 ||
        BinFileWriter_WriteArray(w, s->pool, s->poolCapacity, 2) != 1)
        return false;
    const uint32_t entries = static_cast<uint32_t>(s->slotCount) + 2;
    auto* offsets = static_cast<uint16_t*>(DVKMem_Malloc(entries * 2));
    if (offsets == nullptr)
        return false;
    for (uint32_t k = 0; k < entries; ++k)
        offsets[k] = static_cast<uint16_t>(s->slotOffsets[k]);
    const bool written = BinFileWriter_WriteArray(w, offsets, entries, 2) == 1;
    DVKMem_Free(offsets);
    return written;
}

// ---- reading ----------------------------------------------------------------------

bool readWord(BinFileReader* r, uint32_t* value)
{
    return BinFileReader_ReadUnsignedInt(r, value) == 1;
}

bool readInt(BinFileReader* r, int32_t* value)
{
    return BinFileReader_ReadInt(r, value) == 1;
}

bool readChunkWords(BinFileReader* r, MWLDynamicChunks* array)
{
    return readWord(r, &array->chunks) && readWord(r, &array->capacity);
}

// A table of a valid store holds at most the capacity it was created with
// or twice the chunks it ever needed; and the chunks declared are in the file.
bool plausibleCapacity(const BinFileReader* r, const MWLDynamicChunks& array, uint32_t elementSize,
                       uint32_t createdWith, uint32_t now)
{
    return uint64_t{array.chunks} * kLength * elementSize <= r->sub->size &&
           array.capacity <= std::max<uint64_t>({createdWith, now, 2 * uint64_t{array.chunks}});
}

uint32_t createdChunks(int index)
{
    return static_cast<uint32_t>((uint64_t{BrevitParam_Word(index)} + kLength - 1) / kLength);
}

// Reads the array into array->table; the chunks read must be the chunks the
// header declared (which array->chunks holds on entry).
bool readChunks(BinFileReader* r, MWLDynamicChunks* array, uint32_t elementSize)
{
    const uint32_t declared = array->chunks;
    array->chunks = 0;
    uint32_t chunks = 0;
    void** table = nullptr;
    if (BinFileReader_AllocateAndReadChunkedArray(r, &table, array->capacity, kLength, elementSize,
                                                  &chunks) != 1)
        return false;
    array->table = table;
    array->chunks = chunks;
    return chunks == declared;
}

bool readRecords(BinFileReader* r, MWLDynamicChunks* array)
{
    const uint32_t declared = array->chunks;
    array->chunks = 0;
    uint32_t chunks = 0;
    void** table = nullptr;
    if (BinFileReader_AllocateAndReadChunkedArrayStructsWithFunc(
            r, &table, array->capacity, kLength, sizeof(MWLDynamicRecord), readOneAddedRec4, &chunks) != 1)
        return false;
    array->table = table;
    array->chunks = chunks;
    return chunks == declared;
}

// An array the store does not keep: nothing of it may be declared.
bool absent(MWLDynamicChunks* array)
{
    const bool none = array->chunks == 0;
    array->chunks = 0;
    return none;
}

bool readHeader(BinFileReader* r, MWLDynamic* f, const MWLDynamic* store)
{
    uint32_t signature = 0;
    int32_t keep = 0;
    int32_t exact = 0;
    uint16_t marker = 0;
    int32_t slots = 0;
    int32_t recogs = 0;
    uint32_t poolCapacity = 0;
    MWLDynamicMaxima& m = f->maxima;
    const bool read =
        readWord(r, &signature) && BinFileReader_ReadBoolean(r, &keep) == 1 &&
        readChunkWords(r, &f->records) && readWord(r, &f->recordCount) && readInt(r, &f->highestId) &&
        readChunkWords(r, &f->textOrder) && readWord(r, &f->textOrderCount) &&
        readChunkWords(r, &f->classBytes) && readChunkWords(r, &f->texts) && readWord(r, &f->textUsed) &&
        readChunkWords(r, &f->prons) && readWord(r, &f->pronUsed) && readInt(r, &m.surface) &&
        readInt(r, &m.encodedSurface) && readInt(r, &m.spoken) && readInt(r, &m.masterPron) &&
        readInt(r, &m.recogPron) && readInt(r, &m.pronsOnRecord) && readInt(r, &m.pronsOfWord) &&
        readChunkWords(r, &f->types) && readChunkWords(r, &f->recency) && readWord(r, &f->clock) &&
        BinFileReader_ReadUnsignedShort(r, &marker) == 1 && readChunkWords(r, &f->markerPositions) &&
        readInt(r, &slots) && readInt(r, &recogs) && readWord(r, &f->poolUsed) &&
        readWord(r, &poolCapacity) && BinFileReader_ReadUnsignedShort(r, &f->highestSlot) == 1 &&
        BinFileReader_ReadBoolean(r, &exact) == 1;
    f->keepProns = static_cast<uint32_t>(keep);
    // The list's identity, its sizes and its text and marker settings are
    // the store's own; under the list's signature only damage makes them differ.
    const uint32_t recordChunks = createdChunks(kBrevitParamWordStorePages);
    return read && signature == store->signature && slots == store->slotCount &&
           recogs == store->recogCount && poolCapacity == store->poolCapacity &&
           marker == store->marker && static_cast<uint32_t>(exact) == store->exactText &&
           plausibleCapacity(r, f->records, sizeof(MWLDynamicRecord), recordChunks, store->records.capacity) &&
           plausibleCapacity(r, f->textOrder, 2, recordChunks, store->textOrder.capacity) &&
           plausibleCapacity(r, f->classBytes, 1, recordChunks, store->classBytes.capacity) &&
           plausibleCapacity(r, f->texts, 1, createdChunks(kBrevitParamTextStorePages), store->texts.capacity) &&
           plausibleCapacity(r, f->prons, 1, createdChunks(kBrevitParamPronStorePages), store->prons.capacity) &&
           plausibleCapacity(r, f->types, 1, recordChunks, store->types.capacity) &&
           plausibleCapacity(r, f->recency, 1, recordChunks, store->recency.capacity) &&
           plausibleCapacity(r, f->markerPositions, 1, recordChunks, store->markerPositions.capacity);
}

bool readArrays(BinFileReader* r, MWLDynamic* f)
{
    if (!readRecords(r, &f->records) || !readChunks(r, &f->textOrder, 2) ||
        (f->exactText != 0 ? !readChunks(r, &f->classBytes, 1) : !absent(&f->classBytes)) ||
        !readChunks(r, &f->texts, 1) || !readChunks(r, &f->prons, 1) || !readChunks(r, &f->types, 1) ||
        !readChunks(r, &f->recency, 1) ||
        (f->marker != kMWLDynamicNoPhoneme ? !readChunks(r, &f->markerPositions, 1)
                                           : !absent(&f->markerPositions)))
        return false;
    const auto slots = static_cast<uint32_t>(f->slotCount);
    const auto recogs = static_cast<uint32_t>(f->recogCount);
    f->pool = static_cast<uint16_t*>(DVKMem_Calloc((f->poolCapacity + 1) * 2));
    f->slotOffsets = static_cast<uint32_t*>(DVKMem_Calloc((slots + 2) * 4));
    f->recogCounts = static_cast<uint8_t*>(DVKMem_Calloc(recogs + 1));
    f->slotCounts = static_cast<uint8_t*>(DVKMem_Calloc(slots + 1));
    auto* offsets = static_cast<uint16_t*>(DVKMem_Calloc((slots + 2) * 2));
    const bool read = f->pool != nullptr && f->slotOffsets != nullptr && f->recogCounts != nullptr &&
                      f->slotCounts != nullptr && offsets != nullptr &&
                      BinFileReader_ReadArray(r, f->recogCounts, 1, recogs) == 1 &&
                      BinFileReader_ReadArray(r, f->slotCounts, 1, slots) == 1 &&
                      BinFileReader_ReadArray(r, f->pool, 2, f->poolCapacity) == 1 &&
                      BinFileReader_ReadArray(r, offsets, 2, slots + 2) == 1;
    if (read)
        for (uint32_t k = 0; k < slots + 2; ++k)
            f->slotOffsets[k] = offsets[k];
    DVKMem_Free(offsets);
    return read;
}

// ---- consistency ------------------------------------------------------------------

bool enoughChunks(const MWLDynamicChunks& array, uint64_t elements)
{
    return uint64_t{array.chunks} * kLength >= elements;
}

bool poolConsistent(const MWLDynamic* f)
{
    const uint32_t* offsets = f->slotOffsets;
    const int32_t highest = f->highestSlot;
    if (highest > f->slotCount || offsets[highest + 1] > f->poolCapacity || f->poolUsed != offsets[highest + 1])
        return false;
    for (int32_t k = 1; k <= f->slotCount; ++k) {
        const bool used = f->slotCounts[k - 1] != kMWLDynamicFree;
        if (k > highest) {
            if (used)
                return false;
            continue;
        }
        const uint32_t begin = offsets[k];
        const uint32_t end = offsets[k + 1];
        if (begin > end || (!used && begin != end) || (used && (end == begin || f->pool[end - 1] != kMWLPronEnd)))
            return false;
        for (uint32_t e = begin; used && e + 1 < end; ++e)
            if (f->pool[e] == kMWLPronEnd || int32_t{f->pool[e]} > f->staticRecogCount + f->recogCount)
                return false;
    }
    return true;
}

// A string at at ending before used; its length through length.
bool boundedString(const MWLDynamicChunks& bytes, uint32_t used, uint32_t at, uint32_t* length)
{
    for (uint32_t n = 0; at + n < used; ++n)
        if (mwlAt<uint8_t>(bytes, at + n) == 0) {
            *length = n;
            return true;
        }
    return false;
}

// Texts inside the used bytes, within the maxima the callers size by.
bool textsConsistent(const MWLDynamic* f, uint32_t index)
{
    const uint32_t at = mwlRecord(f, index).textOffset;
    uint32_t surface = 0;
    uint32_t spoken = 0;
    uint32_t exact = 0;
    const bool isExact = mwlClassByte(f, index) == kMWLCodeExact;
    if (!boundedString(f->texts, f->textUsed, at, &surface) ||
        !boundedString(f->texts, f->textUsed, at + surface + 1, &spoken) ||
        (isExact && !boundedString(f->texts, f->textUsed, at + surface + spoken + 2, &exact)))
        return false;
    const uint32_t mark = DVKTempMem_GetMark();
    MWLDynamicTexts t;
    mwlRecordTexts(f, index, &t);
    int32_t surfaceChars = 0;
    int32_t spokenChars = 0;
    mwlDecodedLengths(f, t, &surfaceChars, &spokenChars);
    const bool fits = int64_t{surfaceChars} + 1 <= f->maxima.surface &&
                      int64_t{surface} <= f->maxima.encodedSurface && spokenChars <= f->maxima.spoken;
    DVKTempMem_ReleaseToMark(mark);
    return fits;
}

// Prons inside the used bytes, naming phonemes that exist, within the maxima.
bool pronsConsistent(const MWLDynamic* f, uint32_t index)
{
    const uint32_t at = mwlRecord(f, index).pronOffset;
    const int32_t count = mwlAt<uint8_t>(f->prons, at);
    const int32_t position = mwlMarkerPosition(f, index);
    if (count > f->maxima.pronsOnRecord)
        return false;
    uint32_t p = at + 1;
    const uint32_t mark = DVKTempMem_GetMark();
    auto* pron = static_cast<uint16_t*>(DVKTempMem_Malloc((kMWLDecodedPronUnits + 1) * 2));
    bool ok = true;
    for (int32_t k = 0; ok && k < count; ++k) {
        ok = p < f->pronUsed;
        const uint32_t n = ok ? mwlAt<uint8_t>(f->prons, p) : 0;
        const uint32_t length = ok ? mwlEncodedPronLength(f, p) : 0;
        ok = ok && p + length <= f->pronUsed;
        if (!ok)
            break;
        mwlDecodePron(f, p, pron);
        const bool markerBack = count == 1 && position != kMWLNoMarker;
        ok = int64_t{n} + (markerBack ? 1 : 0) <= std::min<int64_t>(f->maxima.masterPron, kMWLMaxEncodedPhonemes) &&
             mwlIsStorablePron(f, pron) && mwlRecogLength(f, pron) <= f->maxima.recogPron;
        for (uint32_t i = 0; ok && i < n; ++i)
            ok = int32_t{pron[i]} <= f->staticMasterCount + f->highestSlot;
        p += length;
    }
    DVKTempMem_ReleaseToMark(mark);
    return ok;
}

bool recordsConsistent(const MWLDynamic* f)
{
    const uint32_t mark = DVKTempMem_GetMark();
    auto* listed = static_cast<uint8_t*>(DVKTempMem_Calloc(f->recordCount + 1));
    bool ok = true;
    uint32_t withTexts = 0;
    for (uint32_t i = 0; ok && i < f->recordCount; ++i) {
        const MWLDynamicRecord& r = mwlRecord(f, i);
        const bool runTime = static_cast<int64_t>(r.wordId) >= f->firstId;
        const int32_t position = mwlMarkerPosition(f, i);
        ok = (i == 0 || mwlRecord(f, i - 1).wordId < r.wordId) && r.wordId <= kMWLDynamicLastId &&
             runTime == (r.textOffset != kMWLDynamicNoOffset) && position != 0 && position != 255 &&
             (r.textOffset == kMWLDynamicNoOffset || (r.textOffset < f->textUsed && textsConsistent(f, i))) &&
             (r.pronOffset == kMWLDynamicNoOffset || (r.pronOffset < f->pronUsed && pronsConsistent(f, i)));
        withTexts += runTime ? 1 : 0;
    }
    ok = ok && withTexts == f->textOrderCount;
    for (uint32_t pos = 0; ok && pos < f->textOrderCount; ++pos) {
        const uint32_t index = mwlAt<uint16_t>(f->textOrder, pos);
        ok = index < f->recordCount && mwlRecord(f, index).textOffset != kMWLDynamicNoOffset && listed[index] == 0;
        if (!ok)
            break;
        listed[index] = 1;
        if (pos > 0) {
            const uint32_t before = mwlRecord(f, mwlAt<uint16_t>(f->textOrder, pos - 1)).textOffset;
            const uint32_t inner = DVKTempMem_GetMark();
            const uint8_t* key = mwlCopyString(f->texts, mwlRecord(f, index).textOffset);
            ok = mwlCompareString(f->texts, before, key, static_cast<int32_t>(std::strlen(reinterpret_cast<const char*>(key))) + 1) <= 0;
            DVKTempMem_ReleaseToMark(inner);
        }
    }
    DVKTempMem_ReleaseToMark(mark);
    return ok;
}

bool consistent(const MWLDynamic* f)
{
    const uint64_t n = f->recordCount;
    if (n > kMWLDynamicMostRecords || !enoughChunks(f->records, n) || !enoughChunks(f->textOrder, f->textOrderCount) ||
        (f->exactText != 0 && !enoughChunks(f->classBytes, n)) || !enoughChunks(f->types, n) ||
        !enoughChunks(f->recency, n) ||
        (f->marker != kMWLDynamicNoPhoneme && !enoughChunks(f->markerPositions, n)) ||
        !enoughChunks(f->texts, f->textUsed) || !enoughChunks(f->prons, f->pronUsed) || f->clock > 255 ||
        !poolConsistent(f))
        return false;
    return recordsConsistent(f) && f->highestId == mwlHighestId(f);
}

} // namespace

int32_t readOneAddedRec4(BinFileReader* reader, int32_t swap, void* element)
{
    uint32_t words[3];
    if (BinFileReader_ReadRaw(reader, sizeof(words), words) != 1)
        return 0;
    for (uint32_t& word : words)
        if (swap != 0)
            DVKSwap_Bytes(&word, 4);
    auto* record = static_cast<MWLDynamicRecord*>(element);
    record->textOffset = words[0];
    record->pronOffset = words[1];
    record->wordId = words[2];
    return 1;
}

int32_t writeOneAddedRec4(BinFileWriter* writer, int32_t swap, const void* element)
{
    const auto* record = static_cast<const MWLDynamicRecord*>(element);
    uint32_t words[3] = {record->textOffset, record->pronOffset, record->wordId};
    for (uint32_t& word : words)
        if (swap != 0)
            DVKSwap_Bytes(&word, 4);
    return BinFileWriter_WriteRaw(writer, sizeof(words), words);
}

uint32_t MWLDynamic_ComputeCRC(const MWLDynamic* store)
{
    const MWLDynamic* s = store;
    uint32_t crc = add(s->keepProns, 0xFFFFFFFFu);
    for (uint32_t i = 0; i < s->recordCount; ++i) {
        const MWLDynamicRecord& r = mwlRecord(s, i);
        crc = add(r.wordId, add(r.pronOffset, add(r.textOffset, crc)));
    }
    crc = add(static_cast<uint32_t>(s->highestId), add(s->recordCount, crc));
    for (uint32_t i = 0; i < s->textOrderCount; ++i)
        crc = DVKCrc_AddValue(mwlAt<uint16_t>(s->textOrder, i), 2, crc);
    crc = add(s->textOrderCount, add(s->textOrder.capacity, add(s->textOrder.chunks, crc)));
    if (s->exactText != 0)
        crc = addChunks(s->classBytes, crc);
    crc = addBytes(s->texts, s->textUsed, crc);
    crc = add(s->textUsed, add(s->texts.capacity, add(s->texts.chunks, crc)));
    crc = addBytes(s->prons, s->pronUsed, crc);
    crc = add(s->pronUsed, add(s->prons.capacity, add(s->prons.chunks, crc)));
    const MWLDynamicMaxima& m = s->maxima;
    for (int32_t value : {m.surface, m.encodedSurface, m.spoken, m.masterPron, m.recogPron,
                          m.pronsOnRecord, m.pronsOfWord})
        crc = add(static_cast<uint32_t>(value), crc);
    crc = addChunks(s->recency, addChunks(s->types, crc));
    crc = add(static_cast<uint32_t>(s->recogCount), add(static_cast<uint32_t>(s->slotCount), add(s->clock, crc)));
    crc = DVKCrc_AddArray(s->pool, 2, static_cast<int32_t>(s->poolCapacity), crc);
    for (int32_t k = 0; k < s->slotCount + 2; ++k)
        crc = DVKCrc_AddValue(s->slotOffsets[k], 2, crc);
    crc = DVKCrc_AddValue(s->highestSlot, 2, add(s->poolCapacity, add(s->poolUsed, crc)));
    crc = DVKCrc_AddBytes(s->recogCounts, s->recogCount, crc);
    crc = DVKCrc_AddBytes(s->slotCounts, s->slotCount, crc);
    for (int32_t value : {s->firstId, s->staticRecogCount, s->staticMasterCount, s->encodings.surfaceEncoding})
        crc = add(static_cast<uint32_t>(value), crc);
    const DVKSCSU& coder = s->encodings.surfaceCoder;
    crc = add(coder.currentWindow, add(coder.defaultWindow, crc));
    return DVKCrc_AddArray(coder.windowOffsets, 4, 8, crc);
}

int32_t MWLDynamic_WritePSAFile(const MWLDynamic* store, DVKTar* tar, const char* prefix)
{
    BinFileWriter* w = BinFileWriter_Create(tar, kMWLDynamicSubFileTag, prefix);
    if (w == nullptr)
        return 0;
    const bool written = writeStore(w, store);
    return BinFileWriter_Delete(w) == 0 && written ? 1 : 0;
}

int32_t MWLDynamic_ReadPSAFile(MWLDynamic* store, DVKTar* tar, const char* prefix)
{
    BinFileReader* r = BinFileReader_Create(tar, kMWLDynamicSubFileTag, prefix);
    if (r == nullptr)
        return 0;
    auto* f = static_cast<MWLDynamic*>(DVKMem_Calloc(sizeof(MWLDynamic)));
    if (f == nullptr) {
        BinFileReader_Delete(r);
        return 0;
    }
    // What the file does not hold is the store's: sizes, ids, coders.
    *f = *store;
    for (MWLDynamicChunks* array : {&f->records, &f->textOrder, &f->classBytes, &f->texts, &f->prons,
                                    &f->types, &f->recency, &f->markerPositions})
        *array = {};
    f->pool = nullptr;
    f->slotOffsets = nullptr;
    f->recogCounts = nullptr;
    f->slotCounts = nullptr;
    const bool read = readHeader(r, f, store) && readArrays(r, f) && consistent(f);
    BinFileReader_Delete(r);
    if (!read) {
        MWLDynamic_Delete(f);
        return 0;
    }
    mwlFreeArrays(store);
    *store = *f;
    DVKMem_Free(f);
    return 1;
}

void MWLDynamic_AfterRead(MWLDynamic* store, int32_t* maxSurface, int32_t* maxSpoken,
                          int32_t* maxMaster, int32_t* maxRecog)
{
    store->highestId = mwlHighestId(store);
    const MWLDynamicMaxima& m = store->maxima;
    *maxSurface = std::max(*maxSurface, m.surface);
    *maxSpoken = std::max(*maxSpoken, m.spoken);
    *maxMaster = std::max(*maxMaster, m.masterPron);
    *maxRecog = std::max(*maxRecog, m.recogPron);
}
