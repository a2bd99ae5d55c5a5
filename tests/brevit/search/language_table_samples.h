// The sample models of the language table tests and fuzz seeds: a "blid0"
// model over the letters a, b, c in both modes with its trees, and a "bep0"
// table with a digit entry and a letter entry.
#pragma once

#include "tests/support/language_table_writers.h"

#include <string>
#include <utility>
#include <vector>

namespace language_samples {

using namespace search_tables;
using language_tables::BepEntry;
using language_tables::BepFields;
using language_tables::LIDFields;

// Symbol sets: 1 = {a}, 2 = {b} (symbols a 1, b 2, c 3).
inline RewriteFields letterSets()
{
    return rewrites({{}, {{1}}, {{2}}});
}

// On the centre symbol: a -> (1, 2), (2, 9); b -> (1, 7), (2, 3); else (1, 4).
inline TreeFields centreTree(int32_t position = 1)
{
    return tree(ask(1, position, pairLeaf({{1, 2}, {2, 9}}),
                    ask(2, position, pairLeaf({{1, 7}, {2, 3}}), pairLeaf({{1, 4}}))),
                letterSets(), kTreeStd);
}

// On the previous symbol: a -> (1, 1), (2, 50); else (1, 20), (2, 1).
inline TreeFields previousTree()
{
    return tree(ask(1, 0, pairLeaf({{1, 1}, {2, 50}}), pairLeaf({{1, 20}, {2, 1}})), letterSets(),
                kTreeStd);
}

inline const std::vector<std::pair<std::string, uint16_t>> kBytes = {{"a", 1}, {"b", 2}, {"c", 3}};

inline LIDFields byteModel(TreeFields t = centreTree(), std::vector<std::string> languages = {"enus", "dede"})
{
    return language_tables::lidModel(languages, {{"zz", 2}}, kBytes, true, 3, std::move(t));
}

inline LIDFields utf8Model()
{
    return language_tables::lidModel({"enus", "dede"}, {{"zz", 2}},
                                     {{"a", 1}, {"b", 2}, {"\xC3\xA9", 3}}, false, 3, centreTree());
}

// "digits": separator space, mark 5, boundary 9, flags of 11 and 13 set;
// "1" 11, "2" 12, "12" 13 14, "x" 5, "-" 9 9.
inline BepEntry digits()
{
    return language_tables::bepEntry("digits", ' ', 5, 9, {11, 13},
                                     {{u"1", {11}}, {u"2", {12}}, {u"12", {13, 14}}, {u"x", {5}},
                                      {u"-", {9, 9}}});
}

// "letters": no separator, boundary or mark; "a" 15, "b" 16 9 9.
inline BepEntry letters()
{
    return language_tables::bepEntry("letters", 0, 0, 0, {}, {{u"a", {15}}, {u"b", {16, 9, 9}}});
}

inline BepFields sample()
{
    return language_tables::bepTable({digits(), letters()});
}

} // namespace language_samples
