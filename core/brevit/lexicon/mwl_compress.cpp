#include "core/brevit/lexicon/mwl_compress.h"
#include "core/brevit/lexicon/mwl_code.h"
#include "core/brevit/lexicon/mwl_compress_record.h"
#include "core/brevit/lexicon/mwl_shared.h"
#include "core/brevit/lexicon/mwl_util.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_str.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const MWLCompress* of(const MWL* l) { return reinterpret_cast<const MWLCompress*>(l); }
MWLCompress* of(MWL* l) { return reinterpret_cast<MWLCompress*>(l); }

bool isStatic(const MWLCompress* l, uint32_t id) { return id < static_cast<uint32_t>(l->s->wordCount); }

int32_t encodingForLookup(int32_t e) { return MWLShared_EncodingForLookup(e); }

// Text to the list's bytes, without terminator; false when a character has
// no form there.
bool encode(std::vector<uint8_t>& out, const uint16_t* text, int32_t lower, int32_t encoding,
            const DVKSCSU* state, int32_t* prefix = nullptr)
{
    const bool ok = MWLShared_Encode(out, text, lower, encoding, state, prefix);
    out.resize(std::strlen(reinterpret_cast<const char*>(out.data())));
    return ok;
}

bool beginsWith(const std::vector<uint8_t>& word, const std::vector<uint8_t>& key)
{
    return word.size() >= key.size() && std::equal(key.begin(), key.end(), word.begin());
}

// A key hit checked for case: code 16 words by their exact spelling, a
// code-16 text by nothing else, otherwise the codes share a bit.
bool caseMatches(const MWLCompressRecord& r, int32_t textCode, const std::vector<uint8_t>& exact)
{
    if (r.code == kMWLCodeExact)
        return r.exact == exact;
    if (textCode == kMWLCodeExact)
        return false;
    return (r.code & textCode) != 0;
}

// The scan from the candidate block: calls hit for every record whose key
// equals the key (prefix mode: begins with it) until it answers false or a
// greater key ends the scan.
template <typename Hit>
void scanForKey(const MWLCompressStatic* s, const std::vector<uint8_t>& key, bool prefix, Hit hit)
{
    if (s->wordCount == 0)
        return;
    for (uint8_t b : key)
        if (b < 32)
            return;
    MWLCompressWalk w;
    MWLCompress_StartWalk(s, MWLCompress_FindBlock(s, key.data(), static_cast<int32_t>(key.size())), &w);
    MWLCompressRecord r;
    uint32_t id = 0;
    while (MWLCompress_Next(&w, &r, &id)) {
        const bool found = prefix ? beginsWith(r.key, key) : r.key == key;
        if (found) {
            if (!hit(id, r))
                return;
            continue;
        }
        if (!(r.key < key))
            return;
    }
}

void deleteList(MWL* list)
{
    MWLCompress* l = of(list);
    if (l->s != nullptr && l->s->owner)
        MWLCompress_DeleteStatic(l->s);
    if (l->dynamic != nullptr)
        MWLDynamic_Delete(l->dynamic);
    DVKMem_Free(l);
}

int32_t getEncoding(const MWL* l) { return of(l)->s->surfaceEncoding; }
const char* getLanguage(const MWL* l) { return of(l)->s->language; }
int32_t getTokenizeType(const MWL* l) { return of(l)->s->tokenizeType; }

uint32_t getId(const MWL* list, const uint16_t* surface, const uint16_t* spoken, int32_t staticOnly)
{
    const MWLCompress* l = of(list);
    const MWLCompressStatic* s = l->s;
    std::vector<uint8_t> key, exact, said;
    uint32_t found = kMWLNoWord;
    if (s->wordCount > 0 && encode(key, surface, s->nonCJK, s->surfaceEncoding, &l->surfaceState) &&
        encode(exact, surface, 0, s->surfaceEncoding, &l->surfaceState) &&
        encode(said, spoken, 0, s->spokenEncoding, &s->spokenState)) {
        const int32_t textCode = s->nonCJK ? MWLCode_GetCode(surface) : kMWLCodeCaseless;
        scanForKey(s, key, false, [&](uint32_t id, const MWLCompressRecord& r) {
            if (caseMatches(r, textCode, exact) && r.spoken == said) {
                found = id;
                return false;
            }
            return true;
        });
    }
    if (found != kMWLNoWord || staticOnly)
        return found;
    return MWLDynamic_GetId(l->dynamic, surface, spoken);
}

