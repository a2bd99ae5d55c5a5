// Writers of the engine's small model tables (rewrite lists, index tables,
// symbol tables, decision trees, phone rewrite rules, n-dimensional tables)
// in the records their loaders read. Each table is first built as its plain
// fields from a readable description; tests damage a field before writing.
// An empty array is written as an absent one.
//
// Header-only and free of the test framework: benchmarks and fuzz seeds use
// it too. Needs an engine context while writing.
#pragma once

#include "core/brevit/runtime/bin_file_writer.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace search_tables {

template <typename T>
bool writeArray(BinFileWriter* w, const std::vector<T>& a)
{
    return BinFileWriter_WriteArray(w, a.empty() ? nullptr : a.data(),
                                    static_cast<uint32_t>(a.size()), sizeof(T)) == 1;
}

// ---- Rewrite lists ---------------------------------------------------------

struct RewriteFields {
    int32_t idCount = 0;
    int32_t dataLength = 0;
    int32_t nRewrites = 0;
    int32_t option = 0;
    std::vector<uint32_t> offsets;
    std::vector<uint16_t> data;
};

using Alternatives = std::vector<std::vector<uint16_t>>;

// One entry per id, in id order: its alternatives (none: no rewrites).
inline RewriteFields rewrites(const std::vector<Alternatives>& ids, int32_t option = 0)
{
    RewriteFields f;
    f.option = option;
    for (const Alternatives& alternatives : ids) {
        f.offsets.push_back(static_cast<uint32_t>(f.data.size()));
        for (size_t k = 0; k < alternatives.size(); ++k) {
            if (k > 0)
                f.data.push_back(0xFFFE);
            f.data.insert(f.data.end(), alternatives[k].begin(), alternatives[k].end());
            ++f.nRewrites;
        }
        f.data.push_back(0xFFFF);
    }
    f.idCount = static_cast<int32_t>(ids.size());
    f.dataLength = static_cast<int32_t>(f.data.size());
    return f;
}

inline bool write(BinFileWriter* w, const RewriteFields& f)
{
    return BinFileWriter_WriteInt(w, f.idCount) && BinFileWriter_WriteInt(w, f.dataLength) &&
           BinFileWriter_WriteInt(w, f.nRewrites) && BinFileWriter_WriteInt(w, f.option) &&
           writeArray(w, f.offsets) && writeArray(w, f.data);
}

// ---- Index tables ----------------------------------------------------------

struct IndexFields {
    int32_t count = 0;
    std::vector<uint16_t> entries;
};

// count = entries - 1.
inline IndexFields indexTable(const std::vector<uint16_t>& entries)
{
    return {static_cast<int32_t>(entries.size()) - 1, entries};
}

inline bool write(BinFileWriter* w, const IndexFields& f)
{
    return BinFileWriter_WriteInt(w, f.count) && writeArray(w, f.entries);
}

// ---- Symbol tables ---------------------------------------------------------

template <typename Char>
struct SymbolFields {
    int32_t count = 0;
    int32_t sorted = 1;
    std::vector<uint32_t> ids;
    std::vector<uint32_t> order;
    int32_t poolLength = 0;
    std::vector<Char> pool;
};

// Names with their ids; the pool is sorted in the engine's code-unit order.
// positional: the ids are the positions (sorted flag, no tables).
template <typename Char>
SymbolFields<Char> symbols(std::vector<std::pair<std::basic_string<Char>, uint32_t>> named,
                           bool positional)
{
    using Unit = std::make_unsigned_t<Char>;
    std::sort(named.begin(), named.end(), [](const auto& a, const auto& b) {
        return std::lexicographical_compare(
            a.first.begin(), a.first.end(), b.first.begin(), b.first.end(),
            [](Char x, Char y) { return static_cast<Unit>(x) < static_cast<Unit>(y); });
    });
    SymbolFields<Char> f;
    f.count = static_cast<int32_t>(named.size());
    f.sorted = positional ? 1 : 0;
    if (!positional) {
        f.ids.assign(named.size() + 1, 0);
        f.order.assign(named.size() + 1, 0);
    }
    for (size_t k = 0; k < named.size(); ++k) {
        f.pool.insert(f.pool.end(), named[k].first.begin(), named[k].first.end());
        f.pool.push_back(0);
        if (!positional) {
            f.ids[k + 1] = named[k].second;
            if (named[k].second < f.order.size())
                f.order[named[k].second] = static_cast<uint32_t>(k + 1);
        }
    }
    f.poolLength = static_cast<int32_t>(f.pool.size());
    return f;
}

// Ids by position in the sorted pool.
template <typename Char>
SymbolFields<Char> sortedSymbols(const std::vector<std::basic_string<Char>>& names)
{
    std::vector<std::pair<std::basic_string<Char>, uint32_t>> named;
    for (const auto& name : names)
        named.emplace_back(name, 0);
    return symbols<Char>(named, true);
}

