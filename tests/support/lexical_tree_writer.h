// The lexical tree model file "blt0" for tests, fuzz seeds and benchmarks:
// its records from a spec or from a built tree object, each record
// droppable, cut short or miscounted.
//
// Header-only; no test-framework dependency.
#pragma once

#include "core/brevit/lexicon/lex_tree.h"
#include "core/brevit/runtime/bin_file_writer.h"

#include <array>
#include <cstdint>
#include <vector>

namespace lexical_tree_writer {

struct Tree {
    uint32_t deepestLevel = 0;
    std::vector<uint32_t> depthTable;   // its size is the depth capacity
    uint32_t arcsInUse = 0;
    uint32_t level0Arcs = 1;
    uint32_t numProns = 0;
    uint32_t expandedSize = 0;
    std::vector<LexArc> arcs;           // its size is the arc capacity
    std::vector<uint8_t> lookahead;     // as many as arcs
    uint8_t rootLookahead = 0;
};

struct Spec {
    uint32_t truncated = 0;
    uint32_t headerWord = 0;
    uint32_t runTime = 0;
    uint32_t best = 255;
    std::vector<Tree> trees;
    int32_t treeCount = -1;   // the stored T; trees.size() when negative

    // Damage: the record of this index is left out, cut to half its bytes,
    // or stored with one element more than its count says (-1: none).
    int32_t drop = -1;
    int32_t cut = -1;
    int32_t miscount = -1;
};

// Two-arc tree: root (silence model s) and terminator.
inline Tree emptyTree(uint16_t silence = 0)
{
    Tree t;
    t.depthTable = {0, 0, 0, 0, 0};
    t.arcsInUse = 2;
    t.arcs = {{silence, 1}, {0, 1}};
    t.lookahead = {0, 0};
    return t;
}

inline Spec fromObject(const LexTree* tree)
{
    Spec s;
    s.truncated = static_cast<uint32_t>(tree->truncated);
    s.headerWord = tree->headerWord;
    s.runTime = static_cast<uint32_t>(tree->hasDynamicTree);
    s.best = tree->bestLookahead;
    for (int32_t i = 0; i < tree->numTrees; ++i) {
        Tree t;
        t.deepestLevel = tree->deepestLevel[i];
        t.depthTable.assign(tree->depthTable[i], tree->depthTable[i] + tree->depthCapacity[i]);
        t.arcsInUse = tree->arcsInUse[i];
        t.level0Arcs = tree->level0Arcs[i];
        t.numProns = tree->numProns[i];
        t.expandedSize = tree->expandedSize[i];
        t.arcs.assign(tree->arcs[i], tree->arcs[i] + tree->arcCapacity[i]);
        t.lookahead.assign(tree->lookahead[i], tree->lookahead[i] + tree->arcCapacity[i]);
        t.rootLookahead = tree->rootLookahead[i];
        s.trees.push_back(t);
    }
    return s;
}

// The number of records write() stores for a spec.
inline int32_t recordCount(const Spec& s)
{
    const auto T = static_cast<int32_t>(s.trees.size());
    return 5 + 2 + T + 5 + T + T + 1;
}

inline bool write(BinFileWriter* w, const Spec& s)
{
    int32_t record = 0;
    bool ok = true;
    // One scalar record.
    auto word = [&](uint32_t v) {
        const int32_t r = record++;
        if (r == s.drop)
            return;
        ok = ok && BinFileWriter_WriteUnsignedInt(w, v) != 0;
    };
    // One array record of count elements of size bytes each.
    auto array = [&](const void* data, uint32_t count, uint32_t size) {
        const int32_t r = record++;
        if (r == s.drop)
            return;
        std::vector<uint8_t> bytes(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + count * size);
        if (r == s.miscount)
            bytes.resize(bytes.size() + size, 0);
        if (r == s.cut) {
            ok = ok && BinFileWriter_WriteUnsignedInt(w, static_cast<uint32_t>(bytes.size())) != 0 &&
                 BinFileWriter_WriteRaw(w, static_cast<uint32_t>(bytes.size() / 2), bytes.data()) != 0;
            return;
        }
        ok = ok && BinFileWriter_WriteArray(w, bytes.data(), static_cast<uint32_t>(bytes.size() / size), size) != 0;
    };
    auto column = [&](auto field) {
        std::array<uint32_t, 16> c{};
        for (size_t i = 0; i < s.trees.size() && i < 16; ++i)
            c[i] = field(s.trees[i]);
        array(c.data(), 16, 4);
    };
    word(s.truncated);
    word(s.headerWord);
    word(s.treeCount >= 0 ? static_cast<uint32_t>(s.treeCount) : static_cast<uint32_t>(s.trees.size()));
    word(s.runTime);
    word(s.best);
    column([](const Tree& t) { return t.deepestLevel; });
    column([](const Tree& t) { return static_cast<uint32_t>(t.depthTable.size()); });
    for (const Tree& t : s.trees)
        array(t.depthTable.data(), static_cast<uint32_t>(t.depthTable.size()), 4);
    column([](const Tree& t) { return static_cast<uint32_t>(t.arcs.size()); });
    column([](const Tree& t) { return t.arcsInUse; });
    column([](const Tree& t) { return t.level0Arcs; });
    column([](const Tree& t) { return t.numProns; });
    column([](const Tree& t) { return t.expandedSize; });
    for (const Tree& t : s.trees) {
        std::vector<uint16_t> halves;
        for (const LexArc& a : t.arcs) {
            halves.push_back(a.model);
            halves.push_back(a.next);
        }
        array(halves.data(), static_cast<uint32_t>(halves.size()), 2);
    }
    for (const Tree& t : s.trees)
        array(t.lookahead.data(), static_cast<uint32_t>(t.lookahead.size()), 1);
    std::array<uint8_t, 16> roots{};
    for (size_t i = 0; i < s.trees.size() && i < 16; ++i)
        roots[i] = s.trees[i].rootLookahead;
    array(roots.data(), 16, 1);
    return ok;
}

} // namespace lexical_tree_writer
