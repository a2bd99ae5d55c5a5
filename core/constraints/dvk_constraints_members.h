// The member callbacks of the static word classes that live beside the
// tables: digits, "+" and recent-call numbers (dvk_constraints_digitsplus),
// contacts, locations and groups from the phonebook
// (dvk_constraints_auxnames). Internal to the constraints module.
#pragma once

#include "core/constraints/dvk_constraints_records.h"
#include "core/utils/dvk_ucs2.h"

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

// A recent-call number as the "fn" class speaks it: only its digits and
// "+", with a blank after a kept character whenever the number's next
// character is a digit. A new text (empty when nothing is kept); none when
// memory is short.
dvk_ucs2_Char* formatRecentCallNumber(const dvk_ucs2_Char* number);
