// The grammar rebuild: the suite's constraints and word classes handed to
// the engine one constraint, class and member per suite message, so that
// stop requests and UI events get through between steps.
#include "core/vre/dvk_vre_record.h"

#include "core/constraints/dvk_constraints.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_ui.h"

#include <cstring>

namespace {

const char kClassStart[] = "_CONSTRAINT_CLASS_START";
const char kClassEnd[] = "_CONSTRAINT_CLASS_END";
const int32_t kMaxWordIds = 32;

bool isBoundary(const char* name)
{
    return std::strcmp(name, kClassStart) == 0 || std::strcmp(name, kClassEnd) == 0;
}

bool reportsProgress(const char* name)
{
    for (const char* large : {"names", "song", "artist", "album", "playlist", "simplePlaylist"}) {
        if (std::strcmp(name, large) == 0)
            return true;
    }
    return false;
}

int32_t countClasses(const dvk_constraints_Constraint* constraint)
{
    int32_t count = 0;
    for (dvk_constraints_WordClass** c = constraint->wordClasses; *c != nullptr; ++c)
        ++count;
    return count;
}

int32_t sendRebuildMessage(dvk_vre_Recognizer* vre, dvk_msg_Handler handler)
{
    dvk_msg_Message* message = dvk_msg_create(vre, handler, nullptr);
    if (message == nullptr)
        return 1;
    dvk_msg_send(message, dvk_msg_getDvkAddr());
    return 0;
}

void sendRebuildErrorEvent(dvk_vre_Recognizer* vre)
{
    vre->progressCount = 0;
    vre->rebuildInProgress = 0;
    dvk_ui_setProgressBarInfo(-1, -1);
    dvk_msg_sendEvent(vre->errorEvent, dvk_msg_getDvkAddr());
}

// A pending stop ends the rebuild at this step.
bool stopIfPending(dvk_vre_Recognizer* vre)
{
    if (vre->pendingStopEvent == nullptr)
        return false;
    const dvk_msg_Event event = vre->pendingStopEvent;
    vre->pendingStopEvent = nullptr;
    vre->rebuildInProgress = 0;
    dvk_msg_sendEvent(event, dvk_msg_getDvkAddr());
    return true;
}

void post(dvk_vre_Recognizer* vre, dvk_msg_Handler handler)
{
    if (sendRebuildMessage(vre, handler) != 0) {
        dvk_vre_log().log(WexLogError, "rebuild step message not made");
        sendRebuildErrorEvent(vre);
    }
}

// Words (blank-separated, one more per "|") and members ("|"-separated) of
// every entry of the class: the engine's size hints.
void estimateClassSize(dvk_vre_Recognizer* vre, dvk_constraints_WordClass* wordClass, int32_t* words,
                       int32_t* members)
{
    *words = 0;
    *members = 0;
    if (wordClass->provider != 0 || wordClass->getFirst == nullptr)
        return;
    for (dvk_constraints_Iterator it = wordClass->getFirst(wordClass); it != 0;
         it = wordClass->getNext(wordClass, it)) {
        dvk_ucs2_Char *surface = nullptr, *spoken = nullptr;
        wordClass->getEntry(wordClass, vre->stringTable, it, &surface, &spoken);
        if (surface != nullptr) {
            bool inWord = false;
            *members += 1;
            for (const dvk_ucs2_Char* c = surface; *c != 0; ++c) {
                if (*c == '|') {
                    *words += 1;
                    *members += 1;
                }
                const bool blank = *c == ' ';
                if (!blank && !inWord)
                    *words += 1;
                inWord = !blank && *c != '|';
            }
        }
        wordClass->freeEntry(wordClass, &surface, &spoken);
    }
}

int32_t addMember(dvk_vre_Recognizer* vre, dvk_constraints_WordClass* wordClass, dvk_constraints_Iterator member);
int32_t deleteConstraint(dvk_vre_Recognizer* vre, const dvk_constraints_Constraint* constraint);
void nextConstraintHandler(void* data, dvk_msg_Address sender);
void nextClassHandler(void* data, dvk_msg_Address sender);
void nextMemberHandler(void* data, dvk_msg_Address sender);

void finishRebuild(dvk_vre_Recognizer* vre)
{
    if (vre->needsSave) {
        if (Brevit_RemoveUnreferencedWordIds(vre->engine, 1, nullptr) != EBrevit_OK ||
            (vre->mode == 0 && Brevit_PrecomputeStartRecognizing(vre->engine) != EBrevit_OK) ||
            dvk_vre_remove(vre, 0) != 0 || dvk_vre_save(vre, 0) != 0) {
            dvk_vre_log().log(WexLogError, "the rebuilt vocabulary could not be stored");
            sendRebuildErrorEvent(vre);
            return;
        }
        vre->needsSave = 0;
    }
    vre->progressCount = 0;
    vre->rebuildInProgress = 0;
    dvk_ui_setProgressBarInfo(-1, -1);
    dvk_msg_sendEvent(vre->doneEvent, dvk_msg_getDvkAddr());
}

void nextConstraintHandler(void* data, dvk_msg_Address)
{
    auto* vre = static_cast<dvk_vre_Recognizer*>(data);
    DVK_ASSERT(vre->numConstraints >= 0 && vre->numConstraints <= 31);
    if (stopIfPending(vre))
        return;
    dvk_constraints_Constraint* constraint;
    for (;; ++vre->currentConstraint) {
        constraint = *vre->currentConstraint;
        if (constraint == nullptr) {
            finishRebuild(vre);
            return;
        }
        if (!vre->partialModelsSupported && getConstraintIrClassCount(constraint) > 0)
            continue;
        if (dvk_constraint_getTransitionCount(constraint) > 0)
            break;
    }
    if (constraint->rebuildAlways == 1 && deleteConstraint(vre, constraint) != 0) {
        sendRebuildErrorEvent(vre);
        return;
    }
    int32_t index = -1;
    if (Brevit_FindConstraint(vre->engine, constraint->name, &index) != EBrevit_OK) {
        sendRebuildErrorEvent(vre);
        return;
    }
    if (index == -1) {
        const EBrevit created = Brevit_CreateEmptyClassPairConstraint(
            vre->engine, constraint->name, countClasses(constraint),
            getConstraintIrClassCount(constraint) + dvk_constraint_getTransitionCount(constraint),
            constraint->option, &index);
        if (created != EBrevit_OK) {
            dvk_vre_log().log(WexLogError, "constraint \"%s\" refused: %d", constraint->name, created);
            sendRebuildErrorEvent(vre);
            return;
        }
    }
    vre->currentClass = constraint->wordClasses;
    vre->currentBrevitConstraint = index;
    post(vre, nextClassHandler);
}

int32_t addTransitions(dvk_vre_Recognizer* vre, const dvk_constraints_Constraint* constraint)
{
    for (int32_t it = dvk_constraint_getFirstTransition(constraint); it != 0;
         it = dvk_constraint_getNextTransition(constraint, it)) {
        int32_t id = 0;
        const char* from = dvk_constraint_getTransitionFrom(constraint, it);
        const char* to = dvk_constraint_getTransitionTo(constraint, it);
        const EBrevit added = Brevit_AddClassPairTransition(vre->engine, vre->currentBrevitConstraint, from, to,
                                                            dvk_constraint_getTransitionPenalty(constraint, it), &id);
        if (added != EBrevit_OK || id == 0) {
            dvk_vre_log().log(WexLogError, "transition %s -> %s of \"%s\" refused: %d", from, to,
                              constraint->name, added);
            return 1;
        }
    }
    return 0;
}

void nextClassHandler(void* data, dvk_msg_Address)
{
    auto* vre = static_cast<dvk_vre_Recognizer*>(data);
    if (stopIfPending(vre))
        return;
    dvk_constraints_WordClass* wordClass;
    int32_t exists = 0;
    for (;; ++vre->currentClass) {
        wordClass = *vre->currentClass;
        if (wordClass == nullptr) {
            if (addTransitions(vre, *vre->currentConstraint) != 0) {
                sendRebuildErrorEvent(vre);
                return;
            }
            ++vre->currentConstraint;
            post(vre, nextConstraintHandler);
            return;
        }
        if (isBoundary(wordClass->name))
            continue;
        exists = 0;
        if (Brevit_ClassExists(vre->engine, wordClass->name, &exists) != EBrevit_OK) {
            sendRebuildErrorEvent(vre);
            return;
        }
        if (!exists)
            break;
        int32_t members = 0;
        if (Brevit_ClassGetNumMembers(vre->engine, wordClass->name, &members) != EBrevit_OK) {
            sendRebuildErrorEvent(vre);
            return;
        }
        if (members == 0)
            break;
    }
    if (!exists) {
        int32_t words, members, classId = 0;
        estimateClassSize(vre, wordClass, &words, &members);
        const EBrevit added = Brevit_AddClass(vre->engine, wordClass->name, words, members, 0, 0, 0, &classId);
        if (added != EBrevit_OK || classId == 0) {
            dvk_vre_log().log(WexLogError, "class \"%s\" refused: %d", wordClass->name, added);
            sendRebuildErrorEvent(vre);
            return;
        }
    }
    vre->currentMember = wordClass->getFirst != nullptr ? wordClass->getFirst(wordClass) : 0;
    vre->progressOn = reportsProgress(wordClass->name);
    post(vre, nextMemberHandler);
}

void nextMemberHandler(void* data, dvk_msg_Address)
{
    auto* vre = static_cast<dvk_vre_Recognizer*>(data);
    if (stopIfPending(vre))
        return;
    dvk_constraints_WordClass* wordClass = *vre->currentClass;
    if (vre->currentMember == 0) {
        ++vre->currentClass;
        post(vre, nextClassHandler);
        return;
    }
    if (vre->progressOn) {
        vre->progressCount += 1;
        dvk_ui_setProgressBarInfo(vre->progressCount, -1);
    }
    if (addMember(vre, wordClass, vre->currentMember) != 0) {
        sendRebuildErrorEvent(vre);
        return;
    }
    vre->currentMember = wordClass->getNext(wordClass, vre->currentMember);
    post(vre, nextMemberHandler);
}

// Makes the words active (once more after freeing unreferenced words when
// the engine refuses) and adds them as one member, with the same retry. A
// phrase the engine has nothing to add for (16) makes no member.
int32_t activateAndAdd(dvk_vre_Recognizer* vre, const char* className, const dvk_ucs2_Char* surface,
                       const dvk_ucs2_Char* spoken, bool phrase)
{
    VocId wordIds[kMaxWordIds];
    int32_t count = 0;
    EBrevit activated = EBrevit_OK;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0)
            Brevit_RemoveUnreferencedWordIds(vre->engine, 1, nullptr);
        if (phrase)
            activated = Brevit_MakePhraseActiveU(vre->engine, surface, kMaxWordIds, wordIds, &count);
        else if (vre->language == 12)
            activated = Brevit_MakeSpokenPhraseActiveU(vre->engine, surface, spoken, kMaxWordIds, wordIds, &count);
        else
            activated = Brevit_MakeNameActiveU(vre->engine, surface, kMaxWordIds, wordIds, &count);
        if (activated == EBrevit_OK || activated == EBrevit_WordNotAdded)
            break;
    }
    if (activated == EBrevit_WordNotAdded)
        return 0;
    if (activated != EBrevit_OK) {
        dvk_vre_log().log(WexLogError, "words of a \"%s\" member refused: %d", className, activated);
        return 1;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0)
            Brevit_RemoveUnreferencedWordIds(vre->engine, 1, nullptr);
        int32_t memberId = 0;
        const EBrevit added = Brevit_AddClassMemberFromIds(vre->engine, className, count, wordIds, 0, 0, &memberId);
        if (added == EBrevit_OK && memberId != 0)
            return 0;
    }
    dvk_vre_log().log(WexLogError, "a \"%s\" member refused", className);
    return 1;
}

