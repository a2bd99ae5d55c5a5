// Creating, loading and deleting decoders, the dummy kind and the scoring
// set every kind keeps.
#include "core/brevit/search/decoder.h"

#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/segmenter.h"
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/frame_buffer.h"

namespace {

constexpr int32_t kMaxStatesPerModel = 2;

bool modelFits(const AM* model) { return model == nullptr || AM_GetNumStatesPerModel(model) <= kMaxStatesPerModel; }

Decoder* createDummy()
{
    auto* decoder = static_cast<Decoder*>(DVKMem_Calloc(sizeof(Decoder)));
    if (decoder == nullptr)
        return nullptr;
    decoder->kind = kDecoderKindDummy;
    decoder->deleteSlot = Decoder_DeleteDummy;
    return decoder;
}

} // namespace

Decoder* Decoder_Create(Voc* vocabulary, AM* model, AM* second, AM* third, int32_t option, int32_t kind)
{
    // A decoder always scores against a model; the others are optional.
    if (model == nullptr || !modelFits(model) || !modelFits(second) || !modelFits(third))
        return nullptr;
    switch (kind) {
    case kDecoderKindLinearChain:
    case kDecoderKindLinearChain7:
    case kDecoderKindLinearChain9: {
        if (BrevitParam_Word(kBrevitParamLinearChainKinds) == 0)
            return nullptr;
        Decoder* decoder = LinChDecoder_CreateForKind(vocabulary, model, option, kind == kDecoderKindLinearChain7,
                                                      kind == kDecoderKindLinearChain9);
        if (decoder != nullptr)
            Decoder_SetRejectionParameters(decoder, 0, kDecoderRejectionOff);
        return decoder;
    }
    case kDecoderKindDummy:
        return createDummy();
    default:
        return nullptr;
    }
}

Decoder* Decoder_LoadFromBinFile(DVKTar* archive, const char* prefix, Voc* vocabulary, AM* model, AM* second,
                                 AM* third)
{
    if (archive == nullptr || model == nullptr || !modelFits(model) || !modelFits(second) || !modelFits(third))
        return nullptr;
    // No "bd0" sub-file: no reader, no decoder.
    BinFileReader* reader = BinFileReader_Create(archive, "bd0", prefix);
    if (reader == nullptr)
        return nullptr;
    int32_t kind = 0;
    int32_t option = 0;
    const bool read = BinFileReader_ReadInt(reader, &kind) && BinFileReader_ReadInt(reader, &option);
    BinFileReader_Delete(reader);
    if (!read || kind == kDecoderKindFast)
        return nullptr;
    return Decoder_Create(vocabulary, model, second, nullptr, option, kind);
}

void Decoder_DeleteDummy(Decoder* decoder, int32_t)
{
    DVKMem_Free(decoder);
}

void Decoder_FreeSegmentations(Decoder* decoder)
{
    Segmenter_Delete(decoder->aligner);
    decoder->aligner = nullptr;
    Segmentation_Delete(decoder->workingSegmentation);
    decoder->workingSegmentation = nullptr;
    Segmentation_Delete(decoder->bestSegmentation);
    decoder->bestSegmentation = nullptr;
}

void Decoder_Delete(Decoder* decoder, int32_t option)
{
    if (decoder == nullptr)
        return;
    Decoder_FreeSegmentations(decoder);
    if (decoder->ownsFrameBuffer && decoder->frameBuffer != nullptr) {
        FrameBuffer_Delete(decoder->frameBuffer);
        decoder->frameBuffer = nullptr;
    }
    DVKMem_Free(decoder->statsA);
    DVKMem_Free(decoder->statsB);
    decoder->statsA = nullptr;
    decoder->statsB = nullptr;
    decoder->statsLength = 0;
    decoder->deleteSlot(decoder, option);
}

AMScoringSet* Decoder_CreateAMScoreState(Decoder* decoder)
{
    decoder->scoringSet = AM_NewScoringSet();
    return decoder->scoringSet;
}

AMScoringSet* Decoder_GetAMScoreState(const Decoder* decoder) { return decoder->scoringSet; }

void Decoder_InitAMScoring(Decoder* decoder, int32_t a, int32_t b)
{
    AM_GetScoringFunctions(decoder->model, decoder->scoringSet, a, b);
}
