#include "tests/brevit/search/fake_vocabulary.h"

#include "core/brevit/search/search_lexicon_calls.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <set>
#include <utility>

// The active word list is a view of the same words.
struct AWL {
    const Voc* voc;
};

struct Voc {
    std::map<uint16_t, std::vector<uint16_t>> words;
    std::vector<uint32_t> queries;
    AWL list;
    std::map<std::u16string, std::vector<uint16_t>> spellings;
    std::map<uint16_t, std::pair<uint16_t, int32_t>> owners;   // pron -> (word, index), made on first use
    std::map<std::u16string, std::vector<uint32_t>> matches;   // Voc_GetMatches by whole text
    std::set<std::pair<int32_t, int32_t>> forbidden;           // (a, b): b may not follow a
    std::map<uint16_t, std::vector<uint16_t>> recogProns;      // pron -> phonemes; else {pron}
    std::map<std::pair<int32_t, int32_t>, int32_t> ngrams;     // (previous or -1, word) -> cost; else 0
};

namespace {

// The word owning a pron and its index among the word's prons.
const std::pair<uint16_t, int32_t>* ownerOf(const Voc* v, uint16_t pron)
{
    auto& owners = const_cast<Voc*>(v)->owners;
    if (owners.empty())
        for (const auto& [word, prons] : v->words)
            for (size_t i = 0; i < prons.size(); ++i)
                owners.emplace(prons[i], std::pair<uint16_t, int32_t>{word, static_cast<int32_t>(i)});
    const auto found = owners.find(pron);
    return found != owners.end() ? &found->second : nullptr;
}

} // namespace

FakeVocabulary::FakeVocabulary(std::map<uint16_t, std::vector<uint16_t>> words)
    : m_voc(new Voc{std::move(words), {}, {nullptr}, {}, {}, {}, {}, {}, {}})
{
    m_voc->list.voc = m_voc;
}

FakeVocabulary::~FakeVocabulary() { delete m_voc; }

const std::vector<uint32_t>& FakeVocabulary::pronQueries() const { return m_voc->queries; }

void FakeVocabulary::spell(const std::string& text, std::vector<uint32_t> vocIds)
{
    m_voc->matches[std::u16string(text.begin(), text.end())] = std::move(vocIds);
}

namespace {
constexpr uint32_t kKindMask = 0xC0000000u;
constexpr uint32_t kMasterKind = 0xC0000000u;
constexpr uint32_t kNoMaster = 0xFFFFFFu;
} // namespace

uint32_t Voc_GetMasterId(const Voc* vocabulary, uint32_t vocId)
{
    if ((vocId & kKindMask) == kMasterKind)
        return vocId & kNoMaster;
    if ((vocId & kKindMask) == kFakeVocActiveKind && vocabulary->words.count(static_cast<uint16_t>(vocId)) != 0)
        return vocId & 0xFFFFu;
    return kNoMaster;
}

uint32_t Voc_MasterIdToVocId(const Voc*, uint32_t masterId)
{
    return masterId == kNoMaster ? 0xFFFFFFFFu : (masterId | kMasterKind);
}

int32_t Voc_GetActiveId(const Voc* vocabulary, uint32_t vocId)
{
    if (vocId >= 0xFFFFFFFBu)
        return static_cast<int32_t>(vocId & 0xFFFFu);   // -5..-1: 65531..65535
    if ((vocId & kKindMask) == kFakeVocActiveKind)
        return static_cast<int32_t>(vocId & 0xFFFFu);
    const uint32_t master = vocId & kNoMaster;
    if ((vocId & kKindMask) == kMasterKind && master < 65531 && vocabulary->words.count(static_cast<uint16_t>(master)) != 0)
        return static_cast<int32_t>(master);
    return 65535;
}

int32_t Voc_IsActiveIdMapped(const Voc* vocabulary, int32_t activeId)
{
    return activeId >= 0 && activeId <= 0xFFFF && vocabulary->words.count(static_cast<uint16_t>(activeId)) != 0 ? 1 : 0;
}

int32_t Voc_GetMatches(const Voc* vocabulary, const uint16_t* text, int32_t, int32_t, int32_t, int32_t room,
                       uint32_t* ids)
{
    const std::u16string spelling(reinterpret_cast<const char16_t*>(text));
    const auto found = vocabulary->matches.find(spelling);
    if (found != vocabulary->matches.end()) {
        for (size_t i = 0; i < found->second.size() && static_cast<int32_t>(i) < room; ++i)
            ids[i] = found->second[i];
        return static_cast<int32_t>(found->second.size());
    }
    // Spellings given as active words answer with their vocabulary ids.
    const auto active = vocabulary->spellings.find(spelling);
    if (active == vocabulary->spellings.end())
        return 0;
    for (size_t i = 0; i < active->second.size() && static_cast<int32_t>(i) < room; ++i)
        ids[i] = Voc_ActiveIdToVocId(vocabulary, active->second[i]);
    return static_cast<int32_t>(active->second.size());
}