int32_t addName(dvk_vre_Recognizer* vre, dvk_constraints_WordClass* wordClass, dvk_constraints_Iterator member)
{
    dvk_ucs2_Char *surface = nullptr, *spoken = nullptr;
    wordClass->getEntry(wordClass, vre->stringTable, member, &surface, &spoken);
    int32_t result = 0;
    if (surface == nullptr)
        result = 1;
    else if (vre->language != 12 || spoken != nullptr)
        result = activateAndAdd(vre, wordClass->name, surface, spoken, false);
    wordClass->freeEntry(wordClass, &surface, &spoken);
    return result;
}

int32_t addPhrase(dvk_vre_Recognizer* vre, dvk_constraints_WordClass* wordClass, dvk_constraints_Iterator member)
{
    dvk_ucs2_Char *surface = nullptr, *spoken = nullptr;
    wordClass->getEntry(wordClass, vre->stringTable, member, &surface, &spoken);
    if (surface == nullptr) {
        wordClass->freeEntry(wordClass, &surface, &spoken);
        return 1;
    }
    int32_t result = 0;
    const dvk_ucs2_Char* start = surface;
    for (;;) {
        const dvk_ucs2_Char* end = start;
        while (*end != 0 && *end != '|')
            ++end;
        // An empty text (a location without a name, "a||b") has nothing to
        // say: it is passed over rather than handed on as a phrase.
        if (end == start) {
            if (*end == 0)
                break;
            start = end + 1;
            continue;
        }
        dvk_ucs2_Char* alternative = dvk_ucs2_create(end - start);
        if (alternative == nullptr) {
            result = 1;
            break;
        }
        dvk_ucs2_strncpy(alternative, start, end - start);
        alternative[end - start] = 0;
        result = activateAndAdd(vre, wordClass->name, alternative, nullptr, true);
        dvk_ucs2_destroy(&alternative);
        if (result != 0 || *end == 0)
            break;
        start = end + 1;
    }
    wordClass->freeEntry(wordClass, &surface, &spoken);
    return result;
}

