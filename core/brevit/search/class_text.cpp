// A class-pair constraint "XDN0" of the word sequences of a text that a
// source constraint allows: one one-word class per step of the walk.
#include "core/brevit/search/class_networks.h"

#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_manager_tables.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/constraint.h"
#include "core/brevit/search/constraint_class.h"
#include "core/brevit/search/constraint_manager.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr uint16_t kTextStartWord = 65534;
// Tokenised as recognition text is: by the word list's own tokenizer.
constexpr int32_t kTextTokenizeKind = 1;

// The candidate active words of each token.
struct Tokens {
    int32_t count;
    int32_t* offsets;     // count + 1 entries into words
    uint16_t* words;
};

struct Walk {
    ClassManager* manager;
    Constraint* source;
    const Tokens* tokens;
    Constraint* built;    // null in the count pass
    int64_t steps;
    uint32_t* made;       // ids of the classes made (build pass)
    int32_t madeCount;
    int32_t madeCapacity;
};

void freeTokens(Tokens& t)
{
    DVKMem_Free(t.offsets);
    DVKMem_Free(t.words);
    t = Tokens{0, nullptr, nullptr};
}

// The text's tokens and their candidates; false without memory. Each
// token's spelling is matched as the grammar's terminals are (both match
// flags on), on a terminated copy of the token.
bool tokenize(const Voc* voc, const uint16_t* text, Tokens* out)
{
    *out = Tokens{0, nullptr, nullptr};
    const int32_t n = Voc_Tokenize(voc, kTextTokenizeKind, text, 0, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (n <= 0)
        return n == 0;
    const auto entries = static_cast<uint32_t>(n);
    auto* tokenIds = static_cast<uint32_t*>(DVKMem_Malloc(entries * 4u));
    auto* starts = static_cast<int32_t*>(DVKMem_Malloc(entries * 4u));
    auto* lengths = static_cast<int32_t*>(DVKMem_Malloc(entries * 4u));
    out->offsets = static_cast<int32_t*>(DVKMem_Calloc((entries + 1u) * 4u));
    const int32_t surfaceRoom = std::max(Voc_GetMaxSurfaceFormLength(voc), 0) + 1;
    const int32_t spokenRoom = std::max(Voc_GetMaxSpokenFormLength(voc), 0) + 1;
    auto* surface = static_cast<uint16_t*>(DVKMem_Malloc(static_cast<uint32_t>(surfaceRoom) * 2u));
    auto* spoken = static_cast<uint16_t*>(DVKMem_Malloc(static_cast<uint32_t>(spokenRoom) * 2u));
    bool ok = tokenIds != nullptr && starts != nullptr && lengths != nullptr && out->offsets != nullptr &&
              surface != nullptr && spoken != nullptr &&
              Voc_Tokenize(voc, kTextTokenizeKind, text, 0, 0, n, tokenIds, starts, lengths, nullptr, nullptr) == n;
    int32_t longest = 0;
    for (int32_t k = 0; ok && k < n; ++k) {
        ok = starts[k] >= 0 && lengths[k] >= 0 && lengths[k] < 0x100000;
        longest = ok ? std::max(longest, lengths[k]) : longest;
    }
    auto* token = ok ? static_cast<uint16_t*>(DVKMem_Malloc(static_cast<uint32_t>(longest + 1) * 2u)) : nullptr;
    ok = ok && token != nullptr;
    const auto copyToken = [&](int32_t k) {
        std::copy(text + starts[k], text + starts[k] + lengths[k], token);
        token[lengths[k]] = 0;
        return token;
    };
    int64_t total = 0;
    for (int32_t k = 0; ok && k < n; ++k)
        total += std::max(Voc_GetNumMatches(voc, copyToken(k), 1, 1), 0);
    uint32_t* ids = ok ? static_cast<uint32_t*>(DVKMem_Malloc(static_cast<uint32_t>(std::max<int64_t>(total, 1)) * 4u))
                       : nullptr;
    out->words = ok ? static_cast<uint16_t*>(DVKMem_Malloc(static_cast<uint32_t>(std::max<int64_t>(total, 1)) * 2u))
                    : nullptr;
    ok = ok && total < 0x1000000 && ids != nullptr && out->words != nullptr;
    int32_t used = 0;
    for (int32_t k = 0; ok && k < n; ++k) {
        out->offsets[k] = used;
        const int32_t base = used;
        const int32_t room = static_cast<int32_t>(total) - base;
        const int32_t matches = std::min(Voc_GetMatches(voc, copyToken(k), 1, 1, 0, room, ids + base), room);
        for (int32_t i = 0; i < matches; ++i) {
            surface[0] = spoken[0] = 0;
            Voc_GetOrthography(voc, ids[base + i], surface, spoken);
            const int32_t word = Voc_LookupActiveIdFromOrthography(voc, surface, spoken);
            if (word >= 0 && word < 65534)
                out->words[used++] = static_cast<uint16_t>(word);
        }
    }
    if (ok) {
        out->offsets[n] = used;
        out->count = n;
    }
    DVKMem_Free(tokenIds);
    DVKMem_Free(starts);
    DVKMem_Free(lengths);
    DVKMem_Free(token);
    DVKMem_Free(surface);
    DVKMem_Free(spoken);
    DVKMem_Free(ids);
    if (!ok)
        freeTokens(*out);
    return ok;
}

// One step: in the build pass a one-word class named by its id, entered
// from the previous step's class with the step's score.
bool step(Walk& w, uint32_t fromClass, uint16_t word, int32_t score, bool last, uint32_t* classId)
{
    ++w.steps;
    if (w.built == nullptr)
        return true;
    const int32_t next = ClassManager_NextFreeId(w.manager);
    char name[16];
    std::snprintf(name, sizeof name, "%d", next);
    int32_t id = 0;
    if (next < 0 || w.madeCount == w.madeCapacity ||
        ClassManager_CreateClass(w.manager, name, 1, 1, 0, 0, 0, 0, nullptr, -1, &id) == 0)
        return false;
    w.made[w.madeCount++] = static_cast<uint32_t>(id);
    ConstraintClass* record = ClassManager_GetClass(w.manager, static_cast<uint32_t>(id));
    if (ConstraintClass_InsertMember(record, 1, &word, 0, 0) == 0)
        return false;
    ClassManager_UpdateRebuildTree(w.manager, record);
    *classId = static_cast<uint32_t>(id);
    return ClassPairConstraint_AddTransition(w.built, fromClass, *classId, std::min(score, 255)) != 0 &&
           (!last || ClassPairConstraint_AddTransition(w.built, *classId, 0, 0) != 0);
}

// The walk from token `position` at the source's position `at`, the path's
// class being fromClass.
bool walk(Walk& w, int32_t position, ActiveId at, uint16_t previous, uint32_t fromClass)
{
    const Tokens& t = *w.tokens;
    const Voc* voc = ClassManager_GetVocabulary(w.manager);
    const bool last = position + 1 == t.count;
    for (int32_t k = t.offsets[position]; k < t.offsets[position + 1]; ++k) {
        const uint16_t candidate = t.words[k];
        const uint16_t pron = Voc_GetNthPronId(voc, Voc_ActiveIdToVocId(voc, candidate), 0);
        if (pron == kConstraintNoPron)
            continue;
        ConstraintIterator it;
        Constraint_IteratorInit(w.source, &it, previous, 0, at, pron);
        ConstraintSuccessor s{};
        // Successors to one word and one position are one step.
        ActiveId seen[32];
        int32_t numSeen = 0;
        while (Constraint_IteratorNext(w.source, &it, &s) != 0) {
            const uint16_t word = Voc_GetActiveIdFromPronId(voc, s.member, nullptr);
            if (word != candidate)
                continue;
            if (std::find(seen, seen + numSeen, s.next) != seen + numSeen)
                continue;
            if (numSeen < 32)
                seen[numSeen++] = s.next;
            uint32_t classId = 0;
            if (!step(w, fromClass, word, s.score, last, &classId) ||
                (!last && !walk(w, position + 1, s.next, word, classId)))
                return false;
        }
    }
    return true;
}

ActiveId startOf(ClassManager* m, Constraint* source)
{
    const int32_t index = ConstraintManager_FindIndex(m->constraintManager, source);
    return ActiveId_Make(index > 0 ? index : 0, 0, 0, 0);
}

} // namespace

