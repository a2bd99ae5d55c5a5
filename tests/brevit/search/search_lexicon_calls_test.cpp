// The search side declares what it calls of the vocabulary itself; this
// translation unit sees both declarations, so any signature that drifted
// from the vocabulary's own fails to compile.
#include "core/brevit/lexicon/active_word_list.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace {

TEST(SearchLexiconCalls, WalkCallsMatchTheVocabulary)
{
    static_assert(std::is_same_v<decltype(&AWL_GetNumProns), int32_t (*)(const AWL*, int32_t)>);
    static_assert(std::is_same_v<decltype(&AWL_GetNthPronId), int32_t (*)(const AWL*, int32_t, int32_t)>);
    static_assert(std::is_same_v<decltype(&Voc_CanFollow), int32_t (*)(const Voc*, int32_t, int32_t)>);
    static_assert(std::is_same_v<decltype(&Voc_GetActiveWordList), AWL* (*)(const Voc*)>);
    SUCCEED();
}

} // namespace
