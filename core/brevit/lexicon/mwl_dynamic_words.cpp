// Words and prons added and removed at run time, and the prons a word
// answers: stored ones decoded, or the generator's when none are stored.
// Every refusal leaves the store as it was: growth is undone and nothing is
// written before the last check.
#include "core/brevit/lexicon/mwl_dynamic_parts.h"

#include "core/brevit/lexicon/mwl_util.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"

#include <algorithm>
#include <cstring>

namespace {

void raise(int32_t* maximum, int32_t value)
{
    if (maximum != nullptr && *maximum < value)
        *maximum = value;
}

// The id of a new word: the next above the highest, or once ids past the
// last usable one would be needed, the lowest free one; 0xFFFFFF when none.
uint32_t newWordId(const MWLDynamic* s)
{
    if (s->highestId < static_cast<int32_t>(kMWLDynamicLastId))
        return static_cast<uint32_t>(s->highestId + 1);
    if (s->firstId < 0)
        return kMWLDynamicNoWord;
    uint32_t candidate = static_cast<uint32_t>(s->firstId);
    uint32_t index = 0;
    MWLDynamic_FindRecord(s, candidate, &index);
    for (; index < s->recordCount && mwlRecord(s, index).wordId == candidate; ++index)
        ++candidate;
    return candidate <= kMWLDynamicLastId ? candidate : kMWLDynamicNoWord;
}

uint8_t typeByte(int32_t type)
{
    if (type == 0)
        return 0;
    return type > 0 && type < 256 ? static_cast<uint8_t>(type) : 1;
}

uint16_t* scratchPron()
{
    return static_cast<uint16_t*>(DVKTempMem_Malloc((kMWLDecodedPronUnits + 1) * 2));
}

// The record's one generated pron (marker put back) into out: its length,
// -1 when there is none.
int32_t generatedPron(const MWLDynamic* s, uint32_t index, uint16_t* out)
{
    if (s->generator == nullptr || mwlRecord(s, index).textOffset == kMWLDynamicNoOffset)
        return -1;
    MWLDynamicTexts texts;
    mwlRecordTexts(s, index, &texts);
    const int32_t n = mwlGeneratePron(s, mwlPronText(s, texts), mwlAt<uint8_t>(s->types, index), out);
    if (n < 0)
        return -1;
    const int32_t position = mwlMarkerPosition(s, index);
    if (position == kMWLNoMarker)
        return n;
    MWLUtil_InsertMarkerPhoneme(out, position, s->marker);
    return mwlPronLength(out);
}

// Releases every stored pron of a record.
bool releaseProns(MWLDynamic* s, uint32_t at)
{
    uint16_t* pron = scratchPron();
    bool freed = false;
    const uint32_t count = mwlAt<uint8_t>(s->prons, at);
    uint32_t p = at + 1;
    for (uint32_t k = 0; k < count; ++k) {
        p += mwlDecodePron(s, p, pron);
        freed = mwlReleasePron(s, pron) || freed;
    }
    return freed;
}

} // namespace

void mwlRemoveRecord(MWLDynamic* s, uint32_t index, int32_t* freed)
{
    const uint32_t mark = DVKTempMem_GetMark();
    const MWLDynamicRecord record = mwlRecord(s, index);
    bool released = false;
    if (record.pronOffset != kMWLDynamicNoOffset) {
        released = releaseProns(s, record.pronOffset);
        mwlReplaceBytes(s, false, record.pronOffset, mwlPronEntryLength(s, record.pronOffset),
                        nullptr, 0);
    }
    if (record.textOffset != kMWLDynamicNoOffset) {
        mwlReplaceBytes(s, true, record.textOffset, mwlTextEntryLength(s, index), nullptr, 0);
        uint32_t pos = 0;
        while (pos < s->textOrderCount && mwlAt<uint16_t>(s->textOrder, pos) != index)
            ++pos;
        DVKMem_MoveChunkedArrayElements(s->textOrder.table, kMWLDynamicChunkLength, 2,
                                        static_cast<int32_t>(pos + 1),
                                        static_cast<int32_t>(s->textOrderCount - pos - 1),
                                        static_cast<int32_t>(pos));
        --s->textOrderCount;
    }
    mwlShiftTextOrder(s, index + 1, -1);
    mwlCloseRecordGap(s, index);
    --s->recordCount;
    if (static_cast<int32_t>(record.wordId) == s->highestId)
        s->highestId = mwlHighestId(s);
    if (freed != nullptr)
        *freed = released ? 1 : 0;
    DVKTempMem_ReleaseToMark(mark);
}

