// Until the frame-synchronous step and the word-end step are built, the
// operations the set-up chooses for them do nothing: no hypothesis moves,
// no word ends, no word starts.
#include "core/brevit/search/linch_decoder.h"

void LinChDecoderNoTimes_UpdateHypotheses(LinChDecoder*) {}
void LinChDecoderNoTimes_UpdateHypothesesExpanded(LinChDecoder*) {}
int32_t LinChDecoderNoTimes_MakeNewWordList(LinChDecoder* decoder) { return decoder->hypCount; }
int32_t LinChDecoderNoTimes_MakeNewWordListSimple(LinChDecoder* decoder) { return decoder->hypCount; }
int32_t LinChDecoderNoTimes_ProcessHypSequence(LinChDecoder*, int32_t*, int32_t*, uint16_t, LinChNewWord*)
{
    return 0;
}
void LinChDecoderNoTimes_UpdateHyp1(LinChDecoder*, const LinChHyp*, LinChHyp*) {}
void LinChDecoderNoTimes_UpdateHyp2(LinChDecoder*, const LinChHyp*, LinChHyp*) {}
void LinChDecoderNoTimes_NewWordContinuousSlots(LinChDecoder*, int32_t, uint16_t, uint32_t, uint32_t, int32_t) {}
void LinChDecoderNoTimes_NewWordContinuous(LinChDecoder*, int32_t, uint16_t, uint32_t, uint32_t, int32_t) {}
void LinChDecoderNoTimes_NewWordConstraintWithLM(LinChDecoder*, int32_t, uint16_t, uint32_t, uint32_t, int32_t) {}
void LinChDecoderNoTimes_NewWordConstraintNoLM(LinChDecoder*, int32_t, uint16_t, uint32_t, uint32_t, int32_t) {}
void LinChDecoderNoTimes_NewWordFMConstraint(LinChDecoder*, int32_t, uint16_t, uint32_t, uint32_t, int32_t) {}