int32_t getIdsFromSpoken(const MWL* list, const uint16_t* spoken, uint32_t* ids, int32_t capacity,
                         int32_t countAll)
{
    const MWLCompress* l = of(list);
    const MWLCompressStatic* s = l->s;
    if (capacity == 0 && countAll == 0)
        return 0;
    std::vector<uint8_t> said;
    if (!encode(said, spoken, 0, s->spokenEncoding, &s->spokenState))
        return MWLDynamic_GetIdsFromSpoken(l->dynamic, spoken, ids, capacity, countAll);
    int32_t count = 0;
    auto take = [&](uint32_t id) {
        if (count < capacity)
            ids[count] = id;
        ++count;
    };
    MWLCompressRecord r;
    if (s->spokenIndex != nullptr) {
        auto spokenOf = [&](int32_t k) {
            MWLCompress_LocateWord(s, s->spokenIndex[k], &r);
            return r.spoken;
        };
        int32_t low = 0, high = s->spokenIndexLength;
        while (low < high) {
            const int32_t mid = (low + high) / 2;
            if (spokenOf(mid) < said)
                low = mid + 1;
            else
                high = mid;
        }
        for (int32_t k = low; k < s->spokenIndexLength && spokenOf(k) == said && (countAll || count < capacity); ++k)
            take(s->spokenIndex[k]);
    } else {
        MWLCompressWalk w;
        MWLCompress_StartWalk(s, 0, &w);
        uint32_t id = 0;
        while ((countAll || count < capacity) && MWLCompress_Next(&w, &r, &id))
            if (r.spoken == said)
                take(id);
    }
    if (count < capacity || countAll) {
        const int32_t room = capacity - count > 0 ? capacity - count : 0;
        count += MWLDynamic_GetIdsFromSpoken(l->dynamic, spoken, ids + (count < capacity ? count : capacity),
                                             room, countAll);
    }
    return count;
}

uint32_t getNextDynamicId(const MWL* l, uint32_t* cursor) { return MWLDynamic_GetNextDynamicId(of(l)->dynamic, cursor); }
int32_t getMaxSurface(const MWL* l) { return of(l)->maxSurface; }
int32_t getMaxSpoken(const MWL* l) { return of(l)->maxSpoken; }

// The surface form restored as the plain store does.
void restoreSurface(const MWLCompress* l, const MWLCompressRecord& r, uint16_t* surface)
{
    const std::vector<uint8_t>& text = r.code == kMWLCodeExact ? r.exact : r.key;
    const int32_t restore = (r.code == kMWLCodeExact || r.code == kMWLCodeCaseless) ? kMWLCodeNoUpper : r.code;
    MWLCode_RestoreSpelling(surface, text.data(), static_cast<int32_t>(text.size()), restore,
                            l->s->surfaceEncoding, &l->surfaceState);
}

void restoreSpoken(const MWLCompress* l, const MWLCompressRecord& r, uint16_t* spoken)
{
    MWLCode_RestoreSpelling(spoken, r.spoken.data(), static_cast<int32_t>(r.spoken.size()), kMWLCodeNoUpper,
                            l->s->spokenEncoding, &l->s->spokenState);
}

int32_t getForms(const MWL* list, uint32_t id, uint16_t* surface, uint16_t* spoken)
{
    const MWLCompress* l = of(list);
    if (!isStatic(l, id))
        return MWLDynamic_GetSurfaceAndSpokenForms(l->dynamic, id, surface, nullptr, spoken);
    MWLCompressRecord r;
    if (!MWLCompress_LocateWord(l->s, id, &r))
        return 0;
    if (surface != nullptr)
        restoreSurface(l, r, surface);
    if (spoken != nullptr)
        restoreSpoken(l, r, spoken);
    return 1;
}

