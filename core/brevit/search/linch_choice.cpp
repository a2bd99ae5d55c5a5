// Orders of linear-chain choice records. Values are compared as values:
// as differences, far-apart scores overflow and the order stops being
// transitive.
#include "core/brevit/search/linch_choice.h"

#include "core/brevit/runtime/brevit_param_words.h"

#include <algorithm>

namespace {

template <typename T>
int32_t sign(T a, T b)
{
    return a < b ? -1 : a > b ? 1 : 0;
}

template <typename T>
int32_t compareArrays(const T* a, const T* b, int32_t n)
{
    for (int32_t i = 0; i < n; ++i)
        if (int32_t s = sign(a[i], b[i]))
            return s;
    return 0;
}

} // namespace

int32_t CloseCall_CompareChoiceWords(const LinChChoice* a, const LinChChoice* b)
{
    if (int32_t s = sign(a->wordCount, b->wordCount))
        return s;
    const int32_t n = std::clamp(a->wordCount, 0, kLinChChoiceWords);
    if (int32_t s = compareArrays(a->words, b->words, n))
        return s;
    if (n < 1 || BrevitParam_Word(kBrevitParamCloseCallMembers) == 0)
        return 0;
    if (int32_t s = compareArrays(a->members, b->members, n))
        return s;
    return compareArrays(a->classes, b->classes, n);
}

int32_t CloseCall_CompareChoices(const LinChChoice* a, const LinChChoice* b)
{
    if (int32_t s = sign(a->score, b->score))
        return s;
    return CloseCall_CompareChoiceWords(a, b);
}

int32_t CloseCall_CompareChoiceScoreNode(const LinChChoice* a, const LinChChoice* b)
{
    if (int32_t s = sign(a->score, b->score))
        return s;
    return sign(a->endNode, b->endNode);
}