void FakeVocabulary::setSpellings(std::map<std::u16string, std::vector<uint16_t>> spellings)
{
    m_voc->spellings = std::move(spellings);
}

namespace {

std::u16string spokenOf(uint16_t word)
{
    std::u16string out = u"#";
    for (char c : std::to_string(word))
        out.push_back(static_cast<char16_t>(c));
    return out;
}

const std::u16string* spellingOf(const Voc* v, uint16_t word)
{
    for (const auto& [spelling, words] : v->spellings)
        if (std::find(words.begin(), words.end(), word) != words.end())
            return &spelling;
    return nullptr;
}

} // namespace

int32_t Voc_Tokenize(const Voc*, int32_t, const uint16_t* text, int32_t, int32_t, int32_t max, uint32_t* ids,
                     int32_t* starts, int32_t* lengths, uint8_t*, uint8_t*)
{
    int32_t n = 0;
    for (int32_t i = 0; text[i] != 0;) {
        if (text[i] == u' ') {
            ++i;
            continue;
        }
        int32_t end = i;
        while (text[end] != 0 && text[end] != u' ')
            ++end;
        if (n < max) {
            if (ids != nullptr)
                ids[n] = 0xFFFFFFFFu;
            if (starts != nullptr)
                starts[n] = i;
            if (lengths != nullptr)
                lengths[n] = end - i;
        }
        ++n;
        i = end;
    }
    return n;
}

int32_t Voc_GetNumMatches(const Voc* v, const uint16_t* text, int32_t, int32_t)
{
    return Voc_GetMatches(v, text, 1, 1, 0, 0, nullptr);
}

int32_t Voc_GetMaxSurfaceFormLength(const Voc* v)
{
    size_t most = 0;
    for (const auto& [spelling, words] : v->spellings)
        most = std::max(most, spelling.size());
    return static_cast<int32_t>(most);
}

int32_t Voc_GetMaxSpokenFormLength(const Voc*) { return 6; }

void Voc_GetOrthography(const Voc* v, uint32_t vocId, uint16_t* surface, uint16_t* spoken)
{
    const auto word = static_cast<uint16_t>(vocId & 0xFFFFu);
    const std::u16string* spelling = spellingOf(v, word);
    const std::u16string said = spokenOf(word);
    size_t i = 0;
    for (; spelling != nullptr && i < spelling->size(); ++i)
        surface[i] = (*spelling)[i];
    surface[i] = 0;
    for (i = 0; i < said.size(); ++i)
        spoken[i] = said[i];
    spoken[i] = 0;
}

int32_t Voc_LookupActiveIdFromOrthography(const Voc* v, const uint16_t* surface, const uint16_t* spoken)
{
    const std::u16string said(reinterpret_cast<const char16_t*>(spoken));
    const auto found = v->spellings.find(std::u16string(reinterpret_cast<const char16_t*>(surface)));
    if (found == v->spellings.end())
        return -1;
    for (uint16_t word : found->second)
        if (spokenOf(word) == said)
            return word;
    return -1;
}

uint32_t Voc_ActiveIdToVocId(const Voc*, int32_t activeId)
{
    // 65531..65535 are the special words -5..-1.
    if (activeId >= 65531 && activeId <= 65534)
        return static_cast<uint32_t>(activeId - 65536);
    if (activeId < 0 || activeId > 65534)
        return 0xFFFFFFFFu;
    return kFakeVocActiveKind | activeId;
}

uint16_t Voc_GetNthPronId(const Voc* vocabulary, uint32_t vocId, int32_t n)
{
    const_cast<Voc*>(vocabulary)->queries.push_back(vocId);
    if ((vocId & 0xC0000000u) != kFakeVocActiveKind || n < 0)
        return 65535;
    const auto word = vocabulary->words.find(static_cast<uint16_t>(vocId & 0xFFFFu));
    if (word == vocabulary->words.end() || static_cast<std::size_t>(n) >= word->second.size())
        return 65535;
    return word->second[static_cast<std::size_t>(n)];
}

int32_t Voc_GetNumProns(const Voc* vocabulary, uint32_t vocId)
{
    if ((vocId & 0xC0000000u) != kFakeVocActiveKind)
        return 0;
    const auto word = vocabulary->words.find(static_cast<uint16_t>(vocId & 0xFFFFu));
    return word != vocabulary->words.end() ? static_cast<int32_t>(word->second.size()) : 0;
}

