#include "core/brevit/search/lm.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"

namespace {

constexpr int32_t kPredicted = 7;

int32_t lowSigned16(int32_t value)
{
    return static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF));
}

// Fills the history buffer from history (n words, oldest first), newest at
// position 6; a sentence start ends the walk and fills the positions below
// it. Returns the history count: 7 after a sentence start, else the words
// used. mapped: the words are word ids to map (else model symbols).
int32_t buildHistory(LM* model, const uint16_t* history, int32_t n, bool mapped)
{
    if (n < 0 || history == nullptr)
        n = 0;
    int32_t h = n >= model->order ? model->order - 1 : n;
    h = h < 0 ? 0 : (h > kPredicted ? kPredicted : h);
    const uint16_t start = model->sentenceStart;
    for (int32_t j = 0; j < h; ++j) {
        const uint16_t word = history[n - 1 - j];
        const uint16_t symbol = mapped ? LM_MapWordId(model, word) : word;
        const int32_t position = kPredicted - 1 - j;
        model->history[position] = symbol;
        if (start != 0 && symbol == start) {
            for (int32_t p = 0; p < position; ++p)
                model->history[p] = start;
            return kPredicted;
        }
    }
    return h;
}

int32_t scoreOne(LM* model, int32_t historyCount, uint16_t symbol, int32_t flag)
{
    model->history[kPredicted] = symbol;
    return lowSigned16(model->score(model, model->history + kPredicted - historyCount,
                                    historyCount + 1, historyCount, flag));
}

int32_t scoreAfterHistory(LM* model, const uint16_t* history, int32_t n, int32_t word,
                          bool mapped, int32_t flag)
{
    if (model == nullptr)
        return 0;
    const int32_t h = buildHistory(model, history, n, mapped);
    const auto symbol = mapped ? LM_MapWordId(model, word) : static_cast<uint16_t>(word);
    return scoreOne(model, h, symbol, flag);
}

void scoreEachAlone(LM* model, int32_t historyCount, int32_t count, const uint16_t* candidates,
                    int16_t* scores)
{
    for (int32_t i = 0; i < count; ++i)
        scores[i] = static_cast<int16_t>(
            scoreOne(model, historyCount, LM_MapWordId(model, candidates[i]), 0));
}

// The dynamic slot of word, -1 outside the slots.
int32_t slotOf(const LM* model, int32_t word)
{
    const int64_t k = int64_t{word} - model->firstDynamic;
    return k >= 0 && k < model->slotCount ? static_cast<int32_t>(k) : -1;
}

uint16_t dynamicModelId(const LM* model, int32_t slot)
{
    return static_cast<uint16_t>((int64_t{model->dynamicBase} + 1 + slot) & 0xFFFF);
}

} // namespace

uint16_t LM_MapWordId(const LM* model, int32_t word)
{
    word &= 0xFFFF;   // active word ids are 16 bits
    switch (word) {
    case 65531:
        return model->symbol65531;
    case 65532:
    case 65533:
        return model->sentenceStart;
    case 65534:
    case 65535:
        return 0;
    default:
        break;
    }
    if (word >= model->firstDynamic)
        return static_cast<uint16_t>((int64_t{model->dynamicBase} + 1 - model->firstDynamic + word) & 0xFFFF);
    if (model->idMap != nullptr)
        return model->idMap[word];
    return static_cast<uint16_t>((int64_t{word} + model->idOffset) & 0xFFFF);
}

int32_t LM_GetWordScore(LM* model, const uint16_t* history, int32_t n, int32_t word)
{
    return scoreAfterHistory(model, history, n, word, true, 1);
}

int32_t LM_GetWordScoreRaw(LM* model, const uint16_t* history, int32_t n, int32_t word)
{
    return scoreAfterHistory(model, history, n, word, true, 0);
}

int32_t LM_GetWordScoreByLMIds(LM* model, const uint16_t* history, int32_t n, int32_t symbol)
{
    return scoreAfterHistory(model, history, n, symbol, false, 0);
}

int32_t LM_ScoreCandidates(LM* model, int32_t n, const uint16_t* history, int32_t count,
                           const uint16_t* candidates, int32_t key, int16_t* scores)
{
    if (model == nullptr) {
        for (int32_t i = 0; i < count; ++i)
            scores[i] = 0;
        return -1;
    }
    const int32_t h = buildHistory(model, history, n, true);
    if (count > model->batchCapacity) {
        scoreEachAlone(model, h, count, candidates, scores);
        model->candidateKey = -1;
        return model->candidateKey;
    }
    const uint32_t mark = DVKTempMem_GetMark();
    uint16_t* mapped = nullptr;
    if (key == -1 || key != model->candidateKey) {
        uint32_t crc = DVKCrc_AddValue(static_cast<uint32_t>(count), 4, 0xFFFFFFFFu);
        const int32_t listed = count > 0 ? count : 0;
        mapped = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(listed + 1) * 2));
        for (int32_t i = 0; i < listed; ++i) {
            crc = DVKCrc_AddValue(candidates[i], 2, crc);
            mapped[i] = LM_MapWordId(model, candidates[i]);
        }
        model->candidateKey = static_cast<int32_t>(crc);
    }
    if (model->batchScore(model, h, model->history + kPredicted - h, count, mapped, scores) == 0) {
        scoreEachAlone(model, h, count, candidates, scores);
        model->candidateKey = -1;
    }
    DVKTempMem_ReleaseToMark(mark);
    return model->candidateKey;
}