uint32_t MWLDynamic_AddWordWithPronunciations(MWLDynamic* store, const uint16_t* surface,
                                              const uint16_t* spoken,
                                              const uint16_t* const* prons, int32_t count,
                                              int32_t* maxSurface, int32_t* maxSpoken,
                                              int32_t* maxMaster, int32_t* maxRecog,
                                              int32_t type, int32_t deferProns)
{
    if (count < 1 || count > kMWLDynamicMostProns || store->recordCount >= kMWLDynamicMostRecords)
        return kMWLDynamicNoWord;
    for (int32_t k = 0; k < count; ++k)
        if (!mwlIsStorablePron(store, prons[k]))
            return kMWLDynamicNoWord;
    const uint32_t id = newWordId(store);
    if (id == kMWLDynamicNoWord)
        return kMWLDynamicNoWord;
    const uint32_t mark = DVKTempMem_GetMark();
    MWLDynamicTexts t;
    if (!mwlEncodeTexts(store, surface, spoken, &t)) {
        DVKTempMem_ReleaseToMark(mark);
        return kMWLDynamicNoWord;
    }
    // Callers size buffers by the maxima: count what reading back gives.
    int32_t surfaceChars = 0;
    int32_t spokenChars = 0;
    mwlDecodedLengths(store, t, &surfaceChars, &spokenChars);
    t.surfaceChars = std::max(t.surfaceChars, surfaceChars);
    t.spokenChars = std::max(t.spokenChars, spokenChars);
    // A single pron keeps the marker out and remembers where it was.
    const uint16_t** stored = static_cast<const uint16_t**>(DVKTempMem_Malloc(static_cast<uint32_t>(count) * sizeof(uint16_t*)));
    std::copy(prons, prons + count, stored);
    int32_t position = kMWLNoMarker;
    if (store->marker != kMWLDynamicNoPhoneme && count == 1) {
        uint16_t* copy = scratchPron();
        std::memcpy(copy, prons[0], static_cast<size_t>(mwlPronLength(prons[0]) + 1) * 2);
        position = MWLUtil_ExtractMarkerPhoneme(copy, store->marker);
        stored[0] = copy;
    }
    bool keep = true;
    if (store->keepProns == 0 && store->generator != nullptr) {
        if (deferProns != 0) {
            keep = false;
        } else if (count == 1) {
            uint16_t* generated = scratchPron();
            const uint16_t* text = mwlPronText(store, t);
            keep = !(mwlGeneratePron(store, text, typeByte(type), generated) >= 0 &&
                     MWLUtil_IsSamePronunciation(generated, stored[0]));
        }
    }
    const uint32_t surfaceBytes = static_cast<uint32_t>(std::strlen(reinterpret_cast<char*>(t.surface))) + 1;
    const uint32_t spokenBytes = static_cast<uint32_t>(std::strlen(reinterpret_cast<char*>(t.spoken))) + 1;
    const uint32_t exactBytes = t.exact != nullptr ? static_cast<uint32_t>(std::strlen(reinterpret_cast<char*>(t.exact))) + 1 : 0;
    const uint32_t textBytes = surfaceBytes + spokenBytes + exactBytes;
    const uint32_t pronBytes = keep ? 1 + static_cast<uint32_t>(MWLUtil_GetEncodedSize(stored, count)) : 0;
    uint32_t index = 0;
    MWLDynamic_FindRecord(store, id, &index);
    MWLDynamicGrowthLog log{};
    if (!mwlGrowRecordArrays(store, &log, store->recordCount + 1) ||
        !mwlGrow(&log, &store->textOrder, 2, store->textOrderCount + 1) ||
        !mwlGrow(&log, &store->texts, 1, store->textUsed + textBytes) ||
        !mwlGrow(&log, &store->prons, 1, store->pronUsed + pronBytes)) {
        mwlUndoGrowth(&log);
        DVKTempMem_ReleaseToMark(mark);
        return kMWLDynamicNoWord;
    }
    mwlOpenRecordGap(store, index);
    mwlShiftTextOrder(store, index, 1);
    MWLDynamicRecord& record = mwlRecord(store, index);
    record.textOffset = store->textUsed;
    record.pronOffset = keep ? store->pronUsed : kMWLDynamicNoOffset;
    record.wordId = id;
    mwlWriteBytes(store->texts, store->textUsed, surfaceBytes, t.surface);
    mwlWriteBytes(store->texts, store->textUsed + surfaceBytes, spokenBytes, t.spoken);
    if (t.exact != nullptr)
        mwlWriteBytes(store->texts, store->textUsed + surfaceBytes + spokenBytes, exactBytes, t.exact);
    store->textUsed += textBytes;
    if (keep) {
        auto* bytes = static_cast<uint8_t*>(DVKTempMem_Malloc(pronBytes));
        bytes[0] = static_cast<uint8_t>(count);
        MWLUtil_EncodePronunciations(stored, bytes + 1, count);
        mwlWriteBytes(store->prons, store->pronUsed, pronBytes, bytes);
        store->pronUsed += pronBytes;
    }
    const uint32_t pos = MWLDynamic_FindTextPosition(store, t.surface);
    DVKMem_MoveChunkedArrayElements(store->textOrder.table, kMWLDynamicChunkLength, 2,
                                    static_cast<int32_t>(pos),
                                    static_cast<int32_t>(store->textOrderCount - pos),
                                    static_cast<int32_t>(pos + 1));
    mwlAt<uint16_t>(store->textOrder, pos) = static_cast<uint16_t>(index);
    ++store->textOrderCount;
    if (store->exactText != 0)
        mwlAt<uint8_t>(store->classBytes, index) = t.classByte;
    mwlAt<uint8_t>(store->types, index) = typeByte(type);
    mwlAt<uint8_t>(store->recency, index) = static_cast<uint8_t>(store->clock);
    if (store->marker != kMWLDynamicNoPhoneme)
        mwlAt<uint8_t>(store->markerPositions, index) = static_cast<uint8_t>(position);
    ++store->recordCount;
    if (static_cast<int32_t>(id) > store->highestId)
        store->highestId = static_cast<int32_t>(id);

    MWLDynamicMaxima& m = store->maxima;
    raise(&m.surface, t.surfaceChars + 1);
    raise(maxSurface, t.surfaceChars + 1);
    raise(&m.encodedSurface, static_cast<int32_t>(surfaceBytes) - 1);
    raise(&m.spoken, t.spokenChars);
    raise(maxSpoken, t.spokenChars);
    for (int32_t k = 0; k < count; ++k) {
        const int32_t length = mwlPronLength(prons[k]);
        const int32_t recog = mwlRecogLength(store, prons[k]);
        raise(&m.masterPron, length);
        raise(maxMaster, length);
        raise(&m.recogPron, recog);
        raise(maxRecog, recog);
        if (keep)
            mwlCountUses(store, stored[k]);
    }
    raise(&m.pronsOnRecord, count);
    raise(&m.pronsOfWord, count);
    DVKTempMem_ReleaseToMark(mark);
    return id;
}

