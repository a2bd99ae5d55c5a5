// Language scores of word sequences and choice refinement over the
// linear-chain choice records.
#include "core/brevit/search/decoder_utils.h"

#include "core/brevit/acoustic/am_phones.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/segmenter.h"
#include "core/brevit/frontend/utterance.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/class_pair_search.h"
#include "core/brevit/search/constraint.h"
#include "core/brevit/search/decoder.h"
#include "core/brevit/search/frame_buffer.h"
#include "core/brevit/search/linch_choice.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr uint16_t kNoWord = 65535;
constexpr int32_t kNoScore = 0x40000000;
constexpr int32_t kUnscored = 16384;

int16_t saturate(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX)); }

// The frames a re-alignment runs over: the utterance's, else the frame buffer's.
int32_t frameCount(Decoder* decoder)
{
    if (decoder->utterance != nullptr)
        return Utterance_GetNumFrames(decoder->utterance);
    return decoder->frameBuffer != nullptr ? FrameBuffer_GetNumFrames(decoder->frameBuffer) : 0;
}

const uint8_t* frameAt(Decoder* decoder, int32_t i, int16_t* side)
{
    int32_t* value = nullptr;
    const uint8_t* frame = decoder->utterance != nullptr ? Utterance_GetFrame(decoder->utterance, i, &value)
                                                         : FrameBuffer_GetFrame(decoder->frameBuffer, i, &value);
    *side = value != nullptr ? static_cast<int16_t>(*value) : 0;
    return frame;
}

void removeChoice(LinChChoice* choices, int32_t* count, int32_t at)
{
    std::memmove(choices + at, choices + at + 1, static_cast<size_t>(*count - at - 1) * sizeof(LinChChoice));
    --*count;
}

} // namespace

int32_t Decoder_ScoreNGramSequence(const Voc* vocabulary, int32_t n, int32_t h, const uint16_t* history,
                                   int32_t rightCount, const uint16_t* rightIds, const uint16_t* prons, int32_t w)
{
    std::vector<uint16_t> ids;
    const int32_t k = std::max(0, std::min(h, n));
    for (int32_t i = 0; i < k; ++i)
        ids.push_back(history[h - k + i]);
    for (int32_t i = 0; i < w; ++i)
        ids.push_back(Voc_GetActiveIdFromPronId(vocabulary, prons[i], nullptr));
    for (int32_t i = 0; i < std::min(rightCount, n) && rightIds != nullptr && rightIds[i] != kNoWord; ++i)
        ids.push_back(rightIds[i]);
    // Sums are held to 16 bits: wrapping would rank a long sequence first.
    int64_t sum = 0;
    for (size_t i = static_cast<size_t>(k); i < ids.size(); ++i) {
        if (ids[i] == kNoWord)
            return kUnscored;
        const auto before = static_cast<int32_t>(std::min<size_t>(i, static_cast<size_t>(std::max(n, 0))));
        sum += Voc_ScoreNGram(vocabulary, ids.data() + i - before, before, ids[i]);
    }
    return saturate(sum);
}

int32_t Decoder_ScoreWordSequenceLM(Decoder* decoder, int32_t leftCount, const uint32_t* left, int32_t order,
                                    int32_t wordCount, const uint32_t* words)
{
    std::vector<uint16_t> history(static_cast<size_t>(std::max(leftCount, 0)));
    for (size_t i = 0; i < history.size(); ++i)
        history[i] = static_cast<uint16_t>(Voc_GetActiveId(decoder->vocabulary, left[i]));
    std::vector<uint16_t> prons(static_cast<size_t>(std::max(wordCount, 0)));
    for (size_t i = 0; i < prons.size(); ++i)
        prons[i] = Voc_GetNthPronId(decoder->vocabulary, words[i], 0);
    return Decoder_ScoreNGramSequence(decoder->vocabulary, order, static_cast<int32_t>(history.size()),
                                      history.data(), decoder->rightCount, decoder->rightIds, prons.data(),
                                      wordCount);
}

int32_t Decoder_GetLM(Decoder* decoder, int32_t historyCount, const uint16_t* history, int32_t word, int32_t limit)
{
    const int32_t kept = std::max(0, std::min(historyCount, limit));
    return Voc_ScoreNGram(decoder->vocabulary, history + historyCount - kept, kept, word);
}

