// Writers of the class manager's "bcm1": the model set's layout from a
// readable class list, and the user-storage layout from a live manager (the
// records ClassManager_WritePSAFile writes, one named record each). Every
// record is named, so a test drops, changes or cuts one; arrays are written
// at their own lengths.
//
// Header-only, over constraint_store_writer.h; needs an engine context while
// writing.
#pragma once

#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_manager_tables.h"
#include "core/brevit/search/constraint_class.h"
#include "core/brevit/search/search_lexicon_calls.h"
#include "tests/support/constraint_store_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace class_store {

using constraint_store::Records;
using Member = std::vector<uint16_t>;

inline constraint_store::RecordWriter words(std::vector<uint32_t> values)
{
    return [values](BinFileWriter* w) {
        for (uint32_t v : values)
            if (BinFileWriter_WriteUnsignedInt(w, v) != 1)
                return false;
        return true;
    };
}

template <typename T>
constraint_store::RecordWriter array(const std::vector<T>& values)
{
    return [values](BinFileWriter* w) {
        return BinFileWriter_WriteArray(w, values.empty() ? nullptr : values.data(),
                                        static_cast<uint32_t>(values.size()), sizeof(T)) == 1;
    };
}

// ---- the model set's layout ------------------------------------------------------

struct ModelClass {
    uint32_t id = 1;
    std::string name;
    std::vector<Member> members;   // in the stored order (sorted for a sound file)
    uint32_t partner = 0;
    uint32_t memberShift = 2;      // chunks of 4 offsets
    uint32_t wordShift = 3;        // chunks of 8 words
};

struct ModelSetSpec {
    std::vector<ModelClass> classes;
    int32_t maxId = -1;            // -1: the highest class id
    int32_t idsInUse = -1;         // -1: classes + 1
    uint32_t treeCapacity = 1;
    std::map<uint32_t, uint32_t> refCounts;
    std::map<uint32_t, uint32_t> aliases;
    bool endMarker = true;

    int32_t highest() const
    {
        if (maxId >= 0)
            return maxId;
        uint32_t top = 0;
        for (const ModelClass& c : classes)
            top = std::max(top, c.id);
        return static_cast<int32_t>(top);
    }
    uint32_t pages() const { return static_cast<uint32_t>(highest()) / 256 + 1; }
};

// The 11 layout words and the chunk contents of one class.
struct ModelLayout {
    std::vector<uint32_t> words;
    std::vector<std::vector<uint32_t>> offsetChunks;
    std::vector<std::vector<uint16_t>> wordChunks;
};

inline ModelLayout modelLayout(const ModelClass& c)
{
    const uint32_t memberChunk = 1u << c.memberShift;
    const uint32_t wordChunk = 1u << c.wordShift;
    std::vector<uint32_t> offsets{0};
    std::vector<uint16_t> all;
    for (const Member& m : c.members) {
        all.insert(all.end(), m.begin(), m.end());
        offsets.push_back(static_cast<uint32_t>(all.size()));
    }
    ModelLayout l;
    const uint32_t offsetChunks = c.members.empty() ? 0 : (static_cast<uint32_t>(offsets.size()) + memberChunk - 1) / memberChunk;
    const uint32_t wordChunks = (static_cast<uint32_t>(all.size()) + wordChunk - 1) / wordChunk;
    for (uint32_t k = 0; k < offsetChunks; ++k) {
        std::vector<uint32_t> chunk(memberChunk, 0);
        for (uint32_t i = 0; i < memberChunk && k * memberChunk + i < offsets.size(); ++i)
            chunk[i] = offsets[k * memberChunk + i];
        l.offsetChunks.push_back(chunk);
    }
    for (uint32_t k = 0; k < wordChunks; ++k) {
        std::vector<uint16_t> chunk(wordChunk, 0);
        for (uint32_t i = 0; i < wordChunk && k * wordChunk + i < all.size(); ++i)
            chunk[i] = all[k * wordChunk + i];
        l.wordChunks.push_back(chunk);
    }
    l.words = {c.memberShift,   memberChunk, offsetChunks + 1, offsetChunks, static_cast<uint32_t>(c.members.size()),
               c.wordShift,     wordChunk,   wordChunks + 1,   wordChunks,   static_cast<uint32_t>(all.size()),
               c.partner};
    return l;
}

inline Records modelSetRecords(const ModelSetSpec& s)
{
    const uint32_t pages = s.pages();
    Records r;
    r.addWord("idsInUse", static_cast<uint32_t>(s.idsInUse >= 0 ? s.idsInUse
                                                                 : static_cast<int32_t>(s.classes.size()) + 1));
    r.addWord("maxId", static_cast<uint32_t>(s.highest()));
    r.addWord("class pages", pages);
    r.addWord("class capacity", pages + 1);
    r.addWord("ref pages", pages);
    r.addWord("ref capacity", pages + 1);
    r.addWord("alias pages", pages);
    r.addWord("alias capacity", pages + 1);
    r.addWord("tree capacity", s.treeCapacity);
    for (const ModelClass& c : s.classes) {
        const std::string k = std::to_string(c.id);
        const ModelLayout l = modelLayout(c);
        r.addWord("id " + k, c.id);
        r.addWord("name length " + k, static_cast<uint32_t>(c.name.size()));
        r.add("name " + k, array(std::vector<char>(c.name.begin(), c.name.end())));
        r.add("layout " + k, words(l.words));
        for (size_t j = 0; j < l.offsetChunks.size(); ++j)
            r.add("offset chunk " + k + "." + std::to_string(j), array(l.offsetChunks[j]));
        for (size_t j = 0; j < l.wordChunks.size(); ++j)
            r.add("word chunk " + k + "." + std::to_string(j), array(l.wordChunks[j]));
    }
    if (s.endMarker)
        r.addWord("end", static_cast<uint32_t>(s.highest()) + 1);
    for (const auto& [table, name] : {std::pair{&s.refCounts, "ref page "}, std::pair{&s.aliases, "alias page "}})
        for (uint32_t p = 0; p < pages; ++p) {
            std::vector<uint32_t> page(256, 0);
            for (const auto& [id, value] : *table)
                if (id / 256 == p)
                    page[id % 256] = value;
            r.add(name + std::to_string(p), array(page));
        }
    return r;
}