int32_t addMember(dvk_vre_Recognizer* vre, dvk_constraints_WordClass* wordClass,
                          dvk_constraints_Iterator member)
{
    switch (wordClass->memberType) {
    case 0:
        return addName(vre, wordClass, member);
    case 1:
        return addPhrase(vre, wordClass, member);
    default:
        return 0;
    }
}

int32_t deleteConstraint(dvk_vre_Recognizer* vre, const dvk_constraints_Constraint* constraint)
{
    int32_t index = -1;
    if (Brevit_FindConstraint(vre->engine, constraint->name, &index) != EBrevit_OK)
        return 1;
    if (index != -1 && Brevit_DeleteConstraint(vre->engine, index) != EBrevit_OK) {
        dvk_vre_log().log(WexLogError, "constraint \"%s\" not deleted", constraint->name);
        return 1;
    }
    return 0;
}

}  // namespace

int32_t getConstraintIrClassCount(const dvk_constraints_Constraint* constraint)
{
    int32_t count = 0;
    for (dvk_constraints_WordClass** c = constraint->wordClasses; *c != nullptr; ++c) {
        if ((*c)->memberType == 2)
            ++count;
    }
    return count;
}

int32_t dvk_vre_addConstraintSet(dvk_vre_Recognizer* vre, dvk_constraints_Constraint** constraints,
                                 dvk_msg_Event doneEvent, dvk_msg_Event errorEvent)
{
    DVK_ASSERT(vre != DVK_NULL);
    DVK_ASSERT(constraints != DVK_NULL);
    DVK_ASSERT(doneEvent != DVK_NULL);
    DVK_ASSERT(errorEvent != DVK_NULL);
    vre->doneEvent = doneEvent;
    vre->errorEvent = errorEvent;
    vre->rebuildInProgress = 1;
    vre->numConstraints = 0;
    vre->currentConstraint = constraints;
    vre->currentMember = 0;
    vre->currentClass = nullptr;
    Brevit_GrammarClear(vre->engine);
    for (dvk_constraints_Constraint** c = constraints; *c != nullptr; ++c) {
        for (dvk_constraints_WordClass** w = (*c)->wordClasses; *w != nullptr; ++w) {
            if ((*w)->rebuildAlways != 1)
                continue;
            int32_t exists = 0, members = 0, removed = 0;
            if (Brevit_ClassExists(vre->engine, (*w)->name, &exists) == EBrevit_OK && exists &&
                Brevit_ClassGetNumMembers(vre->engine, (*w)->name, &members) == EBrevit_OK && members > 0)
                Brevit_RemoveClassMembers(vre->engine, (*w)->name, &removed);
        }
    }
    if (sendRebuildMessage(vre, nextConstraintHandler) != 0) {
        vre->rebuildInProgress = 0;
        return 1;
    }
    return 0;
}

