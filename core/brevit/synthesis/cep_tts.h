// The cepstral synthesiser: the one implementation of the synthesis object.
// Text or word ids become phone units (front end), each unit's states take
// durations and means from the context trees, the optimiser smooths the
// frames and the waveform generator makes 16-bit PCM, one call at a time.
#pragma once

#include "core/brevit/synthesis/cep_tts_front_end.h"
#include "core/brevit/synthesis/tts.h"

struct CepDTree;
struct CepOptimizer;
struct CepSampleWrapper;
struct LMRewrite;

struct CepTTSUtterance {
    CepTTSUnits* units;
    int16_t* cepMeans;             // 3 x D
    int32_t* pitchMeans;           // 3
    int32_t durationRemainder;     // hundredths of a frame
    int32_t voiced;
    int32_t previousPhraseEnd;
    int32_t voicingValue;
    int32_t flagTwo;
    int32_t flagDecided;
    int32_t flagOne;
    uint16_t currentPhone;
    uint16_t spectrumState;
    uint16_t pitchState;
    uint8_t* features;             // 53
    int32_t durationMode;          // 0 model, 1 and 2 phrase pauses, 3 edge pause
    int32_t moreUnits;
    int32_t inputEnded;
    int32_t flushPending;
    int32_t finished;
    int32_t framesLeft;
    int32_t frameInState;
    int32_t statePosition;         // 1-based; S after the last
    int32_t unitCount;
    int32_t rateFactor;            // hundredths
    int32_t edgePauseFrames;
    int32_t phrasePause1Frames;
    int32_t phrasePause2Frames;
    // A frame the optimiser's full ring refused, offered again once it drained.
    int32_t heldFrame;
    int32_t heldVoicing;
    uint8_t heldPassThrough;
};

struct CepTTS {
    TTS base;
    int32_t maxPhoneId;            // N
    LMRewrite* pronToPhoneRewrites;
    LMRewrite* phoneClassRewrites;
    uint16_t vowelClass;
    uint16_t phoneShorts[3];
    int32_t outputKind;            // 3: 16-bit PCM
    int32_t cepstralOrder;         // D
    int32_t statesPerUnit;         // S
    int32_t frameShift;
    int32_t edgePause;
    int32_t phrasePause1;
    int32_t phrasePause2;
    int32_t speedScale;
    int32_t voicingThreshold;
    int32_t voicingHoldThreshold;
    int32_t postScale;
    uint8_t* phoneVoicingTwo;      // N + 1 each
    uint8_t* phoneVoicingDecided;
    uint8_t* phoneVoicingOne;
    CepTTSPhoneFields phoneFields; // the front end's view of the fields above
    CepTTSFrontEnd* frontEnd;
    CepDTree* trees;
    CepOptimizer* optimizer;
    CepSampleWrapper* sampleWrapper;
    CepTTSUtterance* utterance;
    int32_t* frameBuffer;          // D
};

// What one frame step hands out.
struct CepTTSFrame {
    uint16_t spectrumState;
    uint16_t pitchState;
    int32_t voicing;
    uint8_t passThrough;
};

// Loads the synthesiser of "btt0" (format 4) with its trees, optimiser and
// waveform generator; null when anything fails or the parts disagree.
TTS* CepTTS_LoadFromBinFile(DVKTar* tar, const char* prefix, Voc* vocabulary);
void CepTTS_InitFunctionTable(CepTTS* tts);
// Frees what the object owns; the block itself goes with TTS_Delete.
void CepTTS_Delete(TTS* tts);
int32_t CepTTS_GetEncoding(TTS* tts);
uint32_t CepTTS_ComputeCRC(TTS* tts, int32_t full, int32_t further);
int32_t CepTTS_StartUtteranceFromText(TTS* tts, const uint16_t* text, int32_t encoding,
                                      int32_t rate, int32_t speed, int32_t level);
int32_t CepTTS_StartUtteranceFromIds(TTS* tts, int32_t count, const VocId* ids, int32_t encoding,
                                     int32_t rate, int32_t speed, int32_t level);
int32_t CepTTS_ProcessUtterancePCM(TTS* tts, int32_t capacity, int16_t* samples, int32_t* count);
int32_t CepTTS_StopUtterance(TTS* tts);

// The duration factor in hundredths for a speed (at least 1).
int32_t CepTTS_RateFactor(int32_t speedScale, int32_t speed);
// Resets the utterance state as every start, stop and delete does.
void CepTTS_ResetUtterance(CepTTS* tts);
// Steps to the next frame: 1 with a frame, 0 when the input ended instead.
int32_t CepTTS_StepFrame(CepTTS* tts, CepTTSFrame* frame);
