// The porting layer's audio: recording from the microphone through the
// service's recorder, playback through its player (PCM, or AMR-NB prompt
// frames decoded here), a numbered test recording in place of the
// microphone, and the UI told when playback starts and ends. Called on the
// suite thread ("VR").
#pragma once

#include "oem/dvk_oem_audio_types.h"

#include <cstdio>

int32_t dvk_oem_audio_getPCMRecordingType();
int32_t dvk_oem_audio_getPCMPlaybackType();
int32_t dvk_oem_audio_getVocoderRecordingType();
int32_t dvk_oem_audio_getVocoderPlaybackType();

// 0 once the start is under way; 1 when PCM type none is refused.
int32_t dvk_oem_audio_startRecording(dvk_oem_audio_InputDevice device, dvk_oem_audio_PCMType pcmType,
                                     dvk_oem_audio_VocoderType vocoderType, dvk_oem_audio_AudioCallback callback,
                                     void* context);
// The stopped callback runs at once; a start still waiting to run is
// dropped, and a start made before the recorder has stopped runs after it.
int32_t dvk_oem_audio_stopRecording(dvk_oem_audio_StoppedCallback stopped);
int32_t dvk_oem_audio_pauseRecording(int32_t flag);

// Exactly one of PCM type and vocoder type must be none (else the process
// ends with status 1); the done callback runs when the playback has ended
// by itself.
int32_t dvk_oem_audio_startPlayback(dvk_oem_audio_OutputDevice device, dvk_oem_audio_PCMType pcmType,
                                    dvk_oem_audio_VocoderType vocoderType, dvk_oem_audio_AudioCallback callback,
                                    dvk_oem_audio_DoneCallback done, void* context);
int32_t dvk_oem_audio_stopPlayback(dvk_oem_audio_StoppedCallback stopped);
int32_t dvk_oem_audio_pausePlayback();

// The test recording that replaces the microphone, or null.
FILE* dvkOemAudioTestInput();