int32_t dvk_vre_stopConstraintRebuild(dvk_vre_Recognizer* vre, dvk_msg_Event event)
{
    DVK_ASSERT(vre != DVK_NULL);
    DVK_ASSERT(event != DVK_NULL);
    if (vre->rebuildInProgress)
        vre->pendingStopEvent = event;
    else
        dvk_msg_sendEvent(event, dvk_msg_getDvkAddr());
    return 0;
}

int32_t dvk_vre_deleteConstraintSet(dvk_vre_Recognizer* vre, dvk_constraints_Constraint** constraints)
{
    DVK_ASSERT(vre != DVK_NULL);
    DVK_ASSERT(constraints != DVK_NULL);
    for (dvk_constraints_Constraint** c = constraints; *c != nullptr; ++c) {
        if (deleteConstraint(vre, *c) != 0)
            return 1;
        vre->needsSave = 1;
    }
    return 0;
}

int32_t dvk_vre_deleteAllConstraints(dvk_vre_Recognizer* vre)
{
    DVK_ASSERT(vre != DVK_NULL);
    const EBrevit deleted = Brevit_DeleteAllConstraints(vre->engine);
    vre->needsSave = 1;
    return deleted == EBrevit_OK ? 0 : 1;
}

int32_t dvk_vre_rebuildMembers(dvk_vre_Recognizer* vre, dvk_constraints_Constraint* constraint)
{
    DVK_ASSERT(vre != DVK_NULL);
    DVK_ASSERT(constraint != DVK_NULL);
    for (dvk_constraints_WordClass** w = constraint->wordClasses; *w != nullptr; ++w) {
        dvk_constraints_WordClass* wordClass = *w;
        if (isBoundary(wordClass->name))
            continue;
        int32_t exists = 0, members = 0, removed = 0;
        if (Brevit_ClassExists(vre->engine, wordClass->name, &exists) != EBrevit_OK)
            return 1;
        if (!exists)
            continue;
        if (Brevit_ClassGetNumMembers(vre->engine, wordClass->name, &members) != EBrevit_OK)
            return 1;
        if (members > 0 && Brevit_RemoveClassMembers(vre->engine, wordClass->name, &removed) != EBrevit_OK)
            return 1;
        if (wordClass->getFirst == nullptr)
            continue;
        for (dvk_constraints_Iterator it = wordClass->getFirst(wordClass); it != 0;
             it = wordClass->getNext(wordClass, it)) {
            if (addMember(vre, wordClass, it) != 0)
                return 1;
        }
    }
    return 0;
}
