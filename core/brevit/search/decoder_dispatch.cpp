// The generic operations over the slot table: each checks its slot and does
// what an empty slot means for it. "Calls" dispatchers have no default of
// their own; callers use them only on kinds that fill the slot, and an empty
// slot there answers 0.
#include "core/brevit/search/decoder.h"

void Decoder_FreeMemory(Decoder* decoder, int32_t level)
{
    if (decoder != nullptr && decoder->freeMemory != nullptr)
        decoder->freeMemory(decoder, level);
}

int32_t Decoder_WritePSAFile(Decoder* decoder, DVKTar* archive, const char* prefix)
{
    return decoder->writePSAFile != nullptr ? decoder->writePSAFile(decoder, archive, prefix) : 1;
}

int32_t Decoder_ReadPSAFile(Decoder* decoder, DVKTar* archive, const char* prefix)
{
    return decoder->readPSAFile != nullptr ? decoder->readPSAFile(decoder, archive, prefix) : 1;
}

void Decoder_UttRestart(Decoder* decoder)
{
    if (decoder->uttRestart != nullptr)
        decoder->uttRestart(decoder);
}

int32_t Decoder_SetRejectionParameters(Decoder* decoder, int32_t on, int32_t threshold)
{
    return decoder->setRejectionParameters != nullptr ? decoder->setRejectionParameters(decoder, on, threshold)
                                                      : 1;
}

int32_t Decoder_GetState(Decoder* decoder)
{
    return decoder->getState != nullptr ? decoder->getState(decoder) : 0;
}

void Decoder_SetCrossThresholding(Decoder* decoder, int32_t value)
{
    if (decoder->setCrossThresholding != nullptr)
        decoder->setCrossThresholding(decoder, value);
}

int32_t Decoder_GetCurrentFrame(Decoder* decoder)
{
    return decoder->getCurrentFrame != nullptr ? static_cast<int16_t>(decoder->getCurrentFrame(decoder)) : 0;
}

int32_t Decoder_FESeenFinalSilence(Decoder* decoder, int32_t frames)
{
    return decoder->feSeenFinalSilence != nullptr ? decoder->feSeenFinalSilence(decoder, frames) : 0;
}

int32_t Decoder_SetRejected(Decoder* decoder)
{
    return decoder->setRejected != nullptr ? decoder->setRejected(decoder) : 0;
}

int32_t Decoder_GetNonAcousticScore(Decoder* decoder, int32_t leftCount, const uint32_t* leftIds, int32_t total,
                                    int32_t wordCount, const uint32_t* wordIds, const uint8_t* perWord)
{
    if (decoder->getNonAcousticScore == nullptr)
        return 0;
    return static_cast<int16_t>(
        decoder->getNonAcousticScore(decoder, leftCount, leftIds, total, wordCount, wordIds, perWord));
}

void Decoder_NotifyLMAdapt(Decoder* decoder, int32_t word)
{
    if (decoder->notifyLMAdapt != nullptr)
        decoder->notifyLMAdapt(decoder, word);
}

int32_t Decoder_GetPartialResult(Decoder* decoder, int32_t capacity, uint32_t* wordIds)
{
    return decoder->getPartialResult != nullptr ? decoder->getPartialResult(decoder, capacity, wordIds) : 0;
}

WordGraph* Decoder_CloneWordGraph(Decoder* decoder)
{
    return decoder->cloneWordGraph != nullptr ? decoder->cloneWordGraph(decoder) : nullptr;
}

int32_t Decoder_GetChoiceInterval(Decoder* decoder, int32_t count, int32_t choiceIndex, int32_t* first,
                                  int32_t* last)
{
    if (decoder->getChoiceInterval == nullptr || choiceIndex >= count)
        return 0;
    return decoder->getChoiceInterval(decoder, choiceIndex, first, last);
}

int32_t Decoder_MassageChoice(Decoder* decoder, uint16_t* prons, int32_t* count, int32_t* score)
{
    return decoder->massageChoice != nullptr ? decoder->massageChoice(decoder, prons, count, score) : 0;
}

int32_t Decoder_UttFinish(Decoder* decoder, Utterance* utterance)
{
    decoder->utterance = utterance;
    return decoder->uttFinish != nullptr ? decoder->uttFinish(decoder, utterance) : 0;
}

int32_t Decoder_SetFrameBuffer(Decoder* decoder, FrameBuffer* buffer)
{
    const int32_t state = Decoder_GetState(decoder);
    if (decoder->setFrameBuffer == nullptr || state == kDecoderStateRunning)
        return state;
    return decoder->setFrameBuffer(decoder, buffer);
}

void Decoder_FillPronCacheAllClasses(Decoder* decoder, ClassManager* classManager, int32_t flag)
{
    if (decoder->fillPronCacheAllClasses != nullptr)
        decoder->fillPronCacheAllClasses(decoder, classManager, flag);
}

