// Waveform generators as objects: a generator starts with a table of seven
// operation slots; callers reach it only through the dispatchers below.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct CepToSample;

typedef void (*CepToSample_DeleteFunc)(CepToSample* generator);
typedef int32_t (*CepToSample_StartUtteranceFunc)(CepToSample* generator, int32_t rate,
                                                  int32_t level);
typedef int32_t (*CepToSample_GeneratePCMFunc)(CepToSample* generator, int32_t logPitch,
                                               const int32_t* cepstrum, int32_t voicing,
                                               int32_t capacity, int16_t* samples);
typedef int32_t (*CepToSample_CopySamplesFunc)(CepToSample* generator, int32_t capacity,
                                               int16_t* samples);
typedef uint32_t (*CepToSample_ComputeCRCFunc)(CepToSample* generator);
typedef int32_t (*CepToSample_WriteBinFileFunc)(CepToSample* generator, DVKTar* tar,
                                                const char* prefix);

struct CepToSampleOps {
    CepToSample_DeleteFunc deleteGenerator;        // 0
    CepToSample_StartUtteranceFunc startUtterance; // 1
    CepToSample_GeneratePCMFunc generatePCM;       // 2
    CepToSample_CopySamplesFunc copySamples;       // 3
    CepToSample_ComputeCRCFunc computeCRC;         // 4
    CepToSample_WriteBinFileFunc writeBinFile;     // 5
    void* unused;                                  // 6
};

// Every generator begins with its operation slots.
struct CepToSample {
    CepToSampleOps ops;
};

// The fixed-point generator's slots; 4 to 6 are empty.
extern const CepToSampleOps gCepToSampleBase;

// Builds the generator from "bc0" and its sub-files under prefix; null on failure.
CepToSample* CepToSample_LoadFromBinFile(DVKTar* tar, const char* prefix);

// Null generators and empty slots do nothing; an empty CRC slot answers
// 0xFFFFFFFF and the other empty slots 0.
void CepToSample_Delete(CepToSample* generator);
int32_t CepToSample_StartUtterance(CepToSample* generator, int32_t rate, int32_t level);
int32_t CepToSample_GeneratePCM(CepToSample* generator, int32_t logPitch, const int32_t* cepstrum,
                                int32_t voicing, int32_t capacity, int16_t* samples);
int32_t CepToSample_CopySamples(CepToSample* generator, int32_t capacity, int16_t* samples);
uint32_t CepToSample_ComputeCRC(CepToSample* generator);
int32_t CepToSample_WriteBinFile(CepToSample* generator, DVKTar* tar, const char* prefix);
