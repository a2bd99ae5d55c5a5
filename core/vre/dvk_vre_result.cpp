// The result of a finished recognition: the engine's choice list parsed
// with the dialling rules, freed of twins, re-ranked, and turned into an
// n-best list of the best choice's constraint, with locations said by
// their synonyms named by their own text and names of no contact dropped.
#include "core/vre/dvk_vre_record.h"

#include "core/constraints/dvk_constraints.h"
#include "core/nbest/dvk_nbest.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_pbook.h"

#include <cstring>

namespace {

const int32_t kMaxWords = 40;
const int32_t kMaxExtra = 10;
const int32_t kFormCapacity = 128;

// One choice with its class groups.
struct Choice {
    VocId words[kMaxWords];
    int32_t wordCount;
    const char* names[kMaxWords];
    int32_t first[kMaxWords];
    int32_t length[kMaxWords];
    int32_t groups;
    int32_t constraintIndex;
};

int32_t prepare(dvk_vre_Recognizer* vre, int32_t* count, int32_t* confidence)
{
    *count = 0;
    const EBrevit prepared = Brevit_PrepareChoiceList(vre->engine, count, confidence);
    if (prepared != EBrevit_OK) {
        dvk_vre_log().log(WexLogError, "choice list not prepared: %d", prepared);
        return 1;
    }
    return 0;
}

int32_t readChoice(dvk_vre_Recognizer* vre, int32_t index, Choice* choice)
{
    int32_t score = 0, nonAcoustic = 0;
    int32_t zero1[kMaxWords], zero2[kMaxWords], extra1[kMaxExtra], extra2[kMaxExtra];
    choice->wordCount = 0;
    choice->groups = 0;
    choice->constraintIndex = -1;
    const EBrevit read = Brevit_GetChoiceAndScoreExtended(
        vre->engine, index, kMaxWords, kMaxExtra, 0, choice->words, &choice->wordCount, &score, &nonAcoustic,
        choice->names, choice->first, choice->length, &choice->groups, &choice->constraintIndex, zero1, zero2,
        extra1, extra2);
    if (read != EBrevit_OK) {
        dvk_vre_log().log(WexLogError, "choice %d not read: %d", index, read);
        return 1;
    }
    if (choice->wordCount < 0 || choice->wordCount > kMaxWords || choice->groups < 0 || choice->groups > kMaxWords)
        return 1;
    for (int32_t g = 0; g < choice->groups; ++g) {
        if (choice->names[g] == nullptr || choice->first[g] < 0 || choice->length[g] < 0 ||
            choice->first[g] + choice->length[g] > choice->wordCount)
            return 1;
    }
    return 0;
}

// The recognition's constraint slot of an engine index, or -1.
int32_t findSlot(const dvk_vre_Recognizer* vre, int32_t brevitIndex)
{
    for (int32_t slot = 0; slot < vre->numConstraints; ++slot) {
        if (vre->brevitConstraints[slot] == brevitIndex)
            return slot;
    }
    return -1;
}

const dvk_constraints_Constraint* mapConstraint(const dvk_vre_Recognizer* vre, int32_t brevitIndex)
{
    const int32_t slot = findSlot(vre, brevitIndex);
    DVK_ASSERT(slot >= 0);
    return vre->constraints[slot];
}

// The suite's class of a group: the constraint's own first, then the
// static ones.
const dvk_constraints_WordClass* findClass(const dvk_constraints_Constraint* constraint, const char* name)
{
    if (constraint != nullptr) {
        for (dvk_constraints_WordClass** c = constraint->wordClasses; *c != nullptr; ++c) {
            if (std::strcmp((*c)->name, name) == 0)
                return *c;
        }
    }
    dvk_constraints_WordClass** list = dvk_constraints_getWordClassList();
    for (int id = 1; id <= 66; ++id) {
        if (list[id] != nullptr && std::strcmp(list[id]->name, name) == 0)
            return list[id];
    }
    return nullptr;
}

int32_t classKey(const dvk_constraints_Constraint* constraint, const char* name)
{
    const dvk_constraints_WordClass* wordClass = findClass(constraint, name);
    return wordClass != nullptr ? wordClass->key : -1;
}

const dvk_constraints_Constraint* choiceConstraint(const dvk_vre_Recognizer* vre, const Choice& choice)
{
    const int32_t slot = findSlot(vre, choice.constraintIndex);
    return slot >= 0 ? vre->constraints[slot] : nullptr;
}

void removeFillerWords(const dvk_vre_Recognizer* vre, Choice* choice)
{
    const dvk_constraints_Constraint* constraint = choiceConstraint(vre, *choice);
    int32_t groups = 0, words = 0, next = 0;
    for (int32_t g = 0; g < choice->groups; ++g) {
        const int32_t start = choice->first[g];
        const int32_t length = choice->length[g];
        // Words before this group that belong to no group stay.
        while (next < start)
            choice->words[words++] = choice->words[next++];
        next = start + length;
        if (classKey(constraint, choice->names[g]) == DVK_VRE_KEY_FILLER)
            continue;
        choice->names[groups] = choice->names[g];
        choice->first[groups] = words;
        choice->length[groups] = length;
        for (int32_t w = 0; w < length; ++w)
            choice->words[words++] = choice->words[start + w];
        ++groups;
    }
    while (next < choice->wordCount)
        choice->words[words++] = choice->words[next++];
    choice->groups = groups;
    choice->wordCount = words;
}

bool sameChoice(const Choice& a, const Choice& b)
{
    if (a.wordCount != b.wordCount || a.groups != b.groups)
        return false;
    for (int32_t w = 0; w < a.wordCount; ++w) {
        if (a.words[w] != b.words[w])
            return false;
    }
    for (int32_t g = 0; g < a.groups; ++g) {
        if (std::strcmp(a.names[g], b.names[g]) != 0)
            return false;
    }
    return true;
}

// A text that grows part by part; null once memory ran short.
struct GrowingText {
    dvk_ucs2_Char* text;
    bool failed;
};

const dvk_ucs2_Char kEmpty[] = {0};
const dvk_ucs2_Char kBlank[] = {' ', 0};

void append(GrowingText* into, const dvk_ucs2_Char* part)
{
    if (into->failed)
        return;
    dvk_ucs2_Char* grown = dvk_ucs2_createConcat(into->text != nullptr ? into->text : kEmpty, part, nullptr);
    dvk_ucs2_destroy(&into->text);
    into->text = grown;
    into->failed = grown == nullptr;
}

// Appends part with a blank between, unless the class runs its words
// together or nothing is there yet.
void join(GrowingText* into, const dvk_ucs2_Char* part, bool noSeparator)
{
    if (!noSeparator && into->text != nullptr && into->text[0] != 0)
        append(into, kBlank);
    append(into, part);
}

// The form of a word; one the engine cut to the buffer is kept as it is.
int32_t readForm(dvk_vre_Recognizer* vre, VocId wordId, bool spoken, dvk_ucs2_Char* buffer)
{
    buffer[0] = 0;
    const EBrevit read = spoken ? Brevit_GetSpokenFormU(vre->engine, wordId, kFormCapacity, buffer)
                                : Brevit_GetSurfaceFormU(vre->engine, wordId, kFormCapacity, buffer);
    buffer[kFormCapacity - 1] = 0;
    if (read == EBrevit_OK || read == EBrevit_BufferTooSmall)
        return 0;
    dvk_vre_log().log(WexLogError, "form of word %u not read: %d", wordId, read);
    return 1;
}

int32_t addEntry(dvk_vre_Recognizer* vre, dvk_nbest_List* list, const dvk_constraints_Constraint* constraint,
                 const Choice& choice)
{
    const int32_t entry = dvk_nbest_addEntry(list);
    if (entry < 0)
        return 1;
    GrowingText utterance{nullptr, false};
    int32_t result = 0;
    for (int32_t g = 0; g < choice.groups && result == 0;) {
        const int32_t key = classKey(constraint, choice.names[g]);
        int32_t last = g;
        while (last + 1 < choice.groups && classKey(constraint, choice.names[last + 1]) == key)
            ++last;
        GrowingText surface{nullptr, false}, spoken{nullptr, false};
        for (int32_t h = g; h <= last && result == 0; ++h) {
            const dvk_constraints_WordClass* wordClass = findClass(constraint, choice.names[h]);
            const bool noSeparator = wordClass != nullptr && wordClass->noSeparator != 0;
            GrowingText groupSurface{nullptr, false};
            for (int32_t w = 0; w < choice.length[h] && result == 0; ++w) {
                dvk_ucs2_Char surfaceForm[kFormCapacity], spokenForm[kFormCapacity];
                const VocId id = choice.words[choice.first[h] + w];
                result = readForm(vre, id, false, surfaceForm) || readForm(vre, id, true, spokenForm);
                if (result != 0)
                    break;
                if (vre->language == 12) {
                    append(&surface, surfaceForm);
                    append(&spoken, spokenForm);
                } else {
                    join(&surface, surfaceForm, noSeparator);
                    join(&spoken, spokenForm, noSeparator);
                }
                join(&groupSurface, surfaceForm, noSeparator);
            }
            join(&utterance, groupSurface.text != nullptr ? groupSurface.text : kEmpty, false);
            if (groupSurface.failed)
                utterance.failed = true;
            dvk_ucs2_destroy(&groupSurface.text);
        }
        if (result == 0 && (surface.failed || spoken.failed || utterance.failed))
            result = 1;
        if (result == 0 && key >= 0 && key != DVK_VRE_KEY_FILLER) {
            const int32_t firstWord = choice.first[g];
            const int32_t words = choice.first[last] + choice.length[last] - firstWord;
            result = dvk_nbest_addValue(
                list, entry, key, choice.names[g], surface.text != nullptr ? surface.text : kEmpty,
                vre->language == 12 ? (spoken.text != nullptr ? spoken.text : kEmpty) : nullptr, words,
                words > 0 ? choice.words + firstWord : nullptr, 0, nullptr);
        }
        dvk_ucs2_destroy(&surface.text);
        dvk_ucs2_destroy(&spoken.text);
        g = last + 1;
    }
    if (result == 0)
        result = dvk_nbest_addUtt(list, entry, utterance.text != nullptr ? utterance.text : kEmpty);
    dvk_ucs2_destroy(&utterance.text);
    return result;
}

bool sameText(const dvk_ucs2_Char* a, const dvk_ucs2_Char* b)
{
    return a != nullptr && b != nullptr && dvk_ucs2_strcmp(a, b) == 0;
}

// The location whose synonym is the value (as it stands, or both without
// their trailing digits): a new copy of its own text, stripped likewise.
// The walk always runs to its end, where the provider frees it.
int32_t findLocation(const dvk_ucs2_Char* value, dvk_ucs2_Char** location)
{
    *location = nullptr;
    dvk_ucs2_Char* stripped = dvk_ucs2_createCopy(value);
    if (stripped == nullptr)
        return 1;
    stripDigits(stripped);
    int32_t result = 0;
    dvk_ucs2_Char* loose = nullptr;
    for (dvk_pbook_LocationIterator it = dvk_pbook_getFirstLocation(); it != nullptr;
         it = dvk_pbook_getNextLocation(it)) {
        if (result != 0 || *location != nullptr)
            continue;
        dvk_ucs2_Char* synonym = dvk_pbook_getLocationSynonym(it);
        if (synonym == nullptr) {
            result = 1;
            continue;
        }
        if (sameText(synonym, value)) {
            *location = dvk_pbook_getLocation(it);
            result = *location == nullptr;
        } else if (loose == nullptr && synonym[0] != 0) {
            stripDigits(synonym);
            if (sameText(synonym, stripped)) {
                loose = dvk_pbook_getLocation(it);
                if (loose == nullptr)
                    result = 1;
                else
                    stripDigits(loose);
            }
        }
        dvk_ucs2_destroy(&synonym);
    }
    if (result == 0 && *location == nullptr) {
        *location = loose;
        loose = nullptr;
    }
    if (result != 0)
        dvk_ucs2_destroy(location);
    dvk_ucs2_destroy(&loose);
    dvk_ucs2_destroy(&stripped);
    return result;
}

int32_t modifySynonyms(dvk_nbest_List* list)
{
    for (int32_t i = 0; i < dvk_nbest_getCount(list); ++i) {
        const dvk_ucs2_Char* value = dvk_nbest_getStr(list, i, DVK_VRE_KEY_LOCATION);
        if (value == nullptr)
            continue;
        dvk_ucs2_Char* location = nullptr;
        if (findLocation(value, &location) != 0)
            return 1;
        if (location == nullptr)
            continue;
        dvk_nbest_removeValue(list, i, DVK_VRE_KEY_LOCATION);
        const int added = dvk_nbest_addValueNoIds(list, i, DVK_VRE_KEY_LOCATION, nullptr, location, nullptr);
        dvk_ucs2_destroy(&location);
        if (added != 0)
            return 1;
    }
    return 0;
}

int nameFilter(dvk_nbest_List* list, int32_t index, void*)
{
    const dvk_ucs2_Char* name = dvk_nbest_getStr(list, index, DVK_VRE_KEY_NAME);
    if (name == nullptr)
        return 0;
    const dvk_pbook_Iterator first = dvk_pbook_getFirstEntry();
    return first == 0 || dvk_pbook_findEntryByName(first, name, nullptr, nullptr) == 0;
}

// Parses the dialling words of every choice with the rule set of the
// constraint it parses under; a choice the parse changed is looked at again.
int32_t parseChoices(dvk_vre_Recognizer* vre, int32_t* count, int32_t* confidence)
{
    for (int32_t i = 0; i < *count;) {
        VocId words[kMaxWords];
        int32_t wordCount = 0, parsedIndex = -1, cost = 0;
        uint32_t classIds[kMaxWords];
        if (Brevit_GetChoice(vre->engine, i, kMaxWords, words, &wordCount) != EBrevit_OK ||
            Brevit_FindBestParse(vre->engine, vre->numConstraints, vre->brevitConstraints, wordCount, words,
                                 &parsedIndex, classIds, &cost) != EBrevit_OK)
            return 1;
        const int32_t slot = findSlot(vre, parsedIndex);
        dvk_constraints_RuleSet* rules = slot >= 0 && vre->constraints[slot]->rulesProvider != nullptr
                                             ? vre->constraints[slot]->rulesProvider()
                                             : nullptr;
        int32_t changed = 0;
        if (rules != nullptr) {
            Choice choice;
            if (readChoice(vre, i, &choice) != 0)
                return 1;
            int32_t first = -1, run = 0;
            for (int32_t g = 0; g < choice.groups; ++g) {
                bool listed = false;
                for (const char* const* name = rules->classNames; *name != nullptr; ++name)
                    listed = listed || std::strcmp(*name, choice.names[g]) == 0;
                if (listed && (first < 0 || first + run == choice.first[g])) {
                    if (first < 0)
                        first = choice.first[g];
                    run += choice.length[g];
                } else if (first >= 0) {
                    break;
                }
            }
            if (first >= 0 && run > 0 &&
                Brevit_ParseChoiceWords(vre->engine, i, rules->startRule, first, run, &changed) != EBrevit_OK)
                return 1;
        }
        if (prepare(vre, count, confidence) != 0)
            return 1;
        if (!changed)
            ++i;
    }
    return 0;
}

int32_t removeTwins(dvk_vre_Recognizer* vre, int32_t* count, int32_t* confidence)
{
    for (int32_t a = 0; a < *count; ++a) {
        for (int32_t b = a + 1; b < *count;) {
            Choice first, second;
            if (readChoice(vre, a, &first) != 0 || readChoice(vre, b, &second) != 0)
                return 1;
            removeFillerWords(vre, &first);
            removeFillerWords(vre, &second);
            if (!sameChoice(first, second)) {
                ++b;
                continue;
            }
            if (Brevit_DiscardChoice(vre->engine, b) != EBrevit_OK || prepare(vre, count, confidence) != 0)
                return 1;
        }
    }
    return 0;
}

int32_t loadRules(dvk_vre_Recognizer* vre)
{
    if (Brevit_GrammarClear(vre->engine) != EBrevit_OK)
        return 1;
    for (int32_t slot = 0; slot < vre->numConstraints; ++slot) {
        if (vre->constraints[slot]->rulesProvider == nullptr)
            continue;
        const dvk_constraints_RuleSet* rules = vre->constraints[slot]->rulesProvider();
        if (rules == nullptr)
            continue;
        for (const dvk_constraints_Rule* rule = rules->rules; rule->name != nullptr; ++rule) {
            if (Brevit_GrammarAddNonTerminal(vre->engine, rule->name, rule->expansion) != EBrevit_OK)
                return 1;
        }
    }
    return 0;
}

bool sameFirstGroup(const Choice& a, const Choice& b)
{
    if (a.groups == 0 || b.groups == 0)
        return a.groups == b.groups;
    if (a.length[0] != b.length[0])
        return false;
    for (int32_t w = 0; w < a.length[0]; ++w) {
        if (a.words[a.first[0] + w] != b.words[b.first[0] + w])
            return false;
    }
    return true;
}

int32_t buildList(dvk_vre_Recognizer* vre, int32_t count, int32_t confidence, dvk_nbest_List** nbest)
{
    Choice best;
    if (readChoice(vre, 0, &best) != 0)
        return 1;
    const dvk_constraints_Constraint* constraint = mapConstraint(vre, best.constraintIndex);
    dvk_nbest_List* list = dvk_nbest_create(constraint->id, constraint->name, confidence);
    if (list == nullptr)
        return 1;
    int32_t result = addEntry(vre, list, constraint, best);
    const int32_t bestKey = best.groups > 0 ? classKey(constraint, best.names[0]) : -1;
    for (int32_t c = 1; c < count && result == 0; ++c) {
        Choice other;
        result = readChoice(vre, c, &other);
        if (result != 0 || other.constraintIndex != best.constraintIndex)
            continue;
        if (bestKey == DVK_VRE_KEY_COMMAND && !sameFirstGroup(best, other))
            continue;
        result = addEntry(vre, list, constraint, other);
    }
    if (result == 0)
        result = modifySynonyms(list);
    if (result != 0) {
        dvk_nbest_destroy(&list);
        return 1;
    }
    dvk_nbest_removeDuplicates(list);
    if (dvk_nbest_filter(list, nameFilter, nullptr) == 0)
        dvk_nbest_destroy(&list);
    *nbest = list;
    return 0;
}

}  // namespace

int32_t dvk_vre_getResult(dvk_vre_Recognizer* vre, dvk_nbest_List** nbest)
{
    DVK_ASSERT(vre != DVK_NULL);
    DVK_ASSERT(nbest != DVK_NULL);
    *nbest = nullptr;
    int32_t count = 0, confidence = 0;
    if (loadRules(vre) != 0 || prepare(vre, &count, &confidence) != 0 || parseChoices(vre, &count, &confidence) != 0 ||
        prepare(vre, &count, &confidence) != 0 || removeTwins(vre, &count, &confidence) != 0 ||
        prepare(vre, &count, &confidence) != 0)
        return 1;
    if (count > 1 && (Brevit_RerecognizeChoiceList(vre->engine, count) != EBrevit_OK ||
                      prepare(vre, &count, &confidence) != 0))
        return 1;
    if (count == 0)
        return 0;
    if (buildList(vre, count, confidence, nbest) != 0)
        return 1;
    Brevit_ReleaseUnusedMemory(vre->engine, 0);
    return 0;
}