void getOrthographies(const MWL* l, const uint32_t* ids, int32_t count, uint16_t* const* surfaces,
                      uint16_t* const* spokens)
{
    for (int32_t k = 0; k < count; ++k)
        getForms(l, ids[k], surfaces[k], spokens != nullptr ? spokens[k] : nullptr);
}

int32_t findMatches(const MWLCompress* l, int32_t caseFlag, int32_t exactLength, const uint16_t* text,
                    uint32_t* ids, int32_t capacity, int32_t stop, int32_t staticOnly)
{
    const MWLCompressStatic* s = l->s;
    std::vector<uint8_t> key, exact;
    if (!encode(key, text, s->nonCJK, s->surfaceEncoding, &l->surfaceState) ||
        !encode(exact, text, 0, s->surfaceEncoding, &l->surfaceState)) {
        if (staticOnly)
            return 0;
        return MWLDynamic_GetMatches(l->dynamic, text, caseFlag ? MWLCode_GetCode(text) : 0, ids, capacity, stop);
    }
    if (!s->nonCJK)
        caseFlag = 0;
    const int32_t textCode = s->nonCJK ? MWLCode_GetCode(text) : kMWLCodeCaseless;
    int32_t count = 0;
    bool full = false;
    scanForKey(s, key, true, [&](uint32_t id, const MWLCompressRecord& r) {
        if (exactLength && r.key.size() != key.size())
            return true;
        if (caseFlag) {
            // The plain store's rule, over the rebuilt key and exact spelling.
            std::vector<uint8_t> word = r.key, spelled = r.exact;
            word.push_back(0);
            spelled.push_back(0);
            if (!MWLCode_MatchesSpelling(text, textCode, word.data(), r.code,
                                         r.code == kMWLCodeExact ? spelled.data() : nullptr,
                                         encodingForLookup(s->surfaceEncoding), &l->surfaceState))
                return true;
        }
        if (count < capacity)
            ids[count] = id;
        ++count;
        if (stop && count >= capacity) {
            full = true;
            return false;
        }
        return true;
    });
    if (!staticOnly && !full && !(stop && count >= capacity)) {
        const int32_t room = capacity - count > 0 ? capacity - count : 0;
        count += MWLDynamic_GetMatches(l->dynamic, text, caseFlag ? textCode : 0,
                                       ids != nullptr ? ids + (count < capacity ? count : capacity) : nullptr,
                                       room, stop);
    }
    return count;
}

int32_t getNumMatches(const MWL* l, int32_t caseFlag, int32_t exact, const uint16_t* text)
{
    return findMatches(of(l), caseFlag, exact, text, nullptr, 0, 0, 0);
}

int32_t getMatches(const MWL* l, int32_t caseFlag, int32_t exact, const uint16_t* text, uint32_t* ids,
                   int32_t capacity, int32_t staticOnly)
{
    return findMatches(of(l), caseFlag, exact, text, ids, capacity, 1, staticOnly);
}