template <typename Char>
bool write(BinFileWriter* w, const SymbolFields<Char>& f)
{
    return BinFileWriter_WriteLong(w, f.count) && BinFileWriter_WriteInt(w, f.sorted) &&
           writeArray(w, f.ids) && writeArray(w, f.order) &&
           BinFileWriter_WriteInt(w, f.poolLength) && writeArray(w, f.pool);
}

// ---- Decision trees --------------------------------------------------------

// A nested tree: no children is a leaf (a MINI class, or STD pairs);
// children[0] answers yes, children[1] no.
struct TreeNode {
    int32_t question = 0;
    int32_t position = 0;
    uint16_t leafClass = 0;
    std::vector<std::pair<uint16_t, uint8_t>> pairs;
    std::vector<TreeNode> children;

    bool leaf() const { return children.empty(); }
};

inline TreeNode classLeaf(uint16_t leafClass)
{
    TreeNode n;
    n.leafClass = leafClass;
    return n;
}

inline TreeNode pairLeaf(std::vector<std::pair<uint16_t, uint8_t>> pairs)
{
    TreeNode n;
    n.pairs = std::move(pairs);
    return n;
}

inline TreeNode ask(int32_t question, int32_t position, TreeNode yes, TreeNode no)
{
    TreeNode n;
    n.question = question;
    n.position = position;
    n.children.push_back(std::move(yes));
    n.children.push_back(std::move(no));
    return n;
}

inline constexpr int32_t kTreeStd = 0;
inline constexpr int32_t kTreeMini = 1;

struct TreeFields {
    int32_t encoding = kTreeMini;
    int32_t header = 0;
    RewriteFields sets;
    int32_t nodeCount = 0;
    std::vector<uint16_t> nodes;
    // STD only.
    int32_t shift = 0;
    int32_t leafCount = 0;
    std::vector<uint16_t> ranks;
    std::vector<uint16_t> leafValues;
    std::vector<uint8_t> leafBytes;
};

// Nodes breadth-first, so that the rank-r internal node's children sit at
// 2r - 1 and 2r; ranks in nibbles (MINI) or a table of 2^shift blocks (STD).
inline TreeFields tree(const TreeNode& root, RewriteFields sets, int32_t encoding,
                       int32_t shift = 0)
{
    TreeFields f;
    f.encoding = encoding;
    f.sets = std::move(sets);
    f.shift = shift;
    std::deque<const TreeNode*> queue{&root};
    std::vector<bool> internal;
    while (!queue.empty()) {
        const TreeNode* node = queue.front();
        queue.pop_front();
        internal.push_back(!node->leaf());
        if (!node->leaf()) {
            const int32_t positionBits = encoding == kTreeMini ? 0x7 : 0x7F;
            f.nodes.push_back(static_cast<uint16_t>((node->question & 0xFF) |
                                                    ((node->position & positionBits) << 8)));
            queue.push_back(&node->children[0]);
            queue.push_back(&node->children[1]);
        } else if (encoding == kTreeMini) {
            f.nodes.push_back(static_cast<uint16_t>(0x8000 | (node->leafClass & 0x7FF)));
        } else {
            for (const auto& [value, byte] : node->pairs) {
                f.leafValues.push_back(value);
                f.leafBytes.push_back(byte);
            }
            f.nodes.push_back(static_cast<uint16_t>(0x8000 | f.leafValues.size()));
        }
    }
    f.nodeCount = static_cast<int32_t>(f.nodes.size());
    f.leafCount = static_cast<int32_t>(f.leafValues.size());
    std::vector<uint32_t> before(f.nodes.size() + 1, 0);   // internal nodes before index i
    for (size_t i = 0; i < internal.size(); ++i)
        before[i + 1] = before[i] + (internal[i] ? 1 : 0);
    if (encoding == kTreeMini) {
        for (size_t b = 4; b <= f.nodes.size(); b += 4)
            for (size_t k = 0; k < 4; ++k)
                f.nodes[b - 4 + k] |= static_cast<uint16_t>(((before[b] >> (12 - 4 * k)) & 0xF) << 11);
    } else {
        const size_t entries = (f.nodes.size() - 1 + (size_t{1} << shift)) >> shift;
        for (size_t k = 0; k < entries; ++k)
            f.ranks.push_back(static_cast<uint16_t>(before[std::min(k << shift, f.nodes.size())]));
    }
    return f;
}

inline bool write(BinFileWriter* w, const TreeFields& f)
{
    bool ok = BinFileWriter_WriteInt(w, f.encoding) && BinFileWriter_WriteInt(w, f.header) &&
              write(w, f.sets) && BinFileWriter_WriteInt(w, f.nodeCount);
    if (f.encoding == kTreeMini)
        return ok && writeArray(w, f.nodes);
    return ok && BinFileWriter_WriteInt(w, f.shift) && BinFileWriter_WriteInt(w, f.leafCount) &&
           writeArray(w, f.nodes) && writeArray(w, f.ranks) && writeArray(w, f.leafValues) &&
           writeArray(w, f.leafBytes);
}

