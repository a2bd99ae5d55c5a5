// Choices of the linear-chain decoder and the constraint copies behind them:
// the best path as one choice, checking and rewriting a word sequence, giving
// the caller's constraints and classes back to choices made over copies, and
// releasing the copies.
#include "core/brevit/search/linch_decoder.h"

#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/grammar.h"
#include "core/brevit/search/linch_choice.h"
#include "core/brevit/search/result_graph.h"
#include "core/brevit/search/search_framework_calls.h"

#include <cstring>

namespace {

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

bool blankPrefixed(const ClassManager* manager, uint32_t classId)
{
    const char* name = ClassManager_GetClassName(manager, classId);
    return name != nullptr && ClassManager_IsBlankPrefixedName(name) != 0;
}

ClassManager* managerOf(LinChDecoder* d, const LinChChoice& choice)
{
    if (choice.constraint != nullptr && Constraint_GetType(choice.constraint) == kConstraintTypeClassPair)
        return choice.constraint->classManager;
    return Constraint_FindClassPair(d->constraints, d->numConstraints);
}

int32_t constraintIndex(const LinChDecoder* d, const Constraint* con)
{
    for (int32_t i = 0; i < d->numConstraints; ++i)
        if (d->constraints[i] == con)
            return i;
    return -1;
}

} // namespace

void LinChDecoder_ReleaseClassPairCopies(LinChDecoder* d)
{
    if (d->replacedConstraints != nullptr) {
        for (int32_t i = 0; i < d->numCallerConstraints; ++i) {
            Constraint* copy = d->replacedConstraints[i];
            if (copy == nullptr)
                continue;
            // The active list must not keep a deleted copy: the caller's takes its place.
            for (int32_t j = 0; j < d->numConstraints; ++j)
                if (d->constraints[j] == copy)
                    d->constraints[j] = d->callerConstraints[i];
            Constraint_Delete(copy);
            d->replacedConstraints[i] = nullptr;
        }
        DVKMem_Free(d->replacedConstraints);
        d->replacedConstraints = nullptr;
    }
    d->numCallerConstraints = 0;
    if (d->callerConstraints != d->constraints)
        DVKMem_Free(d->callerConstraints);
    d->callerConstraints = nullptr;
}

void LinChDecoder_MapChoiceConstraints(LinChDecoder* d)
{
    if (d->numConstraints < 1 || d->replacedConstraints == nullptr ||
        Constraint_GetType(d->constraints[0]) != kConstraintTypeClassPair)
        return;
    for (int32_t c = 0; c < d->numChoices; ++c) {
        LinChChoice& choice = d->choices[c];
        for (int32_t i = 0; i < d->numCallerConstraints && i < d->numConstraints; ++i)
            if (d->replacedConstraints[i] != nullptr && choice.constraint == d->constraints[i]) {
                choice.constraint = d->callerConstraints[i];
                break;
            }
    }
}

void LinChDecoder_RelabelChoiceClasses(LinChDecoder* d)
{
    const char* name = Constraint_RequestedClassName();
    if (word(kBrevitParamRequestClass) == 0 || name[0] == '\0')
        return;
    for (int32_t c = 0; c < d->numChoices; ++c) {
        LinChChoice& choice = d->choices[c];
        ClassManager* manager = managerOf(d, choice);
        if (manager == nullptr)
            continue;
        const int32_t i = constraintIndex(d, choice.constraint);
        if (d->optimisedConstraints && i >= 0 && i < d->numCallerConstraints && d->callerConstraints != nullptr) {
            uint32_t lastId = 0xFFFFFFFFu;
            int32_t lastMapped = -1;
            for (int32_t j = 0; j < choice.wordCount; ++j) {
                const uint32_t id = choice.classes[j];
                if (!blankPrefixed(manager, id))
                    continue;
                if (id != lastId) {
                    lastId = id;
                    lastMapped = ClassPair_MapClass(d->callerConstraints[i], id);
                }
                if (lastMapped >= 0)
                    choice.classes[j] = static_cast<uint32_t>(lastMapped);
            }
        }
        const int32_t target = ClassManager_FindClass(manager, name);
        if (target < 0)
            continue;
        bool previousRelabelled = false;
        for (int32_t j = 0; j < choice.wordCount; ++j) {
            const bool relabel = blankPrefixed(manager, choice.classes[j]);
            if (relabel) {
                choice.classes[j] = static_cast<uint32_t>(target);
                if (previousRelabelled)
                    choice.startFlags[j] = 0;
            }
            previousRelabelled = relabel;
        }
    }
}