// Words that begin the text and are at least minLength characters long:
// decoded from the block the first minLength characters' key falls in, a
// record compared on its own length with the text's key; the first greater
// one ends the scan (no later key can be a prefix of the text).
int32_t getMatchesAtStart(const MWL* list, int32_t caseFlag, int32_t minLength, const uint16_t* text,
                          uint32_t* ids, int32_t capacity, int32_t staticOnly)
{
    const MWLCompress* l = of(list);
    const MWLCompressStatic* s = l->s;
    std::vector<uint8_t> key, exact;
    int32_t prefixBytes = minLength;
    if (!encode(key, text, s->nonCJK, s->surfaceEncoding, &l->surfaceState, &prefixBytes) ||
        !encode(exact, text, 0, s->surfaceEncoding, &l->surfaceState))
        return MWLDynamic_GetMatchesAtStart(l->dynamic, text, minLength, ids, capacity);
    const int32_t textCode = s->nonCJK ? MWLCode_GetCode(text) : kMWLCodeCaseless;
    int32_t count = 0;
    if (s->wordCount > 0 && count < capacity) {
        MWLCompressWalk w;
        MWLCompress_StartWalk(s, MWLCompress_FindBlock(s, key.data(), prefixBytes), &w);
        MWLCompressRecord r;
        uint32_t id = 0;
        while (count < capacity && MWLCompress_Next(&w, &r, &id)) {
            const size_t n = r.key.size();
            int c = 0;
            for (size_t i = 0; i < n && c == 0; ++i)
                c = i >= key.size() ? 1 : static_cast<int>(r.key[i]) - static_cast<int>(key[i]);
            if (c > 0)
                break;
            if (c < 0 || static_cast<int32_t>(n) < prefixBytes)
                continue;
            if (!caseFlag || !s->nonCJK ||
                MWLShared_MatchesAtStart(r.code, r.exact.data(), r.exact.size(), n, textCode, exact,
                                         s->surfaceEncoding))
                ids[count++] = id;
        }
    }
    if (!staticOnly && count < capacity)
        count += MWLDynamic_GetMatchesAtStart(l->dynamic, text, minLength, ids + count, capacity - count);
    return count;
}

// Per-word values: stored plus base, else base plus default.
int32_t value(const MWLCompress* l, uint32_t id, int32_t which)
{
    const MWLCompressStatic* s = l->s;
    static const int32_t kBits[5] = {kMWLCompressUnigram, kMWLCompressClass, kMWLCompressAttributes,
                                     kMWLCompressAffix, kMWLCompressSemantic};
    MWLCompressRecord r;
    if (!MWLCompress_LocateWord(s, id, &r))
        return -1;
    const bool present = (r.flags & kBits[which]) != 0;
    const uint32_t stored = r.raw[which];
    switch (which) {
    case 0:
        return static_cast<uint16_t>(static_cast<uint32_t>(s->unigramBase) +
                                     (present ? stored : static_cast<uint32_t>(s->unigramDefault)));
    case 1:
        return static_cast<uint16_t>(static_cast<uint32_t>(s->classBase) +
                                     (present ? stored : static_cast<uint32_t>(s->classDefault)));
    case 2:
        return present ? static_cast<int32_t>(stored) : -1;
    case 3:
        return static_cast<int32_t>(static_cast<uint32_t>(s->affixBase) + (present ? stored : 0));
    default:
        return static_cast<int32_t>(static_cast<uint32_t>(s->semanticBase) + (present ? stored : 0));
    }
}

int32_t getUnigramScore(const MWL* l, uint32_t id) { return isStatic(of(l), id) ? value(of(l), id, 0) : 32767; }
int32_t getClassId(const MWL* l, uint32_t id) { return isStatic(of(l), id) ? value(of(l), id, 1) : 65535; }
int32_t getAttributes(const MWL* l, uint32_t id) { return isStatic(of(l), id) ? value(of(l), id, 2) : -1; }

int32_t getAffixId(const MWL* l, uint32_t id)
{
    return isStatic(of(l), id) && of(l)->s->affixWidth > 0 ? value(of(l), id, 3) : -1;
}

int32_t getSemanticId(const MWL* l, uint32_t id)
{
    return isStatic(of(l), id) && of(l)->s->semanticWidth > 0 ? value(of(l), id, 4) : -1;
}

int32_t getWordTypeFlags(const MWL* list, uint32_t id)
{
    const MWLCompress* l = of(list);
    return isStatic(l, id) ? 0 : MWLDynamic_GetWordTypeFlags(l->dynamic, id);
}

int32_t getFreeRecog(MWL* l) { return MWLDynamic_GetFreeRecogPhonemeId(of(l)->dynamic); }
int32_t getMaxMaster(const MWL* l) { return of(l)->maxMaster; }
int32_t getMaxRecog(const MWL* l) { return of(l)->maxRecog; }
int32_t getMaxProns(const MWL* l) { return MWLDynamic_GetMaxNumPronunciations(of(l)->dynamic); }