void Decoder_SwapChoiceLMOrder(Decoder* decoder, int32_t* score, const uint16_t* prons, int32_t wordCount,
                               int32_t orderA, int32_t orderB)
{
    auto lm = [&](int32_t order) {
        return Decoder_ScoreNGramSequence(decoder->vocabulary, order, decoder->leftCount, decoder->leftIds,
                                          decoder->rightCount, decoder->rightIds, prons, wordCount);
    };
    *score = *score - lm(orderA) + lm(orderB);
}

int32_t Decoder_CountSequenceFrames(const uint16_t* prons, const uint8_t* bytes, int32_t wordCount, Voc* vocabulary,
                                    const AM* model, int32_t crossWord)
{
    int32_t total = 2;
    if (wordCount < 1)
        return total;
    const auto most = static_cast<size_t>(std::max(Voc_GetMaxRecogPronunciationLength(vocabulary), 0));
    std::vector<std::vector<uint16_t>> phones(static_cast<size_t>(wordCount));
    for (int32_t w = 0; w < wordCount; ++w) {
        std::vector<uint16_t> buffer(most + 1, 0xFFFF);
        const int32_t n = Voc_GetRecogPronunciation(vocabulary, prons[w], buffer.data());
        buffer.resize(static_cast<size_t>(std::clamp<int32_t>(n, 0, static_cast<int32_t>(most))));
        phones[static_cast<size_t>(w)] = std::move(buffer);
    }
    const auto boundary = [&](int32_t w) { return bytes != nullptr && bytes[w] != 0; };
    for (int32_t w = 0; w < wordCount; ++w) {
        const auto& p = phones[static_cast<size_t>(w)];
        uint16_t left = 0, right = 0;
        if (crossWord) {
            if (w > 0 && !boundary(w - 1) && !phones[static_cast<size_t>(w) - 1].empty())
                left = phones[static_cast<size_t>(w) - 1].back();
            if (w + 1 < wordCount && !boundary(w) && !phones[static_cast<size_t>(w) + 1].empty())
                right = phones[static_cast<size_t>(w) + 1].front();
        }
        std::vector<uint16_t> models(p.size());
        if (!p.empty())
            AM_ConvertPhonemesToTriphoneIds(model, p.data(), static_cast<int32_t>(p.size()), models.data(), left,
                                            right);
        for (uint16_t m : models) {
            int32_t states = 0;
            AM_GetModelStates(model, m, &states);
            total += states;
        }
        if (w + 1 < wordCount && boundary(w))
            ++total;
    }
    return total;
}

void DecoderUtils_RealignChoice(Decoder* decoder, AM* model, const uint16_t* prons, const uint8_t* bytes,
                                int32_t* score, int32_t wordCount, int32_t crossWord)
{
    *score = kNoScore;
    AM* am = model != nullptr ? model : decoder->model;
    const int32_t states = Decoder_CountSequenceFrames(prons, bytes, wordCount, decoder->vocabulary, am, crossWord);
    const int32_t frames = frameCount(decoder);
    Segmenter* seg = Segmenter_Create(am, decoder->vocabulary, decoder->framePeriod);
    if (seg == nullptr)
        return;
    const auto size = static_cast<size_t>(states) + 1;
    std::vector<uint16_t> stateIds(size), phonemes(size), durations(size);
    std::vector<int16_t> positions(size);
    int32_t length = 0;
    if (Segmenter_Start(seg, frames, crossWord, 0x7fffffff, 1, 0, wordCount, prons, 0, phonemes.data(), states,
                        stateIds.data(), positions.data(), durations.data(), &length, bytes) == 1) {
        bool aligned = true;
        for (int32_t f = 0; f < frames && aligned; ++f) {
            int16_t side = 0;
            const uint8_t* frame = frameAt(decoder, f, &side);
            aligned = Segmenter_ProcessFrame(seg, frame, &side, decoder->scoringSet) != 3;
        }
        int32_t alignment = 0;
        if (aligned && Segmenter_Finish(seg, 0, &alignment) != 3) {
            const uint16_t history = decoder->leftCount > 0 ? decoder->leftIds[decoder->leftCount - 1] : kNoWord;
            *score = alignment +
                     Decoder_ScoreNGramSequence(decoder->vocabulary, 1, 1, &history, 0, nullptr, prons, wordCount);
        }
    }
    Segmenter_Delete(seg);
}