uint16_t Voc_GetActiveIdFromPronId(const Voc* vocabulary, int32_t pronId, int32_t* index)
{
    const auto* owner = pronId >= 0 && pronId < 65536 ? ownerOf(vocabulary, static_cast<uint16_t>(pronId)) : nullptr;
    if (owner == nullptr)
        return 65535;
    if (index != nullptr)
        *index = owner->second;
    return owner->first;
}

namespace {

const std::vector<uint16_t>* pronsOf(const Voc* vocabulary, int32_t activeId)
{
    const auto word = vocabulary->words.find(static_cast<uint16_t>(activeId));
    return activeId >= 0 && activeId < 65536 && word != vocabulary->words.end() ? &word->second : nullptr;
}

int32_t copyProns(const std::vector<uint16_t>* prons, uint16_t* buffer, int32_t size)
{
    if (prons == nullptr)
        return 0;
    for (int32_t i = 0; buffer != nullptr && i < size && static_cast<std::size_t>(i) < prons->size(); ++i)
        buffer[i] = (*prons)[static_cast<std::size_t>(i)];
    return static_cast<int32_t>(prons->size());
}

} // namespace

AWL* Voc_GetActiveWordList(const Voc* vocabulary) { return const_cast<AWL*>(&vocabulary->list); }

int32_t AWL_GetPronIds(const AWL* list, int32_t activeId, uint16_t* buffer, int32_t size)
{
    return copyProns(pronsOf(list->voc, activeId), buffer, size);
}

int32_t AWL_GetActiveIdFromPronId(const AWL* list, int32_t pronId, int32_t* index)
{
    const auto* owner = pronId >= 0 && pronId < 65536 ? ownerOf(list->voc, static_cast<uint16_t>(pronId)) : nullptr;
    if (owner == nullptr)
        return 65535;
    if (index != nullptr)
        *index = owner->second;
    return owner->first;
}

int32_t AWL_GetNumProns(const AWL* list, int32_t activeId)
{
    return copyProns(pronsOf(list->voc, activeId), nullptr, 0);
}

int32_t AWL_GetNthPronId(const AWL* list, int32_t activeId, int32_t n)
{
    const std::vector<uint16_t>* prons = pronsOf(list->voc, activeId);
    return prons != nullptr && n >= 0 && static_cast<std::size_t>(n) < prons->size()
               ? (*prons)[static_cast<std::size_t>(n)]
               : 65535;
}

int32_t Voc_CanFollow(const Voc* vocabulary, int32_t a, int32_t b)
{
    return vocabulary->forbidden.count({a, b}) != 0 ? 0 : 1;
}

void FakeVocabulary::forbidFollowing(uint16_t a, uint16_t b) { m_voc->forbidden.insert({a, b}); }

int32_t Voc_GetMaxNumPronunciations(const Voc* vocabulary)
{
    std::size_t most = 0;
    for (const auto& [word, prons] : vocabulary->words)
        most = std::max(most, prons.size());
    return static_cast<int32_t>(most);
}

int32_t Voc_GetNumActiveEntries(const Voc* vocabulary)
{
    int32_t last = 0;
    for (const auto& [word, prons] : vocabulary->words)
        for (uint16_t p : prons)
            last = std::max<int32_t>(last, p);
    return last;
}

int32_t Voc_IsPronIdActive(const Voc* vocabulary, int32_t pronId)
{
    return pronId >= 0 && pronId < 65535 && ownerOf(vocabulary, static_cast<uint16_t>(pronId)) != nullptr ? 1 : 0;
}

void FakeVocabulary::setRecogPron(uint16_t pron, std::vector<uint16_t> phonemes)
{
    m_voc->recogProns[pron] = std::move(phonemes);
}

int32_t Voc_GetMaxRecogPronunciationLength(const Voc* vocabulary)
{
    size_t most = 1;
    for (const auto& [pron, phonemes] : vocabulary->recogProns)
        most = std::max(most, phonemes.size());
    return static_cast<int32_t>(most);
}

int32_t Voc_GetRecogPronunciation(Voc* vocabulary, int32_t pronId, uint16_t* output)
{
    const auto found = vocabulary->recogProns.find(static_cast<uint16_t>(pronId));
    const std::vector<uint16_t> phonemes =
        found != vocabulary->recogProns.end() ? found->second : std::vector<uint16_t>{static_cast<uint16_t>(pronId)};
    std::copy(phonemes.begin(), phonemes.end(), output);
    output[phonemes.size()] = 0xFFFF;
    return static_cast<int32_t>(phonemes.size());
}

int32_t Voc_GetActiveIdLimit(const Voc* vocabulary)
{
    int32_t limit = 1;
    for (const auto& [word, prons] : vocabulary->words)
        if (word < 65531)
            limit = std::max(limit, word + 1);
    return limit;
}

