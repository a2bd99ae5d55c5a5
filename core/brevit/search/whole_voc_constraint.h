// Whole-vocabulary constraint (type 2): any active word, or exactly one.
#pragma once

struct BinFileReader;
struct Constraint;
struct Voc;

// One stored record of "bcm0"; null on any failure.
Constraint* WholeVocConstraint_ReadFromBinFile(BinFileReader* reader, Voc* vocabulary);
