// Splicing a close-call loser into a choice's path: the N-best builder's way
// of making an alternative that shares the choice's newer words.
#include "core/brevit/search/result_graph.h"

#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/close_call.h"
#include "core/brevit/search/search_lexicon_calls.h"

namespace {

// Every index above this ends a backward walk (and names no node).
constexpr uint32_t kLastIndex = 0xFFFFFFFDu;
constexpr uint32_t kFlagBit = 0x80000000u;
constexpr int16_t kSplicedScore = 16384;

uint32_t constraintOf(uint32_t high) { return (high >> 21) & 0x3FF; }
uint32_t stateOf(uint32_t high) { return (high >> 3) & 0x3FFFF; }

bool isNode(const ResultGraph* g, uint32_t index)
{
    return index <= kLastIndex && index < static_cast<uint32_t>(g->count);
}

// Word order of the active word list; a graph without vocabulary has none.
bool canFollow(const ResultGraph* g, uint32_t before, uint32_t after)
{
    return g->voc == nullptr ||
           Voc_CanFollow(g->voc, ResultGraph_Node(g, before)->word, ResultGraph_Node(g, after)->word) != 0;
}

// The node `steps` parents up from node.
uint32_t ancestor(const ResultGraph* g, uint32_t node, int32_t steps)
{
    for (; steps > 0; --steps)
        node = ResultGraph_Node(g, node)->parent;
    return node;
}

}  // namespace

int32_t ResultGraph_SplicePath(ResultGraph* graph, ResultGraphSplice* out, const LinChChoice* choice,
                               const CloseCallRecord* call)
{
    const uint32_t end = static_cast<uint32_t>(choice->endNode);
    const uint32_t loser = call->loser;
    const uint32_t winner = call->winner;
    // Indices that name no node of this graph are never read.
    if ((end <= kLastIndex && !isNode(graph, end)) || (loser <= kLastIndex && !isNode(graph, loser)) ||
        (winner <= kLastIndex && !isNode(graph, winner)))
        return 0;
    const bool tie = call->difference == 0 && call->key == 0;
    const bool wordOrder = BrevitParam_Word(kBrevitParamCanFollowCheck) != 0;

    uint32_t newer = kResultGraphNone;  // the node just newer than the walk's position
    uint32_t competitor = kResultGraphNone;
    int32_t depth = 0;                  // nodes newer than the splice point
    bool found = false;
    for (uint32_t at = end; at <= kLastIndex; newer = at, at = ResultGraph_Node(graph, at)->parent, ++depth) {
        const bool boundary = at == end || (ResultGraph_Node(graph, newer)->low & 0x3FF) == 0;
        if (!boundary)
            continue;
        uint32_t c;
        if (at == winner)
            c = loser;
        else if (tie && at == loser)
            c = winner;
        else
            continue;
        if (at != end && c <= kLastIndex) {
            if (wordOrder && !canFollow(graph, c, newer))
                continue;
            if (constraintOf(ResultGraph_Node(graph, c)->high) != constraintOf(ResultGraph_Node(graph, newer)->high))
                continue;
        }
        competitor = c;
        found = true;
        break;
    }
    if (!found) {
        // At the root: the loser takes the place of the empty history.
        if (winner > kLastIndex)
            competitor = loser;
        else if (tie && loser > kLastIndex)
            competitor = winner;
        else
            return 0;
        if (competitor <= kLastIndex && newer <= kLastIndex && !canFollow(graph, competitor, newer))
            return 0;
    }
    if (competitor > kLastIndex && newer > kLastIndex)
        return 0;
    const uint32_t fromState = competitor <= kLastIndex ? stateOf(ResultGraph_Node(graph, competitor)->high) : 0;
    const uint32_t toState = newer <= kLastIndex ? stateOf(ResultGraph_Node(graph, newer)->high) : 0;
    if (ClassPairConstraint_HasTransition(choice->constraint, fromState, toState) == 0)
        return 0;

    // The newer nodes again, oldest first. Walking down from the end for each
    // keeps this free of buffers; such tails are a few words long.
    uint32_t top = competitor;
    for (int32_t k = depth - 1; k >= 0; --k) {
        const ResultGraphNode n = *ResultGraph_Node(graph, ancestor(graph, end, k));
        top = ResultGraph_AddNode(graph, top, n.word, n.low, n.high & ~kFlagBit, (n.high & kFlagBit) != 0 ? 1 : 0,
                                  kSplicedScore, -1);
        // A full graph: a tail cut loose from the loser is no path of it.
        if (top == kResultGraphNone)
            return 0;
    }
    out->constraint = choice->constraint;
    out->node = top;
    return 1;
}
