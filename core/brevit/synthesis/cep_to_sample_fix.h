// The fixed-point vocoder: one call turns one optimised frame (cepstrum,
// log-pitch, voicing type) into one hop of 16-bit PCM. A spectral frame is
// computed every M calls; the calls between cross-fade, realign to the pitch
// pulses, window and overlap-add the stored frames.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"
#include "core/brevit/synthesis/cep_pitch_pulses.h"
#include "core/brevit/synthesis/cep_to_sample.h"

#include <cstdint>

struct CepIdct;
struct CepSpecFFT;
struct CepSpecShape;
struct CepExcitation;
struct CepIFFT;
struct CepWindow;

struct CepToSampleFix {
    CepToSample base;                 // operation slots
    int32_t bufferPeriods[2];         // period in force when each frame buffer was filled
    int32_t bufferMarks[2];           // middle pulse that aligned each frame buffer (0: none)
    int32_t pulses[kCepMaxPulses];    // pitch-pulse positions of the current hop
    int32_t* subFrameMarks;           // M: middle pulse recorded per sub-frame index
    int16_t* frameBuffers[2];         // F each: the last two spectral frames, aligned
    int16_t* tail;                    // F - H: overlap-add not yet completed
    int16_t* outputHop;               // H: last hop after de-emphasis
    CepIdct* idct;
    CepSpecFFT* specFFT;
    CepSpecShape* shape;
    CepExcitation* excitation;
    CepIFFT* ifft;
    CepWindow* window;
    int32_t modelRate;
    int32_t hop;                      // H
    int32_t frameLength;              // F
    int32_t transformSize;            // N
    int32_t config[7];                // kept
    int32_t keptFlag;
    double keptReal;
    int16_t deemphasis;               // Q15
    int16_t secondWord;               // kept
    int32_t levelSlope;
    int32_t levelOffset;
    int32_t subFrames;                // M
    int32_t spectrumLength;           // 16-bit units of the spectrum work buffer
    int32_t ifftOrder;                // at full rate
    int32_t q;                        // fraction bits of cepstrum and log-pitch
    int32_t levelBase;
    int32_t subFrameIndex;
    int32_t lastPulse;
    int32_t pulseSpacing;
    int32_t bufferIndex;
    int32_t deemphasisMemory;
    uint32_t noiseSeed;
    int32_t logGainOffset;
    int32_t halfRate;
    int32_t pending;
    int32_t fadeLength;
    int16_t* fadeBuffer;
    int16_t* spectrum;                // spectrum work buffer, then the time frame
    int16_t* logSpectrum;             // N
    int32_t cepstralLength;           // coefficients the log spectrum reads (Dc or C)
    int32_t started;                  // an utterance start succeeded
};

CepToSample* CepToSampleFix_LoadFromBinFile(DVKTar* tar, const char* prefix);
int32_t CepToSampleFix_AllocBuffers(CepToSampleFix* generator);
void CepToSampleFix_Delete(CepToSample* generator);
// 1 at the model rate (full) or half of it (half rate); 0 otherwise, and the
// generator is left as it was.
int32_t CepToSampleFix_StartUtterance(CepToSample* generator, int32_t rate, int32_t level);
// Pending samples first, then as much of the new hop as fits; the rest stays
// pending. 0 before the first successful start.
int32_t CepToSampleFix_GeneratePCM(CepToSample* generator, int32_t logPitch,
                                   const int32_t* cepstrum, int32_t voicing, int32_t capacity,
                                   int16_t* samples);
int32_t CepToSampleFix_CopySamples(CepToSample* generator, int32_t capacity, int16_t* samples);
