// The member callbacks of the static word classes that live beside the
// tables: digits, "+" and recent-call numbers (dvk_constraints_digitsplus),
// contacts, locations and groups from the phonebook
// (dvk_constraints_auxnames). Internal to the constraints module.
#pragma once

#include "core/constraints/dvk_constraints_records.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_settings.h"

// A callback family of one member source.
#define DVK_CONSTRAINTS_MEMBER_SOURCE(source)                                                      \
    dvk_constraints_Iterator source##_getFirst(dvk_constraints_WordClass* wordClass);             \
    void source##_getEntry(dvk_constraints_WordClass* wordClass, dvk_string_Table* strings,       \
                           dvk_constraints_Iterator iterator, dvk_ucs2_Char** surface,            \
                           dvk_ucs2_Char** spoken);                                                \
    void source##_freeEntry(dvk_constraints_WordClass* wordClass, dvk_ucs2_Char** surface,        \
                            dvk_ucs2_Char** spoken);                                               \
    dvk_constraints_Iterator source##_getNext(dvk_constraints_WordClass* wordClass,               \
                                              dvk_constraints_Iterator iterator);

DVK_CONSTRAINTS_MEMBER_SOURCE(digits)
DVK_CONSTRAINTS_MEMBER_SOURCE(plus)
DVK_CONSTRAINTS_MEMBER_SOURCE(fn)
DVK_CONSTRAINTS_MEMBER_SOURCE(contacts)
DVK_CONSTRAINTS_MEMBER_SOURCE(modifiedContacts)
DVK_CONSTRAINTS_MEMBER_SOURCE(locations)
DVK_CONSTRAINTS_MEMBER_SOURCE(groups)

#undef DVK_CONSTRAINTS_MEMBER_SOURCE

// Frees what a getEntry made (surface and spoken form; either may be none).
inline void freeCopiedEntry(dvk_constraints_WordClass*, dvk_ucs2_Char** surface,
                            dvk_ucs2_Char** spoken)
{
    if (surface != nullptr)
        dvk_ucs2_destroy(surface);
    if (spoken != nullptr)
        dvk_ucs2_destroy(spoken);
}

// Feature-gated lists (static and dynamic classes alike): 1-based position
// p of `count` is a member when its feature is 68 (always) or enabled; with
// no feature list every position is.
inline bool isGatedMember(const int32_t* features, int32_t count, dvk_constraints_Iterator position)
{
    if (position < 1 || position > count)
        return false;
    const int32_t feature = features != nullptr ? features[position - 1] : 68;
    return feature == 68 || dvk_settings_isFeatureEnabled(feature) == 1;
}

// The first member at or after a position; 0 when none is left.
inline dvk_constraints_Iterator gatedMemberFrom(const int32_t* features, int32_t count,
                                                dvk_constraints_Iterator position)
{
    for (; position >= 1 && position <= count; ++position) {
        if (isGatedMember(features, count, position))
            return position;
    }
    return 0;
}

// A recent-call number as the "fn" class speaks it: only its digits and
// "+", with a blank after a kept character whenever the number's next
// character is a digit. A new text (empty when nothing is kept); none when
// memory is short.
dvk_ucs2_Char* formatRecentCallNumber(const dvk_ucs2_Char* number);