int32_t Voc_GetPronIds(const Voc* vocabulary, uint32_t vocId, uint16_t* buffer, int32_t capacity)
{
    if ((vocId & 0xC0000000u) != kFakeVocActiveKind)
        return 0;
    return copyProns(pronsOf(vocabulary, static_cast<int32_t>(vocId & 0xFFFFu)), buffer, capacity);
}

uint32_t Voc_PronIdToVocId(const Voc*, int32_t pronId)
{
    return pronId >= 0 && pronId < 65535 ? kFakeVocPronKind | static_cast<uint32_t>(pronId) : 0xFFFFFFFFu;
}

void FakeVocabulary::setNGram(int32_t previous, uint16_t word, int32_t cost) { m_voc->ngrams[{previous, word}] = cost; }

int32_t Voc_ScoreNGram(const Voc* vocabulary, const uint16_t* history, int32_t n, int32_t activeId)
{
    const int32_t previous = n > 0 ? history[n - 1] : -1;
    const auto found = vocabulary->ngrams.find({previous, activeId});
    return found != vocabulary->ngrams.end() ? found->second : 0;
}

namespace {
int32_t gLexTreeDeletes = 0;
FakeLexicon gLexicon;
} // namespace

FakeLexicon& fakeLexicon() { return gLexicon; }

struct LexTree {
    std::vector<uint16_t> prons;
};

int32_t fakeLexTreeDeletes() { return gLexTreeDeletes; }

const std::vector<uint16_t>* fakeLexTreeProns(const LexTree* tree) { return tree != nullptr ? &tree->prons : nullptr; }

void LexTree_Delete(LexTree* tree)
{
    if (tree == nullptr)
        return;
    ++gLexTreeDeletes;
    tree->~LexTree();
    DVKMem_Free(tree);
}

LexTree* LexTree_CreateEmpty()
{
    void* block = DVKMem_Malloc(sizeof(LexTree));
    return block != nullptr ? new (block) LexTree{} : nullptr;
}

// The prons are kept in a std::vector; the engine allocator only holds the
// object, so the allocation-failure tests see one block per tree.
int32_t LexTree_BuildFromProns(LexTree* tree, const uint16_t* pronIds, int32_t count, Voc*, AM*,
                               const uint16_t* const*, int32_t, int32_t, int32_t, PronCache* pronCache)
{
    gLexicon.buildFlags.push_back(pronCache != nullptr ? 1 : 0);
    if (gLexicon.failBuild)
        return 0;
    tree->prons.assign(pronIds, pronIds + count);
    return 1;
}

int32_t LexTree_GetNumTrees(const LexTree* tree)
{
    std::vector<uint16_t> groups;
    for (uint16_t p : tree->prons)
        if (std::find(groups.begin(), groups.end(), p / 1000) == groups.end())
            groups.push_back(static_cast<uint16_t>(p / 1000));
    return static_cast<int32_t>(groups.size());
}

uint32_t LexTree_ComputeCRC(const LexTree* tree)
{
    return DVKCrc_AddArray(tree->prons.data(), 2, static_cast<int32_t>(tree->prons.size()), 0xFFFFFFFFu);
}

int32_t LexTree_ReadContents(LexTree* tree, BinFileReader* reader)
{
    void* array = nullptr;
    uint32_t count = 0;
    if (BinFileReader_AllocateAndReadArray(reader, 2, &array, &count) == 0)
        return 0;
    const auto* prons = static_cast<const uint16_t*>(array);
    tree->prons.assign(prons, prons + count);
    DVKMem_Free(array);
    return 1;
}

int32_t LexTree_WriteContents(const LexTree* tree, BinFileWriter* writer)
{
    return BinFileWriter_WriteArray(writer, tree->prons.empty() ? nullptr : tree->prons.data(),
                                    static_cast<uint32_t>(tree->prons.size()), 2);
}

int32_t PronCache_GetPronInfo(PronCache*, uint16_t pronId, const uint16_t** phonemes, const uint16_t** models,
                              int32_t* count)
{
    gLexicon.pronInfoRequests.push_back(pronId);
    if (phonemes != nullptr)
        *phonemes = nullptr;
    if (models != nullptr)
        *models = nullptr;
    *count = 0;
    return 0;
}

struct MWL {
    std::map<uint32_t, int32_t> attributes;
};

FakeWordList::FakeWordList(std::map<uint32_t, int32_t> attributes) : m_list(new MWL{std::move(attributes)}) {}

FakeWordList::~FakeWordList() { delete m_list; }

int32_t MWL_GetAttributes(const MWL* list, uint32_t id)
{
    const auto found = list->attributes.find(id);
    return found != list->attributes.end() ? found->second : -1;
}
