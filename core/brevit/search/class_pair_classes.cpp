// What the recogniser asks of the classes of class-pair constraints before a
// search: their words, whether one loops on itself, their prons in the pron
// cache, their flags and whether a lexical tree is due.
#include "core/brevit/search/class_pair_constraint.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/constraint_class.h"

#include <cstring>

namespace {

ClassPairConstraint* asPair(Constraint* con) { return reinterpret_cast<ClassPairConstraint*>(con); }

bool isPair(const Constraint* con) { return con != nullptr && con->type == kConstraintTypeClassPair; }

// Bytes of the loop class's name in the parameter block.
constexpr size_t kLoopClassNameBytes = 30;

// Walks the classes of con in order, descending once into the constraint of
// each constraint class; f answers true to stop.
template <typename F>
bool anyClass(Constraint* con, F f, int32_t depth = 0)
{
    ClassPairConstraint* c = asPair(con);
    for (int32_t k = 1; k < c->classCount; ++k) {
        const uint32_t id = c->classIds[k];
        if (ClassManager_IsConstraintRef(id) != 0) {
            Constraint* sub = ClassManager_GetConstraintOfRef(con->classManager, id);
            if (depth < 8 && isPair(sub) && anyClass(sub, f, depth + 1))
                return true;
            continue;
        }
        if (f(id))
            return true;
    }
    return false;
}

} // namespace

int32_t ClassPairConstraint_CollectWordIds(Constraint* con, uint16_t* buffer, int32_t room)
{
    ClassPairConstraint* c = asPair(con);
    int32_t total = 0;
    for (int32_t k = 1; k < c->classCount; ++k) {
        const ConstraintClass* record = ClassManager_GetClass(con->classManager, c->classIds[k]);
        if (record == nullptr)
            continue;
        if (buffer != nullptr) {
            // Only what fits; the total still counts every id.
            for (int32_t i = 0; i < record->numWords && total + i < room; ++i)
                buffer[total + i] = ConstraintClass_WordAt(record, i);
        }
        total += record->numWords;
    }
    return total;
}

int32_t ClassPairConstraint_HasLoopClass(Constraint* con)
{
    if (gpBrevitGlobalParameters == nullptr)
        return 0;
    char name[kLoopClassNameBytes + 1] = {};
    std::memcpy(name, &gpBrevitGlobalParameters->words[kBrevitParamSelfLoopClassName], kLoopClassNameBytes);
    if (name[0] == '\0')
        return 0;
    const int32_t id = ClassManager_FindClass(con->classManager, name);
    if (id <= 0)
        return 0;
    return ClassPairConstraint_HasTransition(con, static_cast<uint32_t>(id), static_cast<uint32_t>(id)) != 0 ? 1 : 0;
}

void ClassPairConstraint_FillPronCache(Constraint* con, PronCache* cache)
{
    ClassPairConstraint* c = asPair(con);
    for (int32_t k = 1; k < c->classCount; ++k)
        ClassManager_FillPronCacheForClass(con->classManager, cache, c->classIds[k]);
}

void ClassPairConstraint_FindFirstFlaggedClass(Constraint* const* array, int32_t n, int32_t* found, int32_t* values)
{
    for (int32_t k = 0; k < n; ++k) {
        found[k] = 0;
        values[k] = 0;
        Constraint* con = array[k];
        if (!isPair(con))
            continue;
        ClassManager* manager = con->classManager;
        anyClass(con, [&](uint32_t id) {
            if (ClassManager_GetClass(manager, id) == nullptr || ClassManager_GetClassFlagA(manager, id) == 0)
                return false;
            found[k] = 1;
            values[k] = ClassManager_GetClassFlagB(manager, id);
            return true;
        });
    }
}

int32_t ClassPairConstraint_ClassesNeedLexTree(Constraint* con)
{
    ClassPairConstraint* c = asPair(con);
    for (int32_t k = 1; k < c->classCount; ++k)
        if (ClassManager_TreeNeedsRebuild(con->classManager, c->classIds[k]) != 0)
            return 1;
    return 0;
}