// Word 707: a stored part-of-speech id as the callers' combined form.
int32_t mappedPos(const MWLCompress* l, int32_t v)
{
    if (v < 0 || BrevitParam_Word(kBrevitParamPosIdMapping) == 0)
        return v;
    const int64_t mapped = static_cast<int64_t>(v >> 8) * (l->s->maxMasterPhoneme + 1) + (v & 0xFF);
    return static_cast<int32_t>(mapped);
}

} // namespace

// A static word's prons into buffers (each slot 21 + 1 long): the count,
// with capacity 0 the count without writing. posIds may be null.
int32_t MWLCompress_GetStaticMasterPronunciations(const MWLCompress* l, uint32_t id, int32_t capacity,
                                                  uint16_t* const* prons, int32_t* posIds)
{
    const MWLCompressStatic* s = l->s;
    MWLCompressRecord r;
    if (!MWLCompress_LocateWord(s, id, &r))
        return 0;
    const bool marker = s->marker != 0xFFFF && r.markerPosition != kMWLNoMarker;
    if (r.flags & kMWLCompressProns) {
        for (int32_t k = 0; k < r.stored && k < capacity; ++k) {
            const MWLCompressPron& p = r.prons[static_cast<size_t>(k)];
            std::copy(p.phonemes.begin(), p.phonemes.end(), prons[k]);
            prons[k][p.phonemes.size()] = kMWLPronEnd;
            if (posIds != nullptr)
                posIds[k] = mappedPos(l, p.posId);
            if (marker)
                MWLUtil_InsertMarkerPhoneme(prons[k], r.markerPosition, s->marker);
        }
        return r.stored;
    }
    if (capacity == 0)
        return 1;
    if (posIds != nullptr)
        posIds[0] = mappedPos(l, r.prons[0].posId);
    prons[0][0] = kMWLPronEnd;
    if (l->generator == nullptr)
        return 0;
    // The spoken form when there is one, else the restored surface form.
    std::vector<uint16_t> text(r.key.size() + r.exact.size() + r.spoken.size() + 2, 0);
    if (r.flags & kMWLCompressSpoken)
        restoreSpoken(l, r, text.data());
    else
        restoreSurface(l, r, text.data());
    const int32_t room = l->maxMaster + 1 - (marker ? 1 : 0);
    int32_t score = 0, needed = 0;
    int32_t c = room > 1 ? PG_TextToMasterPron(l->generator, text.data(), s->language[0] == 'z' ? 1 : 0, prons[0],
                                               room, &score, 1, &needed)
                         : 0;
    if (c > 1)
        c = 1;
    if (c == 1 && marker)
        MWLUtil_InsertMarkerPhoneme(prons[0], r.markerPosition, s->marker);
    return c;
}

