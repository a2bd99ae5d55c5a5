#include "core/brevit/lexicon/mwl_compress.h"
#include "core/brevit/lexicon/mwl_compress_record.h"
#include "core/brevit/lexicon/mwl_shared.h"
#include "core/brevit/lexicon/mwl1.h"
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_language.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cstring>

namespace {

bool readInt(BinFileReader* r, int32_t* v) { return BinFileReader_ReadInt(r, v) == 1; }
bool readU32(BinFileReader* r, uint32_t* v) { return BinFileReader_ReadUnsignedInt(r, v) == 1; }
bool readU16(BinFileReader* r, uint16_t* v) { return BinFileReader_ReadUnsignedShort(r, v) == 1; }

// An array that is either absent (empty) or of exactly count elements;
// count below 0 takes any length and gives it in *length.
template <typename T>
bool readArray(BinFileReader* r, T** array, int32_t count, int32_t* length = nullptr)
{
    void* a = nullptr;
    uint32_t n = 0;
    if (BinFileReader_AllocateAndReadArray(r, sizeof(T), &a, &n) != 1)
        return false;
    if (n != 0 && count >= 0 && n != static_cast<uint32_t>(count)) {
        DVKMem_Free(a);
        return false;
    }
    *array = static_cast<T*>(a);
    if (length != nullptr)
        *length = static_cast<int32_t>(n);
    return true;
}

bool inRange(int32_t v, int32_t low, int32_t high) { return v >= low && v <= high; }

bool readHeader(MWLCompressStatic* s, BinFileReader* r)
{
    if (!readInt(r, &s->wordCount) || !readInt(r, &s->classWidth) || !readInt(r, &s->posWidth) ||
        !readInt(r, &s->affixWidth) || !readInt(r, &s->semanticWidth) ||
        !readArray(r, &s->wordClasses, 256) || !readArray(r, &s->pronClasses, 256) ||
        !readInt(r, &s->offsetCount))
        return false;
    for (int32_t* v : {&s->maxSurface, &s->maxSpoken, &s->maxMaster, &s->maxRecog, &s->classBase,
                       &s->classDefault, &s->unigramBase, &s->unigramDefault, &s->posBase,
                       &s->affixBase, &s->semanticBase, &s->maxProns, &s->phonemeEnd,
                       &s->blockShift})
        if (!readInt(r, v))
            return false;
    if (!readU16(r, &s->maxRecogPhoneme) || !readInt(r, &s->phonemeWidth) ||
        !readU16(r, &s->boundaryPhoneme) || !readU16(r, &s->maxMasterPhoneme) ||
        !readU16(r, &s->marker) || !readInt(r, &s->spokenIndexLength))
        return false;
    for (uint32_t* v : {&s->recogSetCRC, &s->masterSetCRC, &s->semanticSetCRC, &s->clingSetCRC,
                        &s->staticCRC})
        if (!readU32(r, v))
            return false;
    if (!readInt(r, &s->surfaceEncoding) || !readInt(r, &s->spokenEncoding))
        return false;
    int32_t first = 0, window = 0;
    if (!readInt(r, &first) || !readInt(r, &window))
        return false;
    s->spokenState.defaultWindow = static_cast<uint32_t>(first);
    s->spokenState.currentWindow = static_cast<uint32_t>(window);
    for (uint32_t& o : s->spokenState.windowOffsets) {
        int32_t v = 0;
        if (!readInt(r, &v))
            return false;
        o = static_cast<uint32_t>(v);
    }
    std::memset(s->language, 0, sizeof s->language);
    if (BinFileReader_ReadArray(r, s->language, 1, 8) != 1)
        return false;
    s->nonCJK = Language_IsNonCJKLanguage(s->language) ? 1 : 0;
    return readInt(r, &s->tokenizeType) && readInt(r, &s->genderLength);
}

// The sizes every lookup and every caller's buffer rely on.
bool headerSound(const MWLCompressStatic* s)
{
    const int64_t n = s->wordCount;
    const int32_t k = s->offsetCount;
    if (n < 0 || k < 0 || !inRange(s->blockShift, 0, kMWLCompressMostShift))
        return false;
    if (n > 0) {
        if (k < 1)
            return false;
        const int64_t block = int64_t{1} << s->blockShift;
        if (!(n > (k - 2) * block && n <= (k - 1) * block))
            return false;
    } else if (k > 1) {
        return false;
    }
    if (!inRange(s->classWidth, 0, 4) || !inRange(s->affixWidth, 0, 4) ||
        !inRange(s->semanticWidth, 0, 4) || !inRange(s->posWidth, 0, 2) ||
        !inRange(s->phonemeWidth, 1, 2) || s->phonemeEnd < 1 ||
        s->phonemeEnd > (s->phonemeWidth == 1 ? 255 : 65535))
        return false;
    for (int32_t e : {s->surfaceEncoding, s->spokenEncoding})
        if (e < 1 || e > 5)
            return false;
    if (s->spokenState.currentWindow > 7 || s->genderLength < 0 || s->spokenIndexLength < 0 ||
        s->spokenIndexLength > s->wordCount)
        return false;
    for (int32_t v : {s->maxSurface, s->maxSpoken, s->maxMaster, s->maxRecog, s->maxProns})
        if (v < 0 || v > 65535)
            return false;
    return true;
}

// Offsets of a code book ascend inside its bytes; every code of the class
// table has its string.
bool bookSound(const uint8_t* classes, const uint16_t* offsets, int32_t length)
{
    bool coded = false;
    for (int32_t b = 0; b < 256; ++b)
        coded = coded || classes[b] == 2;
    if (!coded)
        return true;
    if (offsets == nullptr || offsets[256] != length)
        return false;
    for (int32_t b = 0; b < 256; ++b)
        if (offsets[b] > offsets[b + 1])
            return false;
    return true;
}

bool readBody(MWLCompressStatic* s, BinFileReader* r)
{
    const int32_t k = s->offsetCount;
    int32_t streamLength = 0;
    if (!readArray(r, &s->blockOffsets, k) || !readArray(r, &s->stream, -1, &streamLength) ||
        !readArray(r, &s->bookWOffsets, 257) || !readArray(r, &s->bookW, -1, &s->bookWLength) ||
        !readArray(r, &s->bookPOffsets, 257) || !readArray(r, &s->bookP, -1, &s->bookPLength) ||
        !readInt(r, &s->rewriteFlag))
        return false;
    if (s->rewriteFlag != 0) {
        s->rules = PhoneRewrite_Read(r);
        if (s->rules == nullptr)
            return false;
    }
    if (!readArray(r, &s->genders, s->genderLength) ||
        BinFileReader_ReadAndAllocateStringArray(r, &s->names, &s->nameCount) != 1 ||
        !readInt(r, &s->spokenIndexFlag))
        return false;
    if (s->spokenIndexFlag != 0 && !readArray(r, &s->spokenIndex, s->spokenIndexLength + 1))
        return false;
    // Block offsets ascend inside the stream and the last is its length.
    if (k > 0) {
        if (s->blockOffsets == nullptr || s->blockOffsets[k - 1] != static_cast<uint32_t>(streamLength))
            return false;
        for (int32_t b = 1; b < k; ++b)
            if (s->blockOffsets[b - 1] > s->blockOffsets[b])
                return false;
    } else if (streamLength != 0) {
        return false;
    }
    if (s->wordClasses == nullptr || s->pronClasses == nullptr ||
        !bookSound(s->wordClasses, s->bookWOffsets, s->bookWLength) ||
        !bookSound(s->pronClasses, s->bookPOffsets, s->bookPLength))
        return false;
    if (s->nameCount != s->maxMasterPhoneme + 1 || (s->genderLength > 0 && s->genders == nullptr))
        return false;
    if (s->spokenIndexFlag != 0) {
        if (s->spokenIndex == nullptr && s->spokenIndexLength + 1 > 0 && s->wordCount > 0)
            return false;
        for (int32_t i = 0; s->spokenIndex != nullptr && i < s->spokenIndexLength; ++i)
            if (s->spokenIndex[i] >= static_cast<uint32_t>(s->wordCount))
                return false;
    }
    return true;
}

} // namespace

