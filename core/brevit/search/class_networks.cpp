// Class networks: the generated-name odometer and member runs by first word.
#include "core/brevit/search/class_networks.h"

#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_manager_tables.h"
#include "core/brevit/search/constraint_class.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <cstring>

namespace {

char sVarBaseName[kClassBaseNameLength + 1] = " aaaaaaaa";

bool nameTaken(const ClassManager* m, const char* base)
{
    for (int32_t id = 1; id <= m->maxId; ++id) {
        if (!ClassManager_IsNamed(m, static_cast<uint32_t>(id)))
            continue;
        const char* name = ClassManager_Entry<char*>(m->names, static_cast<uint32_t>(id));
        if (std::strncmp(name, base, kClassBaseNameLength) == 0)
            return true;
    }
    return false;
}

} // namespace

void ClassManager_StepBaseName(char* name)
{
    for (int32_t i = kClassBaseNameLength - 1; i >= 1; --i) {
        if (name[i] != 'z') {
            ++name[i];
            return;
        }
        name[i] = 'a';
    }
}

const char* ClassManager_NextVarBaseName(const ClassManager* manager)
{
    // Bounded by the names in use: each taken base is skipped once.
    do
        ClassManager_StepBaseName(sVarBaseName);
    while (manager != nullptr && nameTaken(manager, sVarBaseName));
    return sVarBaseName;
}

int32_t ClassManager_IsGeneratedClassName(const char* name)
{
    if (name == nullptr || name[0] != ' ')
        return 0;
    for (int32_t i = 1; i < kClassBaseNameLength; ++i)
        if (name[i] == '\0' || name[i] > 'z')
            return 0;
    return 1;
}

int32_t ClassManager_FindMembersStartingWithPron(ClassManager* manager, uint32_t id, uint16_t pronId,
                                                 int32_t* firstMember, int32_t* runLength, int32_t* hasSingleWord)
{
    *firstMember = 0;
    *runLength = 0;
    *hasSingleWord = 0;
    if (ClassManager_IsConstraintRef(id) != 0 || ClassManager_FinishEdit(manager) == 0)
        return 0;
    const ConstraintClass* c = ClassManager_GetClass(manager, id);
    if (c == nullptr || c->numMembers <= 0)
        return 0;
    const uint16_t word = Voc_GetActiveIdFromPronId(ClassManager_GetVocabulary(manager), pronId, nullptr);
    int32_t low = 0;
    int32_t high = c->numMembers;
    while (low < high) {
        const int32_t mid = low + (high - low) / 2;
        if (ConstraintClass_GetStartActiveId(c, mid) < word)
            low = mid + 1;
        else
            high = mid;
    }
    *firstMember = low;
    int32_t n = 0;
    while (low + n < c->numMembers && ConstraintClass_GetStartActiveId(c, low + n) == word) {
        if (ConstraintClass_MemberLength(c, low + n) == 1)
            *hasSingleWord = 1;
        ++n;
    }
    *runLength = n;
    return n > 0 ? 1 : 0;
}
