#include "tests/brevit/search/fake_vocabulary.h"

#include "core/brevit/search/search_lexicon_calls.h"

#include <cstddef>
#include <utility>

struct Voc {
    std::map<uint16_t, std::vector<uint16_t>> words;
    std::vector<uint32_t> queries;
};

FakeVocabulary::FakeVocabulary(std::map<uint16_t, std::vector<uint16_t>> words)
    : m_voc(new Voc{std::move(words), {}})
{
}

FakeVocabulary::~FakeVocabulary() { delete m_voc; }

const std::vector<uint32_t>& FakeVocabulary::pronQueries() const { return m_voc->queries; }

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