int32_t MWLDynamic_AddMasterPronunciation(MWLDynamic* store, uint32_t id, const uint16_t* pron,
                                          int32_t staticProns, int32_t* maxMaster,
                                          int32_t* maxRecog)
{
    if (!mwlIsStorablePron(store, pron))
        return 0;
    uint32_t index = 0;
    const bool found = MWLDynamic_FindRecord(store, id, &index);
    // A run-time word exists only with its texts.
    if (!found && (static_cast<int64_t>(id) >= store->firstId || store->recordCount >= kMWLDynamicMostRecords))
        return 0;
    const uint32_t mark = DVKTempMem_GetMark();
    const uint32_t oldAt = found ? mwlRecord(store, index).pronOffset : kMWLDynamicNoOffset;
    const uint32_t oldLength = oldAt != kMWLDynamicNoOffset ? mwlPronEntryLength(store, oldAt) : 0;
    int32_t before = oldAt != kMWLDynamicNoOffset ? mwlAt<uint8_t>(store->prons, oldAt) : 0;
    uint16_t* generated = nullptr;
    if (found && oldAt == kMWLDynamicNoOffset) {
        generated = scratchPron();
        if (generatedPron(store, index, generated) < 0)
            generated = nullptr;
        else
            before = 1;
    }
    if (before + staticProns > kMWLDynamicMostProns - 1) {
        DVKTempMem_ReleaseToMark(mark);
        return 0;
    }
    // The new entry: the prons there were (the marker back in its place),
    // then the added one.
    const bool markerBack = found && before == 1 && generated == nullptr &&
                            mwlMarkerPosition(store, index) != kMWLNoMarker;
    const uint16_t* first = generated;
    if (markerBack) {
        uint16_t* p = scratchPron();
        mwlDecodePron(store, oldAt + 1, p);
        MWLUtil_InsertMarkerPhoneme(p, mwlMarkerPosition(store, index), store->marker);
        first = p;
    }
    // With the marker back in, a pron may outgrow the encoded form.
    if (first != nullptr && MWLUtil_GetEncodedSize(&first, 1) < 0) {
        DVKTempMem_ReleaseToMark(mark);
        return 0;
    }
    const uint32_t firstBytes = first != nullptr ? static_cast<uint32_t>(MWLUtil_GetEncodedSize(&first, 1)) : 0;
    const uint32_t keptBytes = first != nullptr || oldLength == 0 ? 0 : oldLength - 1;
    const uint32_t addedBytes = static_cast<uint32_t>(MWLUtil_GetEncodedSize(&pron, 1));
    const uint32_t newLength = 1 + firstBytes + keptBytes + addedBytes;
    auto* entry = static_cast<uint8_t*>(DVKTempMem_Malloc(newLength));
    entry[0] = static_cast<uint8_t>(before + 1);
    if (first != nullptr)
        MWLUtil_EncodePronunciations(&first, entry + 1, 1);
    else if (keptBytes > 0)
        mwlReadBytes(store->prons, oldAt + 1, keptBytes, entry + 1);
    MWLUtil_EncodePronunciations(&pron, entry + 1 + firstBytes + keptBytes, 1);

    MWLDynamicGrowthLog log{};
    if ((!found && !mwlGrowRecordArrays(store, &log, store->recordCount + 1)) ||
        !mwlGrow(&log, &store->prons, 1, store->pronUsed + newLength - oldLength)) {
        mwlUndoGrowth(&log);
        DVKTempMem_ReleaseToMark(mark);
        return 0;
    }
    if (!found) {
        mwlOpenRecordGap(store, index);
        mwlShiftTextOrder(store, index, 1);
        mwlRecord(store, index) = {kMWLDynamicNoOffset, kMWLDynamicNoOffset, id};
        if (store->exactText != 0)
            mwlAt<uint8_t>(store->classBytes, index) = kMWLDynamicNoClass;
        mwlAt<uint8_t>(store->types, index) = 0;
        mwlAt<uint8_t>(store->recency, index) = static_cast<uint8_t>(store->clock);
        ++store->recordCount;
    }
    if (oldAt != kMWLDynamicNoOffset) {
        mwlReplaceBytes(store, false, oldAt, oldLength, entry, newLength);
    } else {
        mwlRecord(store, index).pronOffset = store->pronUsed;
        mwlReplaceBytes(store, false, store->pronUsed, 0, entry, newLength);
    }
    if (store->marker != kMWLDynamicNoPhoneme)
        mwlAt<uint8_t>(store->markerPositions, index) = static_cast<uint8_t>(kMWLNoMarker);
    // Uses of what is stored now and was not before.
    if (generated != nullptr) {
        mwlCountUses(store, generated);
    } else if (markerBack) {
        const uint16_t marker[] = {store->marker, kMWLPronEnd};
        mwlCountUses(store, marker);
    }
    mwlCountUses(store, pron);

    MWLDynamicMaxima& m = store->maxima;
    const int32_t length = mwlPronLength(pron);
    const int32_t recog = mwlRecogLength(store, pron);
    raise(&m.masterPron, length);
    raise(maxMaster, length);
    raise(&m.recogPron, recog);
    raise(maxRecog, recog);
    raise(&m.pronsOnRecord, before + 1);
    raise(&m.pronsOfWord, before + 1 + staticProns);
    DVKTempMem_ReleaseToMark(mark);
    return 1;
}