namespace {

int32_t getMasterProns(const MWL* list, uint32_t id, int32_t capacity, uint16_t* const* prons, int32_t* posIds)
{
    const MWLCompress* l = of(list);
    int32_t count = 0;
    if (isStatic(l, id))
        count = MWLCompress_GetStaticMasterPronunciations(l, id, capacity, prons, posIds);
    const int32_t written = count < capacity ? count : capacity;
    const int32_t room = capacity - written;
    int32_t added = 0;
    if (room > 0 || !isStatic(l, id))
        added = MWLDynamic_GetMasterPronunciations(l->dynamic, id, prons + written, room, l->maxMaster + 1);
    if (posIds != nullptr)
        for (int32_t k = written; k < written + added && k < capacity; ++k)
            posIds[k] = -1;
    return count + added;
}

int32_t getTTSPosIds(const MWL* list, uint32_t id, int32_t capacity, int32_t* posIds, int32_t* pronIndices,
                     int32_t* count)
{
    const MWLCompress* l = of(list);
    int32_t n = 0, total = 0;
    if (isStatic(l, id)) {
        MWLCompressRecord r;
        if (MWLCompress_LocateWord(l->s, id, &r)) {
            const bool generated = !(r.flags & kMWLCompressProns);
            for (int32_t k = 0; k < static_cast<int32_t>(r.prons.size()); ++k) {
                const MWLCompressPron& p = r.prons[static_cast<size_t>(k)];
                if (generated ? (l->s->posWidth == 0 || !p.synthesis) : !p.synthesis)
                    continue;
                if (n < capacity) {
                    posIds[n] = mappedPos(l, p.posId);
                    pronIndices[n] = k;
                    ++n;
                }
                ++total;
            }
        }
    } else {
        std::vector<uint16_t> one(static_cast<size_t>(l->maxMaster + 2));
        uint16_t* p = one.data();
        if (capacity > 0 && MWLDynamic_GetMasterPronunciations(l->dynamic, id, &p, 1, l->maxMaster + 1) > 0) {
            posIds[0] = -1;
            pronIndices[0] = 0;
            n = total = 1;
        }
    }
    *count = total;
    return n;
}

void getPosIdForPron(const MWL* list, uint32_t id, int32_t index, int32_t* pos)
{
    const MWLCompress* l = of(list);
    *pos = -1;
    MWLCompressRecord r;
    if (index < 0 || !isStatic(l, id) || !MWLCompress_LocateWord(l->s, id, &r))
        return;
    if (index < static_cast<int32_t>(r.prons.size()) && (r.flags & kMWLCompressProns || l->s->posWidth > 0))
        *pos = mappedPos(l, r.prons[static_cast<size_t>(index)].posId);
}

void markUsed(MWL* l, int32_t count, const uint32_t* ids) { MWLDynamic_MarkUsed(of(l)->dynamic, count, ids); }

int32_t getLeastRecentlyUnused(const MWL* l, int32_t mask, int32_t capacity, uint32_t* ids)
{
    return MWLDynamic_GetLeastRecentlyUnused(of(l)->dynamic, mask, capacity, ids);
}

int32_t removeWord(MWL* l, uint32_t id, int32_t* freed) { return MWLDynamic_RemoveWord(of(l)->dynamic, id, freed); }
const uint8_t* refCounts(const MWL* l) { return MWLDynamic_GetRecogPhonemeRefCounts(of(l)->dynamic); }

int32_t isWordRemovable(const MWL* list, uint32_t id)
{
    const MWLCompress* l = of(list);
    return isStatic(l, id) ? 0 : MWLDynamic_IsWordIdInUse(l->dynamic, id);
}

int32_t isWordIdInUse(const MWL* list, uint32_t id)
{
    const MWLCompress* l = of(list);
    return isStatic(l, id) ? 1 : MWLDynamic_IsWordIdInUse(l->dynamic, id);
}

uint32_t getNextMasterId(const MWL* list, uint32_t id)
{
    const MWLCompress* l = of(list);
    const uint32_t n = static_cast<uint32_t>(l->s->wordCount);
    if (id == kMWLNoWord && n > 0)
        return 0;
    if (id != kMWLNoWord && id + 1 < n)
        return id + 1;
    return MWLDynamic_GetNextMasterId(l->dynamic, id);
}

int32_t containsGender(const MWL* l) { return of(l)->s->genders != nullptr ? 1 : 0; }

uint32_t computeCRC(const MWL* list)
{
    const MWLCompress* l = of(list);
    uint32_t crc = l->s->staticCRC;
    for (int32_t v : {l->maxSurface, l->maxSpoken, l->maxRecog, l->maxMaster})
        crc = DVKCrc_AddInt(static_cast<uint32_t>(v), crc);
    return DVKCrc_AddInt(MWLDynamic_ComputeCRC(l->dynamic), crc);
}

uint32_t recogSetCRC(const MWL* l) { return of(l)->s->recogSetCRC; }
uint32_t masterSetCRC(const MWL* l) { return of(l)->s->masterSetCRC; }
uint32_t semanticSetCRC(const MWL* l) { return of(l)->s->semanticSetCRC; }
uint32_t clingSetCRC(const MWL* l) { return of(l)->s->clingSetCRC; }
int32_t boundary(const MWL* l) { return of(l)->s->boundaryPhoneme; }

int32_t maxMasterPhonemeId(const MWL* list)
{
    const MWLCompress* l = of(list);
    const int32_t highest = l->s->maxMasterPhoneme;
    const int32_t added = highest + MWLDynamic_GetHighestMasterSlot(l->dynamic);
    return added > highest ? added : highest;
}

const char* masterPhonemeName(const MWL* list, int32_t phoneme)
{
    const MWLCompressStatic* s = of(list)->s;
    if (phoneme < 0 || phoneme > s->maxMasterPhoneme || phoneme >= s->nameCount)
        return nullptr;
    return s->names[phoneme];
}

int32_t writePSA(const MWL* list, DVKTar* tar, const char* prefix)
{
    return MWLDynamic_WritePSAFile(of(list)->dynamic, tar, prefix);
}

int32_t readPSA(MWL* list, DVKTar* tar, const char* prefix)
{
    MWLCompress* l = of(list);
    if (MWLDynamic_ReadPSAFile(l->dynamic, tar, prefix) == 0)
        return 0;
    MWLDynamic_AfterRead(l->dynamic, &l->maxSurface, &l->maxSpoken, &l->maxMaster, &l->maxRecog);
    return 1;
}

void nothing(const MWL*) {}

} // namespace

