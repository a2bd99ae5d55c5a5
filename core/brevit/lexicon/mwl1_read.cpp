#include "core/brevit/lexicon/mwl1.h"
#include "core/brevit/lexicon/mwl_code.h"
#include "core/brevit/lexicon/mwl_shared.h"
#include "core/brevit/lexicon/mwl_util.h"
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_language.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cstring>
#include <initializer_list>

namespace {

bool readU16(BinFileReader* r, uint16_t* v) { return BinFileReader_ReadUnsignedShort(r, v) == 1; }
bool readInt(BinFileReader* r, int32_t* v) { return BinFileReader_ReadInt(r, v) == 1; }
bool readU32(BinFileReader* r, uint32_t* v) { return BinFileReader_ReadUnsignedInt(r, v) == 1; }

// An array that is either absent (empty) or of exactly count elements.
template <typename T>
bool readArray(BinFileReader* r, T** array, int32_t count)
{
    void* a = nullptr;
    uint32_t n = 0;
    if (BinFileReader_AllocateAndReadArray(r, sizeof(T), &a, &n) != 1)
        return false;
    if (n != 0 && n != static_cast<uint32_t>(count)) {
        DVKMem_Free(a);
        return false;
    }
    *array = static_cast<T*>(a);
    return true;
}

// Length of the zero-terminated string at offset inside a pool of length
// bytes; -1 when it runs out of the pool.
int32_t terminated(const uint8_t* pool, int32_t length, int32_t offset)
{
    for (int32_t i = offset; i < length; ++i)
        if (pool[i] == 0)
            return i - offset;
    return -1;
}

// The exact spelling, case-folded, is the word's key: otherwise the bytes
// after the spoken form are another word's entry.
bool spells(const MWL1* l, const uint8_t* key, const uint8_t* exact, int32_t bytes)
{
    uint8_t* folded = static_cast<uint8_t*>(DVKMem_Malloc(static_cast<uint32_t>(bytes) * 2 + 1));
    if (folded == nullptr)
        return false;
    MWLCode_ConvertToInternalE(folded, exact, 1, l->surfaceEncoding == 1 ? 2 : l->surfaceEncoding,
                               &l->surfaceState, nullptr);
    const bool same = std::strcmp(reinterpret_cast<const char*>(folded),
                                  reinterpret_cast<const char*>(key)) == 0;
    DVKMem_Free(folded);
    return same;
}

// Characters the text decodes to, measured the way the forms are given
// back (an invalid byte is a character of its own), into scratch of
// bytes + 1 units.
int32_t characters(const uint8_t* text, int32_t bytes, int32_t code, int32_t encoding,
                   const DVKSCSU* state, uint16_t* scratch)
{
    scratch[0] = 0;
    MWLCode_RestoreSpelling(scratch, text, bytes, code, encoding, state);
    int32_t n = 0;
    while (n <= bytes && scratch[n] != 0)
        ++n;
    return n;
}

// Every offset the lookups follow stays inside its pool, keys never
// decrease, and the header's maxima are raised to what the words hold.
bool measure(MWL1* l, uint16_t* scratch);

bool checkAndMeasure(MWL1* l)
{
    // Room for the longest text the pool can hold.
    uint16_t* scratch = static_cast<uint16_t*>(
        DVKMem_Malloc(static_cast<uint32_t>(l->textPoolLength + 1) * sizeof(uint16_t)));
    if (scratch == nullptr)
        return false;
    const bool ok = measure(l, scratch);
    DVKMem_Free(scratch);
    return ok;
}

bool measure(MWL1* l, uint16_t* scratch)
{
    const int32_t n = l->wordCount;
    if (n > 0 && (l->pronCounts == nullptr || l->pronStarts == nullptr ||
                  l->textOffsets == nullptr || l->textPool == nullptr))
        return false;
    if (l->genderLength > 0 && l->genders == nullptr)
        return false;
    if (l->spokenIndexFlag != 0 && l->spokenIndex == nullptr)
        return false;
    if (l->nameCount != l->maxMasterPhoneme + 1)
        return false;
    if (l->pronPoolLength > 0 && l->pronPool == nullptr)
        return false;
    const uint8_t* previous = nullptr;
    for (int32_t id = 0; id < n; ++id) {
        const int32_t at = l->textOffsets[id];
        const int32_t keyBytes = terminated(l->textPool, l->textPoolLength, at);
        if (keyBytes < 0)
            return false;
        const uint8_t* key = l->textPool + at;
        if (previous != nullptr && std::strcmp(reinterpret_cast<const char*>(previous),
                                               reinterpret_cast<const char*>(key)) > 0)
            return false;
        previous = key;
        const int32_t spokenAt = at + keyBytes + 1;
        const int32_t spokenBytes = terminated(l->textPool, l->textPoolLength, spokenAt);
        if (spokenBytes < 0)
            return false;
        const int32_t code = l->codes != nullptr ? l->codes[id] : kMWLCodeNoUpper;
        int32_t surfaceBytes = keyBytes;
        if (code == kMWLCodeExact) {
            const int32_t exactAt = spokenAt + spokenBytes + 1;
            surfaceBytes = terminated(l->textPool, l->textPoolLength, exactAt);
            if (surfaceBytes < 0 || !spells(l, key, l->textPool + exactAt, surfaceBytes))
                return false;
        }
        const uint8_t* written = code == kMWLCodeExact ? l->textPool + spokenAt + spokenBytes + 1 : key;
        const int32_t restore = code == kMWLCodeExact || code == kMWLCodeCaseless ? kMWLCodeNoUpper : code;
        const int32_t surface = characters(written, surfaceBytes, restore, l->surfaceEncoding,
                                           &l->surfaceState, scratch);
        const int32_t spoken = characters(l->textPool + spokenAt, spokenBytes, kMWLCodeNoUpper,
                                          l->spokenEncoding, &l->spokenState, scratch);
        if (surface > l->maxSurface)
            l->maxSurface = surface;
        if (spoken > l->maxSpoken)
            l->maxSpoken = spoken;
        const int32_t count = l->pronCounts[id];
        if (count > l->maxProns)
            l->maxProns = count;
        int32_t p = l->pronStarts[id];
        for (int32_t k = 0; k < count; ++k) {
            int32_t length = 0;
            while (p < l->pronPoolLength && l->pronPool[p] != kMWLPronEnd) {
                ++p;
                ++length;
            }
            if (p >= l->pronPoolLength)
                return false;
            ++p;
            // The marker goes back into a single pron.
            const int32_t master = length + (count == 1 && l->marker != 0xFFFF &&
                                             l->markerPositions != nullptr &&
                                             l->markerPositions[id] != kMWLNoMarker);
            if (master > l->maxMaster)
                l->maxMaster = master;
            const int32_t recog = l->rules == nullptr
                                      ? length
                                      : MWLUtil_GetRecogPronLength(l->rules, l->maxMasterPhoneme,
                                                                   nullptr, nullptr, 0,
                                                                   l->pronPool + (p - length - 1));
            if (recog > l->maxRecog)
                l->maxRecog = recog;
        }
    }
    for (int32_t k = 0; l->spokenIndex != nullptr && k < l->spokenIndexLength; ++k) {
        if (l->spokenIndex[k] >= static_cast<uint32_t>(n))
            return false;
        if (k > 0) {
            const uint8_t* a = l->textPool + l->textOffsets[l->spokenIndex[k - 1]];
            const uint8_t* b = l->textPool + l->textOffsets[l->spokenIndex[k]];
            a += std::strlen(reinterpret_cast<const char*>(a)) + 1;
            b += std::strlen(reinterpret_cast<const char*>(b)) + 1;
            if (std::strcmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b)) > 0)
                return false;
        }
    }
    return true;
}