int32_t MWLDynamic_RemoveWord(MWLDynamic* store, uint32_t id, int32_t* freed)
{
    if (freed != nullptr)
        *freed = 0;
    uint32_t index = 0;
    if (static_cast<int64_t>(id) < store->firstId || !MWLDynamic_FindRecord(store, id, &index))
        return 0;
    mwlRemoveRecord(store, index, freed);
    return 1;
}

int32_t MWLDynamic_RemovePronunciation(MWLDynamic* store, uint32_t id, int32_t index,
                                       int32_t staticProns, int32_t* freed)
{
    if (freed != nullptr)
        *freed = 0;
    uint32_t r = 0;
    if (!MWLDynamic_FindRecord(store, id, &r))
        return 0;
    const uint32_t at = mwlRecord(store, r).pronOffset;
    const int32_t count = at != kMWLDynamicNoOffset ? mwlAt<uint8_t>(store->prons, at) : 0;
    const int32_t j = index - staticProns;
    if (j < 0 || j >= count)
        return 0;
    if (count == 1) {
        mwlRemoveRecord(store, r, freed);
        return 1;
    }
    const uint32_t mark = DVKTempMem_GetMark();
    uint32_t p = at + 1;
    for (int32_t k = 0; k < j; ++k)
        p += mwlEncodedPronLength(store, p);
    uint16_t* pron = scratchPron();
    const uint32_t length = mwlDecodePron(store, p, pron);
    const bool released = mwlReleasePron(store, pron);
    mwlAt<uint8_t>(store->prons, at) = static_cast<uint8_t>(count - 1);
    mwlReplaceBytes(store, false, p, length, nullptr, 0);
    if (freed != nullptr)
        *freed = released ? 1 : 0;
    DVKTempMem_ReleaseToMark(mark);
    return 1;
}

