// The recogniser wrapper: the only part of the suite that talks to the
// recognition engine. Every call runs on the suite thread; 0 is success.
#pragma once

#include "core/lang/dvk_lang.h"
#include "oem/dvk_oem_audio_types.h"
#include "sdk/common/dvk_msg.h"
#include "sdk/common/dvk_types.h"

#include <cstdint>

struct dvk_vre_Recognizer;
struct dvk_constraints_Constraint;
struct dvk_nbest_List;
struct dvk_string_Table;

// An audio source polled once per frame step: the number of samples it
// left at *samples, or a negative count when its input has ended.
typedef int32_t (*dvk_vre_FeatureCallback)(int16_t** samples, void* context,
                                           int32_t* memoryError);

// mode 0 recognition, 1 dictation (other values take no language check).
// 0; 1 memory or engine failure (vre stays null); 2 language not supported.
int32_t dvk_vre_create(dvk_vre_Recognizer** vre, dvk_lang_Language language, int32_t mode,
                       dvk_string_Table* stringTable);
void dvk_vre_destroy(dvk_vre_Recognizer** vre);

// what: 0 vocabulary half, 1 models half, 2 both. load answers 0 with
// loaded 0 when nothing usable is stored; save answers 3 when writing failed.
int32_t dvk_vre_load(dvk_vre_Recognizer* vre, int32_t what, int32_t* loaded);
int32_t dvk_vre_save(dvk_vre_Recognizer* vre, int32_t what);
int32_t dvk_vre_remove(dvk_vre_Recognizer* vre, int32_t what);
int32_t dvk_vre_exists(dvk_lang_Language language, int32_t dictation, int32_t what);
int32_t dvk_vre_removeAll(int32_t what, int32_t dictation);

// kind 1 recognition, 2 partial models, 3 dictation, 4 synthesis only;
// 1 when the language has a model set of that kind.
int32_t dvk_vre_isLanguageSupported(dvk_lang_Language language, int32_t kind, int32_t* code,
                                    int32_t* engineInfo);
int32_t dvk_vre_partialModelsSupported(dvk_vre_Recognizer* vre);
int32_t dvk_vre_isSystemAdapted(dvk_vre_Recognizer* vre, int32_t* adapted);

// Grammar rebuild in steps on the suite thread; constraints is null-ended.
// The rebuild ends with exactly one of the done, error or stop events.
int32_t dvk_vre_addConstraintSet(dvk_vre_Recognizer* vre, dvk_constraints_Constraint** constraints,
                                 dvk_msg_Event doneEvent, dvk_msg_Event errorEvent);
int32_t dvk_vre_stopConstraintRebuild(dvk_vre_Recognizer* vre, dvk_msg_Event event);
int32_t dvk_vre_deleteConstraintSet(dvk_vre_Recognizer* vre, dvk_constraints_Constraint** constraints);
int32_t dvk_vre_deleteAllConstraints(dvk_vre_Recognizer* vre);
int32_t dvk_vre_rebuildMembers(dvk_vre_Recognizer* vre, dvk_constraints_Constraint* constraint);

// One recognition: start, feed audio and step frames until finished, stop,
// then read the result (null when nothing was recognised).
int32_t dvk_vre_startRecog(dvk_vre_Recognizer* vre, dvk_vre_FeatureCallback featureCallback,
                           void* featureContext, dvk_constraints_Constraint** constraints);
// 1 when the engine takes no more audio for this utterance.
int32_t dvk_vre_processPCM(dvk_vre_Recognizer* vre, const int16_t* samples, int32_t count);
// 1 when recognition has finished.
int32_t dvk_vre_processFeature(dvk_vre_Recognizer* vre, int32_t* processedFeature,
                               int32_t* memoryError);
int32_t dvk_vre_stopRecog(dvk_vre_Recognizer* vre, int32_t flag);
int32_t dvk_vre_getResult(dvk_vre_Recognizer* vre, dvk_nbest_List** nbest);

int32_t dvk_vre_startUtteranceEndDetect(dvk_vre_Recognizer* vre);
int32_t dvk_vre_finishUtteranceEndDetect(dvk_vre_Recognizer* vre);

// Feature capture into a buffer of bufferLen bytes: the front-end block,
// the packets, then a 4-byte trailer.
int32_t dvk_vre_startCapture(dvk_vre_Recognizer* vre, int32_t bufferLen);
int32_t dvk_vre_processCapturePCM(dvk_vre_Recognizer* vre, const int16_t* samples, int32_t count);
int32_t dvk_vre_finishCapture(dvk_vre_Recognizer* vre, uint8_t* out, int32_t* outLen);

int32_t dvk_vre_startAdaptation(dvk_vre_Recognizer* vre, dvk_vre_FeatureCallback featureCallback,
                                void* featureContext, const dvk_ucs2_Char* text);
int32_t dvk_vre_stopAdaptRecog(dvk_vre_Recognizer* vre, int32_t* failed, int32_t flag);
int32_t dvk_vre_endAdaptationSession(dvk_vre_Recognizer* vre, int32_t flag);

// 1 when the phrase could be made active; otherwise notRecognisable tells
// whether the engine cannot recognise it at all.
int32_t dvk_vre_isRecognizable(dvk_vre_Recognizer* vre, const dvk_ucs2_Char* phrase,
                               int32_t* notRecognisable);

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