bool readRecords(MWL1* l, BinFileReader* r)
{
    if (!readInt(r, &l->pronPoolLength) || !readInt(r, &l->textPoolLength) ||
        !readInt(r, &l->spokenIndexLength) || !readU16(r, &l->maxMasterPhoneme) ||
        !readU16(r, &l->maxRecogPhoneme) || !readU16(r, &l->unigramScore) ||
        !readU16(r, &l->classId) || !readInt(r, &l->attributes) || !readInt(r, &l->wordCount) ||
        !readInt(r, &l->headerMaxSurface) || !readInt(r, &l->headerMaxSpoken) ||
        !readInt(r, &l->headerMaxRecog) || !readInt(r, &l->headerMaxMaster) ||
        !readInt(r, &l->headerMaxProns) || !readInt(r, &l->surfaceEncoding) ||
        !readInt(r, &l->spokenEncoding))
        return false;
    if (l->pronPoolLength < 0 || l->textPoolLength < 0 || l->spokenIndexLength < 0 ||
        l->wordCount < 0 || l->pronPoolLength > kMWL1MostPoolUnits ||
        l->textPoolLength > kMWL1MostPoolUnits || l->spokenIndexLength > l->wordCount)
        return false;
    // No text of a list in another encoding can be keyed.
    for (int32_t e : {l->surfaceEncoding, l->spokenEncoding})
        if (e < 1 || e > 5)
            return false;
    std::memset(l->language, 0, sizeof l->language);
    if (BinFileReader_ReadArray(r, l->language, 1, 8) != 1)
        return false;
    l->nonCJK = Language_IsNonCJKLanguage(l->language) ? 1 : 0;
    MWLShared_SurfaceCoder(l->language, &l->surfaceState);
    if (!readInt(r, &l->tokenizeType) || !readU16(r, &l->boundaryPhoneme) ||
        !readU32(r, &l->recogSetCRC) || !readU32(r, &l->masterSetCRC) ||
        !readU32(r, &l->semanticSetCRC) || !readU32(r, &l->clingSetCRC) ||
        !readU32(r, &l->staticCRC))
        return false;
    if (BinFileReader_ReadAndAllocateStringArray(r, &l->names, &l->nameCount) != 1)
        return false;
    if (!readInt(r, &l->genderLength) || l->genderLength < 0 || !readU16(r, &l->marker))
        return false;
    const int32_t n = l->wordCount;
    if (l->marker != 0xFFFF && !readArray(r, &l->markerPositions, n))
        return false;
    if (!readArray(r, &l->pronCounts, n) || !readArray(r, &l->pronStarts, n))
        return false;
    if (n > 0 && l->nonCJK && !readArray(r, &l->codes, n))
        return false;
    if (l->pronPoolLength > 0 && !readArray(r, &l->pronPool, l->pronPoolLength))
        return false;
    if (!readArray(r, &l->textOffsets, n) || !readArray(r, &l->textPool, l->textPoolLength))
        return false;
    if (!readInt(r, &l->spokenIndexFlag))
        return false;
    if (l->spokenIndexFlag != 0 && !readArray(r, &l->spokenIndex, l->spokenIndexLength + 1))
        return false;
    int32_t rewrite = 0;
    if (!readInt(r, &rewrite))
        return false;
    if (rewrite != 0) {
        l->rules = PhoneRewrite_Read(r);
        if (l->rules == nullptr)
            return false;
    }
    return readArray(r, &l->genders, l->genderLength);
}

} // namespace