int32_t MWLDynamic_GetMasterPronunciations(const MWLDynamic* store, uint32_t id,
                                           uint16_t* const* buffers, int32_t most, int32_t length)
{
    uint32_t index = 0;
    if (most < 1 || !MWLDynamic_FindRecord(store, id, &index))
        return 0;
    const uint32_t mark = DVKTempMem_GetMark();
    const uint32_t at = mwlRecord(store, index).pronOffset;
    const int32_t position = mwlMarkerPosition(store, index);
    int32_t written = 0;
    uint16_t* pron = scratchPron();
    if (at == kMWLDynamicNoOffset) {
        const int32_t n = generatedPron(store, index, pron);
        if (n >= 0 && n + 1 <= length) {
            std::memcpy(buffers[0], pron, static_cast<size_t>(n + 1) * 2);
            written = 1;
        }
    } else {
        const int32_t count = mwlAt<uint8_t>(store->prons, at);
        const bool markerBack = count == 1 && position != kMWLNoMarker;
        uint32_t p = at + 1;
        for (; written < count && written < most; ++written) {
            const int32_t n = mwlAt<uint8_t>(store->prons, p);
            if (n + 1 + (markerBack ? 1 : 0) > length)
                break;
            p += mwlDecodePron(store, p, buffers[written]);
            if (markerBack)
                MWLUtil_InsertMarkerPhoneme(buffers[written], position, store->marker);
        }
    }
    DVKTempMem_ReleaseToMark(mark);
    return written;
}
