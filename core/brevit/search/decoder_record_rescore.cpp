// Choice refinement over 128-byte choice records.
#include "core/brevit/search/decoder_utils.h"

#include "core/brevit/frontend/utterance.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/choice_record.h"
#include "core/brevit/search/decoder.h"
#include "core/brevit/search/frame_buffer.h"

#include <algorithm>
#include <cstring>

namespace {

bool hasFrames(Decoder* decoder)
{
    if (decoder->utterance != nullptr)
        return Utterance_GetNumFrames(decoder->utterance) > 0;
    return decoder->frameBuffer != nullptr && FrameBuffer_GetNumFrames(decoder->frameBuffer) > 0;
}

} // namespace

void Decoder_SwapChoiceRecordsLMOrder(Decoder* decoder, ChoiceRecord* records, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        Decoder_SwapChoiceLMOrder(decoder, &records[i].score, records[i].prons,
                                  std::clamp(records[i].wordCount, 0, kChoiceRecordWords), 1, 2);
}

void Decoder_RescoreChoiceRecords(Decoder* decoder, int32_t, ChoiceRecord* records, int32_t* count)
{
    const auto mode = static_cast<int32_t>(BrevitParam_Word(kBrevitParamRescoreMode));
    if (BrevitParam_Word(kBrevitParamRealignOnRescore) != 0 && hasFrames(decoder)) {
        const int32_t cross = mode == 4 || mode == 5;
        for (int32_t i = 0; i < *count;) {
            ChoiceRecord& r = records[i];
            DecoderUtils_RealignChoice(decoder, nullptr, r.prons, r.flags, &r.score,
                                       std::clamp(r.wordCount, 0, kChoiceRecordWords), cross);
            if (r.score == kDecoderNoScore) {
                std::memmove(records + i, records + i + 1, static_cast<size_t>(*count - i - 1) * sizeof(ChoiceRecord));
                --*count;
            } else {
                ++i;
            }
        }
    }
    if (mode == 2 || mode == 3 || mode == 5)
        Decoder_SwapChoiceRecordsLMOrder(decoder, records, *count);
    ChoiceRecord_Sort(records, *count);
}
