// What the engine object calls of the front end: the object holds one front
// end and never looks inside it; it keeps its end-pointers, utterance
// buffers and packet formats through their own modules.
#pragma once

#include "core/brevit/frontend/sig_proc_packet.h"
#include "core/brevit/frontend/utt_det.h"
#include "core/brevit/frontend/utterance.h"

struct FE;

// Frees a front end; null is ignored.
void FE_Destroy(FE* frontEnd);