void DecoderUtils_RescoreChoices(Decoder* decoder, int32_t, LinChChoice* choices, int32_t* count)
{
    const auto mode = static_cast<int32_t>(BrevitParam_Word(kBrevitParamRescoreMode));
    if (mode != 2 && frameCount(decoder) > 0) {
        const int32_t cross = mode == 4 || mode == 5;
        for (int32_t i = 0; i < *count;) {
            LinChChoice& c = choices[i];
            DecoderUtils_RealignChoice(decoder, nullptr, c.words, c.startFlags, &c.score, c.wordCount, cross);
            if (c.score == kNoScore)
                removeChoice(choices, count, i);
            else
                ++i;
        }
    }
    if (mode == 2 || mode == 3 || mode == 5)
        for (int32_t i = 0; i < *count; ++i)
            Decoder_SwapChoiceLMOrder(decoder, &choices[i].score, choices[i].words, choices[i].wordCount, 1, 2);
    std::stable_sort(choices, choices + *count, [](const LinChChoice& a, const LinChChoice& b) {
        return CloseCall_CompareChoices(&a, &b) < 0;
    });
}

void DecoderUtils_AddClassPairScores(LinChChoice* choices, int32_t count, Constraint* const* constraints, int32_t,
                                     int32_t option)
{
    if (constraints == nullptr || constraints[0] == nullptr ||
        Constraint_GetType(constraints[0]) != kConstraintTypeClassPair)
        return;
    for (int32_t i = 0; i < count; ++i) {
        LinChChoice& c = choices[i];
        Constraint* con = c.constraint != nullptr && Constraint_GetType(c.constraint) == kConstraintTypeClassPair
                              ? c.constraint
                              : constraints[0];
        std::vector<int32_t> members(c.members, c.members + std::clamp(c.wordCount, 0, kLinChChoiceWords));
        c.languageScore += static_cast<int16_t>(ClassPairConstraint_ScoreWordSequence(
            con, c.wordCount, c.words, c.classes, members.data(), c.startFlags, option));
    }
}

void DecoderUtils_FillChoiceList(const LinChChoice* choices, int32_t* count, int32_t limit, int32_t* scores,
                                 int16_t* grammarShares, int32_t capacity, uint32_t* wordIds, uint8_t* classEnds,
                                 uint32_t* classIds, uint32_t* memberValues, uint8_t* classStarts,
                                 uint16_t* decoderValues, Constraint** constraints, const Voc* vocabulary)
{
    int32_t copied = 0;
    int32_t written = 0;
    for (int32_t c = 0; c < *count && copied < limit; ++c) {
        const LinChChoice& choice = choices[c];
        const int32_t n = std::clamp(choice.wordCount, 0, kLinChChoiceWords);
        if (written + n >= capacity)
            break;
        for (int32_t i = 0; i <= n; ++i, ++written) {
            const bool end = i == n;
            wordIds[written] = end ? 0xFFFFFFFFu
                                   : vocabulary != nullptr ? Voc_PronIdToVocId(vocabulary, choice.words[i])
                                                           : choice.words[i];
            if (classEnds != nullptr)
                classEnds[written] = end ? 0 : choice.flags[i];
            if (classIds != nullptr)
                classIds[written] = end ? 0 : choice.classes[i];
            if (memberValues != nullptr)
                memberValues[written] = end ? 0 : choice.members[i];
            if (classStarts != nullptr)
                classStarts[written] = end ? 0 : choice.startFlags[i];
            if (decoderValues != nullptr)
                decoderValues[written] = end ? 0 : static_cast<uint16_t>(choice.endFrames[i]);
        }
        scores[copied] = choice.score;
        if (grammarShares != nullptr)
            grammarShares[copied] = static_cast<int16_t>(choice.languageScore);
        if (constraints != nullptr)
            constraints[copied] = choice.constraint;
        ++copied;
    }
    *count = copied;
}
