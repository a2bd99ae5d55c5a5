// Forced alignment of a known word or phoneme sequence with an utterance,
// and the segmentation records that hold its result.
#pragma once

#include <cstdint>

struct AM;
struct AMScoringSet;
struct Voc;

inline constexpr int32_t kSegmentationNoScore = 0x40000000;
inline constexpr uint16_t kSegmentationUnsetPron = 65535;
inline constexpr uint16_t kSegmentationSilencePron = 65534;
inline constexpr int32_t kSegmentationMaxWords = 1000;

struct Segmentation {
    uint16_t* stateIds;       // per state
    uint16_t* durations;      // per state: frames taken
    int16_t* wordPositions;   // per state, negative = none
    uint16_t* phonemeIds;     // per state, 0 = silence
    int32_t stateCapacity;
    int32_t stateCount;
    int32_t wordCapacity;
    int32_t wordCount;
    uint16_t* pronIds;        // per word
    uint8_t* wordFlags;       // per word
    int32_t frameCount;
    int32_t score;
    int32_t spare;
};

Segmentation* Segmentation_Create(Voc* voc, int32_t n);
Segmentation* Segmentation_Alloc(int32_t stateCapacity, int32_t wordCapacity);
void Segmentation_Reset(Segmentation* seg);
void Segmentation_Delete(Segmentation* seg);
int32_t Segmentation_ResizeFrames(Segmentation* seg, int32_t n);
void Segmentation_Copy(Segmentation* dst, const Segmentation* src);
void Segmentation_CopyIfBetter(Segmentation* dst, const Segmentation* src);
Segmentation* Segmentation_Clone(const Segmentation* src);
int32_t Segmentation_GetScore(const Segmentation* seg);
int32_t Segmentation_GetNumFrames(const Segmentation* seg);
int32_t Segmentation_GetNumWords(const Segmentation* seg);
const uint16_t* Segmentation_GetPronIds(const Segmentation* seg, int32_t* count);
const uint16_t* Segmentation_GetPhonemeIds(const Segmentation* seg, int32_t* count);
int32_t Segmentation_GetFirstSpeechFrame(const Segmentation* seg);
int32_t Segmentation_GetLastSpeechFrame(const Segmentation* seg);
int32_t Segmentation_CountSpeechFrames(const Segmentation* seg);
int32_t Segmentation_GetSpeechFrames(const Segmentation* seg, int32_t n, uint8_t* out, int32_t total);
int32_t Segmentation_GetPhonemeArray(const Segmentation* seg, int32_t n, uint16_t* out, int32_t total);
uint32_t Segmentation_ComputeCRC(const Segmentation* seg);
// Text of the words aligned within [firstFrame, lastFrame]: mode 0 the
// words' display text, other modes the pronunciations' text; "(S)" after a
// flagged word with markSpeech. 0 only without room for any text.
int32_t Segmentation_GetPartialTranscript(const Segmentation* seg, const Voc* voc, int32_t firstFrame,
                                          int32_t lastFrame, char* text, int32_t size, int32_t mode,
                                          int32_t markSpeech);

struct Segmenter {
    int32_t state;               // 0 idle, 1 aligning, 3 failed
    int32_t framesProcessed;
    int32_t length;
    const uint16_t* stateIds;    // caller's
    const int16_t* wordPositions;// caller's
    int32_t lowestActive;
    int32_t highestActive;
    int32_t endOnFinalSilence;
    int16_t* scores;             // owned
    int16_t* lastScore;
    int32_t previousBest;
    int32_t offset;
    uint16_t* durations;         // caller's
    uint8_t* backPointers;       // owned: one row per state, one bit per frame
    uint8_t* currentRow;
    AM* am;
    Voc* voc;
    int32_t framePeriod;
    int32_t bitByte;
    int32_t bitIndex;
    int32_t stableTarget;
    int32_t stableCounter;
    int32_t maxFrames;
    int32_t bytesPerRow;
};

Segmenter* Segmenter_Create(AM* am, Voc* voc, int32_t framePeriod);
void Segmenter_Delete(Segmenter* seg);
uint16_t* Segmenter_GetStateDurations(Segmenter* seg);
// pronIds null: the sequence comes from the phonemes. With pronunciations,
// phonemes receives each state's centre phoneme (0 for silence).
int32_t Segmenter_Start(Segmenter* seg, int32_t maxFrames, int32_t crossWord, int32_t stableMs,
                        int32_t withSilence, int32_t preset, int32_t wordCount, const uint16_t* pronIds,
                        int32_t phonemeCount, uint16_t* phonemes, int32_t capacity, uint16_t* stateIds,
                        int16_t* wordPositions, uint16_t* durations, int32_t* stateCount,
                        const uint8_t* wordFlags);
int32_t Segmenter_ProcessFrame(Segmenter* seg, const uint8_t* frame, const int16_t* frameValue,
                               const AMScoringSet* set);
int32_t Segmenter_Finish(Segmenter* seg, int32_t abort, int32_t* scoreOut);
int32_t Segmenter_ScoreFrame(Segmenter* seg, const uint8_t* frame, const int16_t* frameValue,
                             const AMScoringSet* set);
uint32_t Segmenter_ComputeCRC(const Segmenter* seg);