// ---- the user layout ---------------------------------------------------------------

inline std::vector<uint32_t> tablePages(void** table, uint32_t pages)
{
    std::vector<uint32_t> out;
    for (uint32_t p = 0; p < pages; ++p)
        out.insert(out.end(), static_cast<uint32_t*>(table[p]), static_cast<uint32_t*>(table[p]) + 256);
    return out;
}

// A chunked array record: the element count, then the elements.
template <typename T>
constraint_store::RecordWriter chunked(std::vector<T> values)
{
    return [values](BinFileWriter* w) {
        return BinFileWriter_WriteUnsignedInt(w, static_cast<uint32_t>(values.size())) == 1 &&
               (values.empty() || BinFileWriter_WriteRaw(w, static_cast<uint32_t>(values.size() * sizeof(T)),
                                                         values.data()) == 1);
    };
}

template <typename T>
std::vector<T> chunkContents(void** table, uint32_t chunks, uint32_t chunk)
{
    std::vector<T> out;
    for (uint32_t k = 0; k < chunks; ++k)
        out.insert(out.end(), static_cast<T*>(table[k]), static_cast<T*>(table[k]) + chunk);
    return out;
}

// The records the manager's user-storage writer makes of m (after its edit
// is finished and its trees built), named by record and id.
inline Records userRecords(const ClassManager* m)
{
    Records r;
    const uint32_t trees = m->trees != nullptr ? 1 : 0;
    r.addWord("idsInUse", static_cast<uint32_t>(m->idsInUse));
    r.addWord("constraint aliases", static_cast<uint32_t>(m->numConstraintAliases));
    r.addWord("maxId", static_cast<uint32_t>(m->maxId));
    r.addWord("class capacity", m->classSlots);
    r.addWord("class pages", m->classPages);
    r.addWord("tree capacity", m->treeSlots);
    r.addWord("tree pages", m->treePages);
    r.addWord("ref capacity", m->refSlots);
    r.addWord("ref pages", m->refPages);
    r.addWord("alias capacity", m->aliasSlots);
    r.addWord("alias pages", m->aliasPages);
    r.addWord("trees stored", trees);
    r.add("ref counts", chunked(tablePages(m->refCounts, m->refPages)));
    r.add("aliases", chunked(tablePages(m->aliases, m->aliasPages)));
    for (uint32_t id = 1; id <= static_cast<uint32_t>(m->maxId); ++id) {
        const std::string k = std::to_string(id);
        const char* name = ClassManager_Entry<char*>(m->names, id);
        const ConstraintClass* c = ClassManager_Entry<ConstraintClass*>(m->classes, id);
        const uint32_t alias = ClassManager_Entry<uint32_t>(m->aliases, id);
        if (name == nullptr || (c != nullptr && c->persistent == 0) || (c == nullptr && alias == 0)) {
            r.addWord("length " + k, 0);
            continue;
        }
        const size_t bytes = std::strlen(name) + 1;
        r.addWord("length " + k, static_cast<uint32_t>(bytes));
        r.add("name " + k, array(std::vector<char>(name, name + bytes)));
        if (alias == 0) {
            r.add("layout " + k,
                  words({c->memberShift, c->memberChunk, c->memberChunkSlots, c->memberChunksUsed,
                         static_cast<uint32_t>(c->numMembers), c->wordShift, c->wordChunk, c->wordChunkSlots,
                         c->wordChunksUsed, static_cast<uint32_t>(c->numWords), c->weightChunkSlots,
                         c->weightChunksUsed, static_cast<uint32_t>(c->hasWeights), c->phraseChunkSlots,
                         c->phraseChunksUsed, static_cast<uint32_t>(c->hasPhraseIds),
                         static_cast<uint32_t>(c->irClassIndex), c->partnerClass, static_cast<uint32_t>(c->flagA),
                         static_cast<uint32_t>(c->flagB)}));
            r.add("offsets " + k, chunked(chunkContents<uint32_t>(c->memberOffsets, c->memberChunksUsed, c->memberChunk)));
            r.add("words " + k, chunked(chunkContents<uint16_t>(c->wordIds, c->wordChunksUsed, c->wordChunk)));
            if (c->hasWeights != 0)
                r.add("weights " + k, chunked(chunkContents<uint8_t>(c->weights, c->weightChunksUsed, c->memberChunk)));
            if (c->hasPhraseIds != 0)
                r.add("phrase ids " + k,
                      chunked(chunkContents<int32_t>(c->phraseIds, c->phraseChunksUsed, c->memberChunk)));
        }
        if (trees != 0) {
            const LexTree* tree = alias == 0 && id < m->treePages * 256u ? ClassManager_Entry<LexTree*>(m->trees, id)
                                                                          : nullptr;
            r.addWord("has tree " + k, tree != nullptr ? 1 : 0);
            if (tree != nullptr)
                r.add("tree " + k, [tree](BinFileWriter* w) { return LexTree_WriteContents(tree, w) != 0; });
        }
    }
    return r;
}

} // namespace class_store
