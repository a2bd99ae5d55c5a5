// The recogniser wrapper: the only part of the suite that talks to the
// recognition engine. Every call runs on the suite thread; 0 is success.
#pragma once

#include "core/lang/dvk_lang.h"
#include "oem/dvk_oem_audio_types.h"
#include "sdk/common/dvk_types.h"

#include <cstdint>

struct dvk_vre_Recognizer;

// kind 1 recognition, 2 partial models, 3 dictation, 4 synthesis only;
// 1 when the language has a model set of that kind.
int32_t dvk_vre_isLanguageSupported(dvk_lang_Language language, int32_t kind, int32_t* code,
                                    int32_t* engineInfo);

// Synthesis of word ids (main engine) or of a text (the synthesis-only
// engine when there is one); both report how the audio will come out.
int32_t dvk_vre_startTTSFromIds(dvk_vre_Recognizer* vre, const int32_t* wordIds, int32_t count,
                                int32_t speed, int32_t volume, dvk_oem_audio_PCMType* pcmType,
                                dvk_oem_audio_VocoderType* vocoderType);
int32_t dvk_vre_startTTSFromText(dvk_vre_Recognizer* vre, const dvk_ucs2_Char* text, int32_t speed,
                                 int32_t volume, dvk_oem_audio_PCMType* pcmType,
                                 dvk_oem_audio_VocoderType* vocoderType);
// Fills buffer with at most bufferBytes of audio; answers 1 when synthesis
// has finished (also when none is running), else 0.
int32_t dvk_vre_getTTS(dvk_vre_Recognizer* vre, uint8_t* buffer, int32_t bufferBytes, int32_t* numBytes,
                       int32_t* numFrames);
int32_t dvk_vre_stopTTS(dvk_vre_Recognizer* vre);