int32_t Decoder_RebuildTreeIfNecessary(Decoder* decoder)
{
    return decoder->rebuildTreeIfNecessary != nullptr ? decoder->rebuildTreeIfNecessary(decoder) : 1;
}

int32_t Decoder_RunDetailedMatch(Decoder* decoder, int32_t a, int32_t b)
{
    return decoder->runDetailedMatch != nullptr ? decoder->runDetailedMatch(decoder, a, b) : 0;
}

int32_t Decoder_FillChoiceStruct(Decoder* decoder, void* choices, int32_t limit)
{
    return decoder->fillChoiceStruct != nullptr ? decoder->fillChoiceStruct(decoder, choices, limit) : 0;
}

int32_t Decoder_AddPair(Decoder* decoder, int16_t a, int16_t b)
{
    return decoder->addPair != nullptr ? decoder->addPair(decoder, a, b) : 0;
}

int32_t Decoder_GetSilenceThresholdTime(Decoder* decoder)
{
    return decoder->getSilenceThresholdTime != nullptr
               ? static_cast<int16_t>(decoder->getSilenceThresholdTime(decoder))
               : -1;
}

int32_t Decoder_GetBestAccumScore(Decoder* decoder)
{
    return decoder->getBestAccumScore != nullptr ? decoder->getBestAccumScore(decoder) : kDecoderNoScore;
}

int32_t Decoder_GetBestConstraintScores(Decoder* decoder, int32_t count, int32_t* scores)
{
    return decoder->getBestConstraintScores != nullptr ? decoder->getBestConstraintScores(decoder, count, scores)
                                                       : 0;
}

int32_t Decoder_ExtendFinalSilence(Decoder* decoder)
{
    if (decoder->extendFinalSilence == nullptr || Decoder_GetState(decoder) == kDecoderStateFailed)
        return 0;
    return decoder->extendFinalSilence(decoder);
}

void Decoder_GetKeyScores(Decoder* decoder, int32_t* best, int32_t* silence, int32_t* bestWordEnd)
{
    if (decoder->getKeyScores != nullptr)
        decoder->getKeyScores(decoder, best, silence, bestWordEnd);
}

void Decoder_SetBestCrossScore(Decoder* decoder, int32_t score)
{
    if (decoder->setBestCrossScore != nullptr)
        decoder->setBestCrossScore(decoder, score);
}

void Decoder_SetComputation(Decoder* decoder, int32_t level)
{
    if (decoder->setComputation != nullptr)
        decoder->setComputation(decoder, level);
}

uint32_t Decoder_ComputeCRC(Decoder* decoder)
{
    return decoder->computeCRC != nullptr ? decoder->computeCRC(decoder) : 0xFFFFFFFFu;
}

void Decoder_ForgetConstraint(Decoder* decoder, Constraint* constraint)
{
    decoder->activeConstraint = 0;
    if (decoder->forgetConstraint != nullptr)
        decoder->forgetConstraint(decoder, constraint);
}

int32_t Decoder_MakeWordActive(Decoder* decoder, int32_t word)
{
    return decoder->makeWordActive != nullptr ? decoder->makeWordActive(decoder, word) : 1;
}

int32_t Decoder_MakePronActive(Decoder* decoder, int32_t word, int32_t pron)
{
    return decoder->makePronActive != nullptr ? decoder->makePronActive(decoder, word, pron) : 1;
}

int32_t Decoder_MakeWordInactive(Decoder* decoder, int32_t word)
{
    return decoder->makeWordInactive != nullptr ? decoder->makeWordInactive(decoder, word) : 1;
}

int32_t Decoder_MakePronInactive(Decoder* decoder, int32_t pron)
{
    return decoder->makePronInactive != nullptr ? decoder->makePronInactive(decoder, pron) : 1;
}

void Decoder_DumpState(Decoder* decoder)
{
    if (decoder->dumpState != nullptr)
        decoder->dumpState(decoder);
}

int32_t Decoder_WriteSegmentationFile(Decoder* decoder, const char* path)
{
    return decoder->writeSegmentationFile != nullptr ? decoder->writeSegmentationFile(decoder, path) : 0;
}

int32_t Decoder_WriteLatticeFile(Decoder* decoder, const char* path)
{
    return decoder->writeLatticeFile != nullptr ? decoder->writeLatticeFile(decoder, path) : 0;
}

int32_t Decoder_IsUtteranceDone(const Decoder* decoder) { return decoder->uttDone; }

Segmentation* Decoder_GetSegmentation(const Decoder* decoder) { return decoder->bestSegmentation; }

int32_t Decoder_HasFailed(Decoder* decoder) { return Decoder_GetState(decoder) == kDecoderStateFailed; }

void Decoder_GetHypLikStats(const Decoder* decoder, int32_t** first, int32_t** second)
{
    if (first != nullptr)
        *first = decoder->statsA;
    if (second != nullptr)
        *second = decoder->statsB;
}
