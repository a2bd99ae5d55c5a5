// Controls of the PCM types the suite audio reports in the wrapper's tests
// (both 8 kHz by default, as the porting layer answers).
#pragma once

#include "oem/dvk_oem_audio_types.h"

#include <cstdint>

int32_t& fakeRecordingPcmType();
int32_t& fakePlaybackPcmType();
