// Member reads of a class record for the class-pair walks: lengths, ids,
// scores, the first member of a word, and runs of members sharing one.
#include "core/brevit/search/constraint_class.h"

namespace {

bool isMember(const ConstraintClass* c, int32_t m) { return m >= 0 && m < c->numMembers; }

// The lowest position in [0, n) whose key is not below id.
template <typename Key>
int32_t lowerBound(int32_t n, uint16_t id, Key key)
{
    int32_t low = 0;
    int32_t high = n;
    while (low < high) {
        const int32_t mid = low + (high - low) / 2;
        if (key(mid) < id)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

} // namespace

int32_t ConstraintClass_GetNumMembers(const ConstraintClass* c) { return c->numMembers; }
int32_t ConstraintClass_HasMemberScores(const ConstraintClass* c) { return c->hasWeights; }
int32_t ConstraintClass_HasPhraseIds(const ConstraintClass* c) { return c->hasPhraseIds; }
void ConstraintClass_InvalidateStartList(ConstraintClass* c) { c->startListCount = -1; }
void* ConstraintClass_GetStartList(ConstraintClass* c) { return &c->startList; }

int32_t ConstraintClass_GetMemberLength(const ConstraintClass* c, int32_t m)
{
    return isMember(c, m) ? ConstraintClass_MemberLength(c, m) : 0;
}

int32_t ConstraintClass_GetMemberScore(const ConstraintClass* c, int32_t m)
{
    return isMember(c, m) && c->hasWeights != 0 ? ConstraintClass_WeightAt(c, m) : 0;
}

int32_t ConstraintClass_GetPhraseId(const ConstraintClass* c, int32_t m)
{
    return isMember(c, m) && c->hasPhraseIds != 0 ? ConstraintClass_PhraseIdAt(c, m) : 0;
}

uint16_t ConstraintClass_GetMemberId(const ConstraintClass* c, int32_t m, int32_t k, int32_t* length)
{
    const int32_t n = ConstraintClass_GetMemberLength(c, m);
    if (length != nullptr)
        *length = n;
    if (k < 0 || k >= n)
        return kConstraintClassNoWord;
    return ConstraintClass_WordAt(c, static_cast<int32_t>(ConstraintClass_OffsetAt(c, m)) + k);
}

uint16_t ConstraintClass_GetStartActiveId(const ConstraintClass* c, int32_t m)
{
    return ConstraintClass_GetMemberId(c, m, 0, nullptr);
}

int32_t ConstraintClass_FindMemberByFirstId(const ConstraintClass* c, uint16_t id, int32_t* length)
{
    // The index holds only the words present when it was built; a word added
    // since lies past its pages and is searched for below.
    const uint32_t page = static_cast<uint32_t>(id) >> 8;
    if (c->wordIndex != nullptr && c->wordIndexBuilt != 0 && page < c->wordIndexPages &&
        c->wordIndex[page] != nullptr) {
        const uint16_t member = static_cast<const uint16_t*>(c->wordIndex[page])[id & 255];
        if (length != nullptr && member != kConstraintClassNoWord)
            *length = 1;
        return member;
    }
    if (c->numMembers <= 0)
        return kConstraintClassNoWord;
    if (c->numMembers == c->numWords) {
        const int32_t at = lowerBound(c->numWords, id, [c](int32_t i) { return ConstraintClass_WordAt(c, i); });
        if (at < c->numWords && ConstraintClass_WordAt(c, at) == id) {
            if (length != nullptr)
                *length = 1;
            return at;
        }
        return kConstraintClassNoWord;
    }
    const int32_t at =
        lowerBound(c->numMembers, id, [c](int32_t m) { return ConstraintClass_GetStartActiveId(c, m); });
    if (at < c->numMembers && ConstraintClass_GetStartActiveId(c, at) == id) {
        if (length != nullptr)
            *length = ConstraintClass_MemberLength(c, at);
        return at;
    }
    return kConstraintClassNoWord;
}

int32_t ConstraintClass_GetNextMemberSecondId(const ConstraintClass* c, int32_t m, uint16_t* id, int32_t* isPair)
{
    if (!isMember(c, m) || !isMember(c, m + 1) ||
        ConstraintClass_GetStartActiveId(c, m) != ConstraintClass_GetStartActiveId(c, m + 1))
        return 0;
    int32_t length = 0;
    *id = ConstraintClass_GetMemberId(c, m + 1, 1, &length);
    *isPair = length == 2 ? 1 : 0;
    return 1;
}

int32_t ConstraintClass_CountSharedStartMembers(const ConstraintClass* c, int32_t m)
{
    if (ConstraintClass_GetMemberLength(c, m) < 2 || !isMember(c, m + 1) ||
        ConstraintClass_GetStartActiveId(c, m + 1) != ConstraintClass_GetStartActiveId(c, m))
        return 0;
    const uint16_t first = ConstraintClass_GetStartActiveId(c, m + 1);
    int32_t n = 0;
    while (isMember(c, m + 1 + n) && ConstraintClass_GetStartActiveId(c, m + 1 + n) == first)
        ++n;
    return n;
}

void ConstraintClass_GetIRRange(const ConstraintClass* c, void** irObject, int32_t* irClassIndex)
{
    *irObject = c->irObject;
    *irClassIndex = c->irClassIndex;
}

int32_t ConstraintClass_CompareMembers(const ConstraintClass* c, int32_t a, int32_t b, int32_t useScores)
{
    return compareClassMembers(c, a, b, useScores != 0);
}

int32_t ConstraintClass_CompareMemberToIds(const ConstraintClass* c, int32_t m, const uint16_t* ids, int32_t n,
                                           int32_t phraseId)
{
    return ConstraintClass_CompareSequenceToMember(c, ids, n, phraseId, m);
}