void MWLCompress_DeleteStatic(MWLCompressStatic* s)
{
    if (s == nullptr)
        return;
    if (s->names != nullptr) {
        for (int32_t i = 0; i < s->nameCount; ++i)
            DVKMem_Free(s->names[i]);
        DVKMem_Free(s->names);
    }
    DVKMem_Free(s->wordClasses);
    DVKMem_Free(s->pronClasses);
    DVKMem_Free(s->stream);
    DVKMem_Free(s->blockOffsets);
    DVKMem_Free(s->bookWOffsets);
    DVKMem_Free(s->bookW);
    DVKMem_Free(s->bookPOffsets);
    DVKMem_Free(s->bookP);
    if (s->rules != nullptr)
        PhoneRewrite_Delete(s->rules);
    DVKMem_Free(s->spokenIndex);
    DVKMem_Free(s->genders);
    DVKMem_Free(s);
}

MWL* MWLCompress_CreateFromBinFile(DVKTar* tar, const char* prefix, const PG* generator,
                                   const POS* posModel)
{
    BinFileReader* reader = BinFileReader_Create(tar, kMWLSubFileTag, prefix);
    if (reader == nullptr)
        return nullptr;
    MWLCompressStatic* s = static_cast<MWLCompressStatic*>(DVKMem_Calloc(sizeof(MWLCompressStatic)));
    if (s == nullptr) {
        BinFileReader_Delete(reader);
        return nullptr;
    }
    const bool read = readHeader(s, reader) && headerSound(s) && readBody(s, reader);
    BinFileReader_Delete(reader);
    s->owner = 1;
    MWLCompress* l = nullptr;
    if (read)
        l = static_cast<MWLCompress*>(DVKMem_Calloc(sizeof(MWLCompress)));
    if (l == nullptr) {
        MWLCompress_DeleteStatic(s);
        return nullptr;
    }
    l->base.ops = sMasterWordListCompressBase;
    l->s = s;
    l->generator = generator;
    l->posModel = posModel;
    l->maxSurface = s->maxSurface;
    l->maxSpoken = s->maxSpoken;
    l->maxRecog = s->maxRecog;
    l->maxMaster = s->maxMaster;
    MWLShared_SurfaceCoder(s->language, &l->surfaceState);
    if (!MWLCompress_CheckAndMeasure(l)) {
        MWL_Delete(&l->base);
        return nullptr;
    }
    l->dynamic = MWLDynamic_Create(s->wordCount, s->maxProns, s->maxRecogPhoneme, s->maxMasterPhoneme,
                                   s->rules, s->nonCJK, s->surfaceEncoding, s->language, generator,
                                   s->marker, s->staticCRC);
    if (l->dynamic == nullptr) {
        MWL_Delete(&l->base);
        return nullptr;
    }
    return &l->base;
}