MWL* MWL1_CreateFromBinFile(DVKTar* tar, const char* prefix, const PG* generator,
                            const POS* posModel)
{
    BinFileReader* reader = BinFileReader_Create(tar, kMWLSubFileTag, prefix);
    if (reader == nullptr)
        return nullptr;
    MWL1* l = static_cast<MWL1*>(DVKMem_Calloc(sizeof(MWL1)));
    if (l == nullptr) {
        BinFileReader_Delete(reader);
        return nullptr;
    }
    l->base.ops = sMasterWordList1Base;
    l->ownsArrays = 1;
    l->generator = generator;
    l->posModel = posModel;
    const bool read = readRecords(l, reader);
    BinFileReader_Delete(reader);
    if (!read) {
        MWL_Delete(&l->base);
        return nullptr;
    }
    l->maxSurface = l->headerMaxSurface;
    l->maxSpoken = l->headerMaxSpoken;
    l->maxRecog = l->headerMaxRecog;
    l->maxMaster = l->headerMaxMaster;
    l->maxProns = l->headerMaxProns;
    l->wordCountCopy = l->wordCount;
    if (!checkAndMeasure(l)) {
        MWL_Delete(&l->base);
        return nullptr;
    }
    l->loadMax[0] = l->maxSurface;
    l->loadMax[1] = l->maxSpoken;
    l->loadMax[2] = l->maxRecog;
    l->loadMax[3] = l->maxMaster;
    l->dynamic = MWLDynamic_Create(l->wordCount, l->maxProns, l->maxRecogPhoneme,
                                   l->maxMasterPhoneme, l->rules, l->nonCJK, l->surfaceEncoding,
                                   l->language, generator, l->marker, l->staticCRC);
    if (l->dynamic == nullptr) {
        MWL_Delete(&l->base);
        return nullptr;
    }
    return &l->base;
}