int32_t LinChDecoder_FillChoiceStruct(Decoder* decoder, void* out, int32_t)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    auto* choice = static_cast<LinChChoiceStruct*>(out);
    std::memset(choice->flags, 0, sizeof(choice->flags));
    if (Decoder_GetState(decoder) == kDecoderStateFailed) {
        choice->score = kDecoderNoScore;
        return 0;
    }
    if (decoder->wordGraph != nullptr) {
        // The search starts from the utterance's start: no history carried in.
        WordGraph_Build(decoder->wordGraph, word(kBrevitParamHistoryOrder), 0, nullptr);
    }
    int32_t count = 0;
    int32_t score = kDecoderNoScore;
    uint32_t node = 0;
    const int32_t whole = ResultGraph_GetBestPath(d->resultGraph, choice->words, nullptr, nullptr, nullptr, nullptr,
                                                  kLinChChoiceStructWords, &count, &score, &node, 0, nullptr,
                                                  nullptr);
    if (whole == 0 || count < 1 || count > kLinChChoiceStructWords) {
        d->state = kDecoderStateFailed;
        choice->count = 0;
        choice->score = kDecoderNoScore;
        return 0;
    }
    choice->count = count;
    choice->score = score;
    return 1;
}

int32_t LinChDecoder_MassageChoice(LinChDecoder* d, int32_t n, uint32_t* words, const Grammar* grammar,
                                   const char* rule, Constraint* const* transcriptions, int32_t transcriptionCount,
                                   int32_t* score)
{
    // No choice holds more words than a choice record.
    if (n < 1 || n > kLinChChoiceWords || words == nullptr)
        return -1;
    uint16_t prons[kLinChChoiceWords];
    for (int32_t i = 0; i < n; ++i)
        prons[i] = static_cast<uint16_t>(Voc_GetFirstPronId(d->base.vocabulary, words[i]));
    if (grammar != nullptr && Grammar_ParseExists(grammar, rule, n, words) > 0 &&
        (transcriptionCount <= 0 || Transcription_CheckChoice(transcriptions, transcriptionCount, prons, n) != 0)) {
        *score = 0;
        return n;
    }
    for (int32_t c = 0; c < d->numChoices; ++c) {
        const LinChChoice& choice = d->choices[c];
        if (choice.wordCount != n || std::memcmp(choice.words, prons, static_cast<size_t>(n) * 2) != 0)
            continue;
        int32_t count = n;
        DecoderUtils_RewriteChoice(prons, choice.members, choice.startFlags, choice.endFrames, 0, &count, score);
        if (count >= 1)
            for (int32_t i = 0; i < count && i < kLinChChoiceWords; ++i)
                words[i] = Voc_PronIdToVocId(d->base.vocabulary, prons[i]);
        return count;
    }
    return -1;
}

int32_t LinChDecoder_MassageChoiceSlot(Decoder* decoder, uint16_t* prons, int32_t* count, int32_t* score)
{
    const int32_t n = *count;
    if (n < 1 || n > kLinChChoiceWords || prons == nullptr)
        return 0;
    uint32_t words[kLinChChoiceWords];
    for (int32_t i = 0; i < n; ++i)
        words[i] = Voc_PronIdToVocId(decoder->vocabulary, prons[i]);
    const int32_t result =
        LinChDecoder_MassageChoice(LinChDecoder_Of(decoder), n, words, nullptr, nullptr, nullptr, 0, score);
    *count = result < 0 ? 0 : result;
    for (int32_t i = 0; i < *count; ++i)
        prons[i] = static_cast<uint16_t>(Voc_GetFirstPronId(decoder->vocabulary, words[i]));
    return result < 0 ? 0 : 1;
}