uint32_t MWLCompress_ComputeStaticCRC(const MWLCompressStatic* s)
{
    const int32_t k = s->offsetCount;
    if (k == 0)
        return 0xFFFFFFFFu;
    uint32_t crc = 0xFFFFFFFFu;
    crc = DVKCrc_AddBytes(s->stream, static_cast<int32_t>(s->blockOffsets[k - 1]), crc);
    crc = DVKCrc_AddArray(s->blockOffsets, 4, k, crc);
    for (int32_t v : {s->wordCount, s->classWidth, s->posWidth, s->affixWidth, s->semanticWidth})
        crc = DVKCrc_AddInt(static_cast<uint32_t>(v), crc);
    if (s->wordCount > 0) {
        static const uint16_t kNone[257] = {0};
        crc = DVKCrc_AddArray((s->bookWOffsets != nullptr ? s->bookWOffsets : kNone) + 32, 2, 225, crc);
        crc = DVKCrc_AddBytes(s->bookW, s->bookWLength, crc);
        crc = DVKCrc_AddArray((s->bookPOffsets != nullptr ? s->bookPOffsets : kNone) + 32, 2, 225, crc);
        crc = DVKCrc_AddBytes(s->bookP, s->bookPLength, crc);
    }
    crc = DVKCrc_AddBytes(s->wordClasses, 256, crc);
    crc = DVKCrc_AddBytes(s->pronClasses, 256, crc);
    for (int32_t v : {s->offsetCount, s->maxSurface, s->maxSpoken, s->maxMaster, s->maxRecog, s->classBase,
                      s->classDefault, s->unigramBase, s->unigramDefault, s->posBase, s->affixBase,
                      s->semanticBase, s->maxProns, s->phonemeEnd, s->blockShift})
        crc = DVKCrc_AddInt(static_cast<uint32_t>(v), crc);
    crc = DVKCrc_AddShort(s->maxRecogPhoneme, crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(s->phonemeWidth), crc);
    crc = DVKCrc_AddShort(s->boundaryPhoneme, crc);
    if (s->rules != nullptr)
        crc = DVKCrc_AddInt(PhoneRewrite_ComputeCRC(s->rules), crc);
    crc = DVKCrc_AddShort(s->maxMasterPhoneme, crc);
    for (uint32_t v : {s->recogSetCRC, s->masterSetCRC, s->semanticSetCRC, s->clingSetCRC})
        crc = DVKCrc_AddInt(v, crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(s->surfaceEncoding), crc);
    crc = DVKCrc_AddBytes(s->language, DVKStr_Length(s->language) + 1, crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(s->nonCJK), crc);
    return DVKCrc_AddInt(static_cast<uint32_t>(s->tokenizeType), crc);
}

MWL* MWLCompress_Create(DVKTar* tar, const char* prefix, const PG* generator)
{
    return MWLCompress_CreateFromBinFile(tar, prefix, generator, nullptr);
}

