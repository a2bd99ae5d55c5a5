// Garbage states: a class-pair position whose class has a member starting
// with the vocabulary's garbage word.
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/constraint.h"
#include "core/brevit/search/linch_search.h"
#include "core/brevit/search/search_lexicon_calls.h"

int32_t Constraint_IsGarbageState(Constraint* con, int32_t, uint32_t low, uint32_t high)
{
    if (con == nullptr || Constraint_GetType(con) != kConstraintTypeClassPair || con->classManager == nullptr)
        return 0;
    const Voc* voc = ClassManager_GetVocabulary(con->classManager);
    if (voc == nullptr)
        return 0;
    const int32_t pron = Voc_GetFirstPronId(voc, Voc_GetGarbageId(voc));
    if (pron < 0 || pron >= kLinChNoPron)
        return 0;
    const uint16_t garbage = Voc_GetActiveIdFromPronId(voc, pron, nullptr);
    if (garbage == kLinChNoPron)
        return 0;
    const uint32_t classId = ActiveId_GetState(ActiveId_FromWords(high & ~kLinChFinalBit, low));
    return ClassManager_HasMemberStartingWith(con->classManager, classId, garbage) != 0 ? 1 : 0;
}