int32_t ClassManager_CountTextExpansion(ClassManager* m, Constraint* source, const uint16_t* text)
{
    Tokens tokens{};
    if (!tokenize(m->vocabulary, text, &tokens))
        return -1;
    Walk w{m, source, &tokens, nullptr, 0, nullptr, 0, 0};
    if (tokens.count > 0)
        walk(w, 0, startOf(m, source), kTextStartWord, 0);
    freeTokens(tokens);
    return static_cast<int32_t>(std::min<int64_t>(w.steps, 0x7FFFFFFF));
}

Constraint* ClassManager_CreateConstraintFromText(ClassManager* m, Constraint* source, const uint16_t* text)
{
    if (m == nullptr || source == nullptr || text == nullptr || ClassManager_FinishEdit(m) == 0)
        return nullptr;
    Tokens tokens{};
    if (!tokenize(m->vocabulary, text, &tokens))
        return nullptr;
    Walk w{m, source, &tokens, nullptr, 0, nullptr, 0, 0};
    if (tokens.count > 0)
        walk(w, 0, startOf(m, source), kTextStartWord, 0);
    // An empty text, or one the source allows nothing of, gives nothing.
    if (w.steps == 0 || w.steps >= kClassManagerMaxIds) {
        freeTokens(tokens);
        return nullptr;
    }
    const auto steps = static_cast<int32_t>(w.steps);
    w.built = ClassPairConstraint_Create("XDN0", m, steps, steps, 1);
    w.made = static_cast<uint32_t*>(DVKMem_Malloc(static_cast<uint32_t>(steps) * 4u));
    w.madeCapacity = steps;
    w.steps = 0;
    bool ok = w.built != nullptr && w.made != nullptr && ClassManager_GrowTables(m, m->idsInUse + steps) != 0 &&
              walk(w, 0, startOf(m, source), kTextStartWord, 0) && ClassManager_FinishEdit(m) != 0;
    if (!ok) {
        // The constraint holds a reference to each class it took; classes
        // made but not yet taken go with it.
        if (w.built != nullptr)
            Constraint_Delete(w.built, 0);
        w.built = nullptr;
        for (int32_t k = w.madeCount - 1; k >= 0; --k)
            ClassManager_DeleteClass(m, w.made[k]);
    }
    DVKMem_Free(w.made);
    freeTokens(tokens);
    return w.built;
}
