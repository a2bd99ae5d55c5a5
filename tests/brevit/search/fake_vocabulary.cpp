#include "tests/brevit/search/fake_vocabulary.h"

#include "core/brevit/search/search_lexicon_calls.h"

#include <algorithm>
#include <cstddef>
#include <utility>

struct Voc {
    std::map<uint16_t, std::vector<uint16_t>> words;
    std::vector<uint32_t> queries;
    std::map<std::u16string, std::vector<uint32_t>> spellings;
};

FakeVocabulary::FakeVocabulary(std::map<uint16_t, std::vector<uint16_t>> words)
    : m_voc(new Voc{std::move(words), {}, {}})
{
}

FakeVocabulary::~FakeVocabulary() { delete m_voc; }

const std::vector<uint32_t>& FakeVocabulary::pronQueries() const { return m_voc->queries; }

void FakeVocabulary::spell(const std::string& text, std::vector<uint32_t> vocIds)
{
    m_voc->spellings[std::u16string(text.begin(), text.end())] = std::move(vocIds);
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

int32_t Voc_GetActiveIdLimit(const Voc* vocabulary)
{
    int32_t limit = 1;
    for (const auto& entry : vocabulary->words)
        if (entry.first < 65531)
            limit = std::max(limit, entry.first + 1);
    return limit;
}

int32_t Voc_IsActiveIdMapped(const Voc* vocabulary, int32_t activeId)
{
    return activeId >= 0 && activeId <= 0xFFFF && vocabulary->words.count(static_cast<uint16_t>(activeId)) != 0 ? 1 : 0;
}

int32_t Voc_GetMatches(const Voc* vocabulary, const uint16_t* text, int32_t, int32_t, int32_t, int32_t room,
                       uint32_t* ids)
{
    const auto found = vocabulary->spellings.find(std::u16string(reinterpret_cast<const char16_t*>(text)));
    if (found == vocabulary->spellings.end())
        return 0;
    for (size_t i = 0; i < found->second.size() && static_cast<int32_t>(i) < room; ++i)
        ids[i] = found->second[i];
    return static_cast<int32_t>(found->second.size());
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
    for (const auto& [word, prons] : vocabulary->words)
        for (size_t k = 0; k < prons.size(); ++k)
            if (prons[k] == pronId) {
                if (index != nullptr)
                    *index = static_cast<int32_t>(k);
                return word;
            }
    return 65535;
}

namespace {
int32_t gLexTreeDeletes = 0;
} // namespace

int32_t fakeLexTreeDeletes() { return gLexTreeDeletes; }

void LexTree_Delete(LexTree* tree)
{
    if (tree != nullptr)
        ++gLexTreeDeletes;
}