// ---- Phone rewrite rules ---------------------------------------------------

struct PhoneRule {
    std::vector<uint16_t> left;
    std::vector<uint16_t> right;
};

struct PhoneRewriteFields {
    int32_t ruleCount = 0;
    int32_t leftLength = 0;
    int32_t rightLength = 0;
    int32_t symbolCount = 0;
    int32_t boundary = 0;
    int32_t longestLeft = 0;
    int32_t factor = 1;
    std::vector<uint32_t> leftOffsets;
    std::vector<uint32_t> rightOffsets;
    std::vector<uint16_t> leftPool;
    std::vector<uint16_t> rightPool;
    std::vector<uint32_t> buckets;
};

// Rules sorted within their first symbol's bucket (a side's end sorts after
// every symbol); empty right sides share the right pool's last 0.
inline PhoneRewriteFields phoneRewrite(std::vector<PhoneRule> rules, int32_t symbolCount,
                                       int32_t boundary = 0, int32_t factor = 1)
{
    std::sort(rules.begin(), rules.end(), [](const PhoneRule& a, const PhoneRule& b) {
        for (size_t i = 0;; ++i) {
            if (i == a.left.size() || i == b.left.size())
                return i != a.left.size();   // the longer one first
            if (a.left[i] != b.left[i])
                return a.left[i] < b.left[i];
        }
    });
    PhoneRewriteFields f;
    f.ruleCount = static_cast<int32_t>(rules.size());
    f.symbolCount = symbolCount;
    f.boundary = boundary;
    f.factor = factor;
    std::vector<size_t> emptyRights;
    for (size_t r = 0; r < rules.size(); ++r) {
        f.leftOffsets.push_back(static_cast<uint32_t>(f.leftPool.size()));
        f.leftPool.insert(f.leftPool.end(), rules[r].left.begin(), rules[r].left.end());
        f.leftPool.push_back(0);
        f.longestLeft = std::max(f.longestLeft, static_cast<int32_t>(rules[r].left.size()));
        f.rightOffsets.push_back(static_cast<uint32_t>(f.rightPool.size()));
        if (rules[r].right.empty()) {
            emptyRights.push_back(r);
            continue;
        }
        f.rightPool.insert(f.rightPool.end(), rules[r].right.begin(), rules[r].right.end());
        f.rightPool.push_back(0);
    }
    if (!emptyRights.empty() && f.rightPool.empty())
        f.rightPool.push_back(0);
    for (size_t r : emptyRights)
        f.rightOffsets[r] = static_cast<uint32_t>(f.rightPool.size() - 1);
    f.leftLength = static_cast<int32_t>(f.leftPool.size());
    f.rightLength = static_cast<int32_t>(f.rightPool.size());
    for (int32_t c = 0; c < symbolCount + 3; ++c) {
        uint32_t first = 0;
        while (first < rules.size() && rules[first].left[0] < c)
            ++first;
        f.buckets.push_back(first);
    }
    return f;
}

inline bool write(BinFileWriter* w, const PhoneRewriteFields& f)
{
    bool ok = BinFileWriter_WriteInt(w, f.ruleCount) && BinFileWriter_WriteInt(w, f.leftLength) &&
              BinFileWriter_WriteInt(w, f.rightLength) &&
              BinFileWriter_WriteInt(w, f.symbolCount) && BinFileWriter_WriteInt(w, f.boundary) &&
              BinFileWriter_WriteInt(w, f.longestLeft) && BinFileWriter_WriteInt(w, f.factor);
    if (f.ruleCount < 1)
        return ok;
    return ok && writeArray(w, f.leftOffsets) && writeArray(w, f.rightOffsets) &&
           writeArray(w, f.leftPool) && writeArray(w, f.rightPool) && writeArray(w, f.buckets);
}

// ---- N-dimensional tables --------------------------------------------------

struct NDimFields {
    int32_t dimensions = 1;
    int32_t entryCount = 0;
    int32_t baseValue = 0;
    int32_t indexBase = 0;
    int32_t dense = 1;
    int32_t sizes[8] = {};
    std::vector<uint32_t> rowIndex;
    std::vector<uint16_t> keys;
    std::vector<int8_t> values;
};

inline bool write(BinFileWriter* w, const NDimFields& f)
{
    return BinFileWriter_WriteInt(w, f.dimensions) && BinFileWriter_WriteInt(w, f.entryCount) &&
           BinFileWriter_WriteInt(w, f.baseValue) && BinFileWriter_WriteInt(w, f.indexBase) &&
           BinFileWriter_WriteInt(w, f.dense) && BinFileWriter_WriteArray(w, f.sizes, 8, 4) &&
           writeArray(w, f.rowIndex) && writeArray(w, f.keys) && writeArray(w, f.values);
}

} // namespace search_tables