namespace {

int32_t staticMasters(const MWL* list, uint32_t id, int32_t capacity, uint16_t* const* prons)
{
    return MWLCompress_GetStaticMasterPronunciations(of(list), id, capacity, prons, nullptr);
}

MWLShared sharedOf(const MWL* list)
{
    MWLCompress* l = const_cast<MWLCompress*>(of(list));
    const MWLCompressStatic* s = l->s;
    return MWLShared{&l->base, s->rules, s->maxMasterPhoneme, l->dynamic, s->genders, s->genderLength, s->marker,
                     s->wordCount, l->maxSurface, l->maxSpoken, l->maxRecog, l->maxMaster, staticMasters};
}

int32_t getRecogProns(const MWL* l, uint32_t id, int32_t capacity, uint16_t* const* prons)
{
    const MWLShared v = sharedOf(l);
    return MWLShared_GetRecogPronunciations(&v, id, capacity, prons);
}

int32_t convertMasterToRecog(const MWL* l, const uint16_t* master, uint16_t* recog)
{
    const MWLShared v = sharedOf(l);
    return MWLShared_ConvertMasterToRecogPron(&v, master, recog);
}

int32_t isMasterLegal(const MWL* l, const uint16_t* pron)
{
    const MWLShared v = sharedOf(l);
    return MWLShared_IsMasterPronunciationLegal(&v, pron);
}

int32_t isPronLegal(const MWL* l, const uint16_t* pron)
{
    const MWLShared v = sharedOf(l);
    return MWLShared_IsPronunciationLegal(&v, pron);
}

uint32_t addWordWithProns(MWL* l, const uint16_t* surface, const uint16_t* spoken, int32_t count,
                          const uint16_t* const* prons, int32_t flags, int32_t sharing)
{
    const MWLShared v = sharedOf(l);
    return MWLShared_AddWordWithPronunciations(&v, surface, spoken, count, prons, flags, sharing);
}

uint32_t addWord(MWL* l, const uint16_t* surface, const uint16_t* spoken, const uint16_t* const* recogProns,
                 int32_t count, int32_t flags)
{
    const MWLShared v = sharedOf(l);
    return MWLShared_AddWord(&v, surface, spoken, recogProns, count, flags);
}

int32_t addMasterPron(MWL* l, uint32_t id, const uint16_t* pron)
{
    const MWLShared v = sharedOf(l);
    return MWLShared_AddMasterPronunciation(&v, id, pron);
}

int32_t removePron(MWL* l, uint32_t id, int32_t index, int32_t* freed)
{
    const MWLShared v = sharedOf(l);
    return MWLShared_RemovePronunciation(&v, id, index, freed);
}

int32_t getGender(const MWL* l, uint32_t id, int32_t index)
{
    const MWLShared v = sharedOf(l);
    return MWLShared_GetGender(&v, id, index);
}

} // namespace

const MWLOps sMasterWordListCompressBase = {
    deleteList, getEncoding, getLanguage, getTokenizeType, getId, getIdsFromSpoken, getNextDynamicId,
    getMaxSurface, getMaxSpoken, getForms, getOrthographies, getNumMatches, getMatches, getMatchesAtStart,
    getUnigramScore, getClassId, getAttributes, getAffixId, getSemanticId, getWordTypeFlags, getFreeRecog,
    getMaxMaster, getMaxRecog, getMaxProns, getRecogProns, getMasterProns, getTTSPosIds, getPosIdForPron, markUsed,
    getLeastRecentlyUnused, convertMasterToRecog, isPronLegal, addWord, addWordWithProns, removeWord,
    refCounts, isWordRemovable, isWordIdInUse, nullptr, addMasterPron, removePron, getNextMasterId,
    containsGender, isMasterLegal, getGender, computeCRC, recogSetCRC, masterSetCRC, semanticSetCRC,
    clingSetCRC, boundary, maxMasterPhonemeId, masterPhonemeName, nullptr,
    nothing, writePSA, readPSA, nullptr, nullptr, nothing,
};
