// Utterance buffers: rings of feature frames kept for re-recognition,
// alignment and enrollment. Frames are appended after the unread ones and
// read in order or by index. `Utterance` holds byte frames (optionally two
// 4-bit values per byte) with one 32-bit side value per slot, `UtteranceF`
// float frames, and `UtteranceList` copies of utterances with the word ids
// spoken in each.
#pragma once

#include <cstdint>

struct FrameBuffer;

struct Utterance {
    int32_t readPosition;   // ring slot of the next frame to read
    uint8_t* frames;
    int32_t* sideValues;    // one per slot; may be null
    int32_t capacity;       // slots
    int32_t remaining;      // frames left to read
    int32_t frameSize;      // values per frame
    int32_t firstFrame;     // ring slot
    int32_t count;          // frames held
    int32_t ownsStorage;
    uint8_t* unpackBuffer;  // frameSize bytes, packed buffers only
    int32_t packed;         // low nibble first value, high nibble second
    int32_t bytesPerFrame;  // frameSize, or frameSize / 2 when packed
};

struct UtteranceF {
    int32_t readPosition;
    float* frames;
    int32_t unused;
    int32_t capacity;
    int32_t remaining;
    int32_t frameSize;
    int32_t firstFrame;
    int32_t count;
    int32_t ownsStorage;
};

struct UtteranceListEntry {
    Utterance* utterance;
    uint32_t* wordIds;
    int32_t wordCount;
};

struct UtteranceList {
    UtteranceListEntry* entries;
    int32_t capacity;
    int32_t cursor;
    int32_t count;
};

// Wraps caller-owned storage: not owned, not packed, empty. Null without memory.
Utterance* Utterance_CreateOnBuffer(uint8_t* frames, int32_t* sideValues, int32_t capacity,
                                    int32_t frameSize);
// Wraps a frame buffer's storage with all its frames present.
Utterance* Utterance_ConvertFrameBuffer(FrameBuffer* frameBuffer);
// The ring may wrap once: count <= capacity, and first < capacity when
// frames are held.
void Utterance_Load(Utterance* utt, int32_t first, int32_t count);
void Utterance_Clear(Utterance* utt);
void Utterance_Rewind(Utterance* utt);
// The next unread frame (unpacked when packed) and, when asked, the address
// of its side value (null without side values); null when all were read.
const uint8_t* Utterance_GetNextFrame(Utterance* utt, int32_t** sideValueOut);
// Frame i counted from the first frame; null outside 0..count-1.
const uint8_t* Utterance_GetFrame(Utterance* utt, int32_t i, int32_t** sideValueOut);
int32_t Utterance_GetNumFrames(const Utterance* utt);
int32_t Utterance_GetNumFramesRemaining(const Utterance* utt);
// Appends a frame after the unread ones; the held frames become the unread
// ones plus this one. 0 when full, else 1. sideValue may be null.
int32_t Utterance_PutFrame(Utterance* utt, const uint8_t* values, const int32_t* sideValue);
// An owning copy of the held frames from slot 0, rewound; packed when
// parameter word 0 or 1 is set (the source is then read to its end) or when
// the source is packed. Null without memory or for an odd packed frame size.
Utterance* Utterance_Clone(Utterance* utt);
void Utterance_Delete(Utterance* utt);

// Owns capacity x frameSize floats (none when the product is below 1).
UtteranceF* UtteranceF_Create(int32_t capacity, int32_t frameSize);
void UtteranceF_Load(UtteranceF* uttF, int32_t first, int32_t count);
void UtteranceF_Clear(UtteranceF* uttF);
void UtteranceF_Rewind(UtteranceF* uttF);
int32_t UtteranceF_GetNumFrames(const UtteranceF* uttF);
int32_t UtteranceF_GetNumFramesRemaining(const UtteranceF* uttF);
const float* UtteranceF_GetNextFrame(UtteranceF* uttF);
const float* UtteranceF_GetFrame(UtteranceF* uttF, int32_t i);
int32_t UtteranceF_PutFrame(UtteranceF* uttF, const float* values);
// Float copies of the held frames of a byte buffer (unpacked values) or of a
// float buffer, from slot 0, rewound.
UtteranceF* UtteranceF_CopyFromFixed(Utterance* utt);
UtteranceF* UtteranceF_Clone(const UtteranceF* uttF);
void UtteranceF_Delete(UtteranceF* uttF);

// Room for n entries (none for n below 1). Null without memory.
UtteranceList* UtteranceList_Create(int32_t n);
// Appends a copy of the utterance and of its word ids. 0 for a word count
// below 1 or without memory (the list unchanged), else 1.
int32_t UtteranceList_Add(UtteranceList* list, Utterance* utt, int32_t wordCount,
                          const uint32_t* wordIds);
// The next entry, or null after the last.
const UtteranceListEntry* UtteranceList_GetNext(UtteranceList* list);
void UtteranceList_Rewind(UtteranceList* list);
void UtteranceList_Delete(UtteranceList* list);
