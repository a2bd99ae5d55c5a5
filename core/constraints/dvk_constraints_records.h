// The suite's grammar records: a constraint (a list of word classes with
// weighted transitions) and a word class (members reached through iterator
// callbacks). Static ones are compiled in; dynamic ones live in a dynamic
// constraint table.
#pragma once

#include "sdk/common/dvk_types.h"

#include <cstdint>

struct dvk_string_Table;
struct dvk_constraints_WordClass;
struct dvk_constraints_RuleSet;  // dvk_constraints.h

typedef intptr_t dvk_constraints_Iterator;  // opaque, non-zero; 0: none

struct dvk_constraints_WordClass {
    const char* name;
    dvk_constraints_Iterator (*getFirst)(dvk_constraints_WordClass* wordClass);
    void (*getEntry)(dvk_constraints_WordClass* wordClass, dvk_string_Table* strings,
                     dvk_constraints_Iterator iterator, dvk_ucs2_Char** surface,
                     dvk_ucs2_Char** spoken);
    void (*freeEntry)(dvk_constraints_WordClass* wordClass, dvk_ucs2_Char** surface,
                      dvk_ucs2_Char** spoken);
    dvk_constraints_Iterator (*getNext)(dvk_constraints_WordClass* wordClass,
                                        dvk_constraints_Iterator iterator);
    int32_t rebuildAlways;
    int32_t memberType;  // 0 names, 1 phrases, 2 music items
    int32_t provider;
    int32_t noSeparator;
    int32_t key;         // value slot in n-best entries; 7 fillers
    void* context;       // dynamic classes only
};

struct dvk_constraints_Constraint {
    int32_t id;  // static 0..65; dynamic -2 downwards
    const char* name;
    dvk_constraints_WordClass** wordClasses;  // null-ended
    const void* transitions;                  // static triples, or the dynamic table
    dvk_constraints_RuleSet* (*rulesProvider)();  // or none
    int32_t rebuildAlways;
    int32_t option;
    int32_t dynamic;
    const dvk_constraints_Constraint* source;  // the static record a copy came from
};