int32_t LM_AdaptOnWords(LM* model, int32_t contextCount, const uint16_t* context,
                        int32_t wordCount, const uint16_t* words)
{
    if (model == nullptr || model->adaptation == 0)
        return 0;
    contextCount = contextCount > 0 ? contextCount : 0;
    wordCount = wordCount > 0 ? wordCount : 0;
    const uint32_t mark = DVKTempMem_GetMark();
    const int64_t total = int64_t{contextCount} + wordCount;
    auto* symbols = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(total + 1) * 2));
    for (int32_t i = 0; i < contextCount; ++i)
        symbols[i] = LM_MapWordId(model, context[i]);
    for (int32_t i = 0; i < wordCount; ++i)
        symbols[contextCount + i] = LM_MapWordId(model, words[i]);
    const int32_t result = model->adapt(model, symbols, static_cast<int32_t>(total), contextCount);
    DVKTempMem_ReleaseToMark(mark);
    return result;
}

int32_t LM_ActivateDynamicWord(LM* model, int32_t word, int32_t a, int32_t b)
{
    if (model == nullptr)
        return 1;
    const int32_t k = slotOf(model, word);
    if (k < 0 || model->slotFlags[k] != 0)
        return 0;
    if (!model->activateDynamic(model, dynamicModelId(model, k), a, b))
        return 0;
    model->slotFlags[k] = 1;
    return 1;
}

int32_t LM_DeactivateDynamicWord(LM* model, int32_t word)
{
    if (model == nullptr)
        return 1;
    const int32_t k = slotOf(model, word);
    if (k < 0)
        return 0;
    if (model->slotFlags[k] == 0)
        return 1;
    if (!model->deactivateDynamic(model, dynamicModelId(model, k), model->slotFlags[k],
                                  model->slotFlags))
        return 0;
    model->slotFlags[k] = 0;
    return 1;
}

uint32_t LM_ComputeCRC(const LM* model, uint32_t crc)
{
    if (model == nullptr || model->crc == nullptr)
        return 0xFFFFFFFFu;
    return model->crc(model, crc);
}

int32_t LM_GetScale(const LM* model)
{
    if (model == nullptr)
        return static_cast<int32_t>(BrevitParam_Word(kBrevitParamLmScale));
    return model->scale;
}

int32_t LM_GetOrder(const LM* model)
{
    return model != nullptr ? model->order : 0;
}

LM* LM_ReadPSAFileSubFile(LM* model, BinFileReader* reader)
{
    if (model == nullptr || model->readState == nullptr)
        return nullptr;
    return model->readState(model, reader);
}

int32_t LM_WritePSAFileSubFile(const LM* model, BinFileWriter* writer)
{
    if (model == nullptr || model->writeState == nullptr)
        return 0;
    return model->writeState(model, writer);
}

LM* LM_LoadFromBinFile(LM* model, DVKTar* tar, const char* prefix)
{
    if (model == nullptr)
        return nullptr;
    BinFileReader* reader = BinFileReader_Create(tar, kLMSubFileTag, prefix);
    if (reader == nullptr)
        return nullptr;
    LM* result = LM_ReadPSAFileSubFile(model, reader);
    BinFileReader_Delete(reader);
    return result;
}

int32_t LM_WritePSAFile(const LM* model, DVKTar* tar, const char* prefix)
{
    if (model == nullptr)
        return 0;
    BinFileWriter* writer = BinFileWriter_Create(tar, kLMSubFileTag, prefix);
    if (writer == nullptr)
        return 0;
    const int32_t result = LM_WritePSAFileSubFile(model, writer);
    const bool completed = BinFileWriter_Delete(writer) == 0;
    return result && completed ? result : 0;
}

LM* LM_CreateFromBinFile(DVKTar* tar, const char* prefix)
{
    BinFileReader* reader = BinFileReader_Create(tar, kLMSubFileTag, prefix);
    if (reader == nullptr)
        return nullptr;
    uint32_t format = 0;
    BinFileReader_ReadUnsignedInt(reader, &format);
    BinFileReader_Delete(reader);
    return nullptr;
}

void LM_Delete(LM* model)
{
    if (model == nullptr || model->shared)
        return;
    if (model->free != nullptr)
        model->free(model);
    DVKMem_Free(model);
}
