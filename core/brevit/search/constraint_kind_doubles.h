// Readers of stored constraint records that tests may put in place of the
// kinds' own: with a set installed, the whole-vocabulary and class-pair
// readers hand each stored record to it first, so that tests may store
// scripted records of those types.
#pragma once

#include <cstdint>

struct BinFileReader;
struct ClassManager;
struct Constraint;
struct Voc;

struct ConstraintKindDoubles {
    Constraint* (*wholeVocReadFromBinFile)(BinFileReader* reader, Voc* vocabulary);
    Constraint* (*classPairReadFromBinFile)(BinFileReader* reader, ClassManager* classManager);
    Constraint* (*classPairReadFromConstraintFile)(BinFileReader* reader, ClassManager* classManager);
};

// Installs doubles (null: none) and returns the previous set.
const ConstraintKindDoubles* ConstraintKinds_InstallDoubles(const ConstraintKindDoubles* doubles);
// The installed set, null when none.
const ConstraintKindDoubles* ConstraintKinds_InstalledDoubles();
