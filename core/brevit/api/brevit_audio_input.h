// Audio input state of the engine object: the frame queue that listening
// fills from the front end, block intake, the utterance table, the kept
// audio of enrollment, the activity trace and the signal-processing packet
// formats.
#pragma once

#include <cstdint>

struct BrevitEngine;
struct Utterance;

// A ring of feature frames with one silence flag, end-pointer byte,
// first-feature byte and side value per slot. At most capacity - 1 frames
// are queued.
struct BrevitFrameQueue {
    int32_t mode;                // 2: frames come from elsewhere; else ordinary listening
    uint8_t* currentFrame;       // the frame most recently taken from the front end
    uint8_t* frames;             // capacity x frameSize
    uint8_t* silenceFlags;
    uint8_t* endPointerBytes;
    uint8_t* firstFeatureBytes;  // only with parameter word 343
    int32_t readIndex;
    int32_t writeIndex;
    int32_t frameSize;
    int32_t capacity;
    int32_t framesSinceMark;
    int32_t mark;                // slot of the open utterance's first frame
    int32_t speechStartFrame;    // -1: none yet
    int32_t speechEndFrame;      // -1: none yet
    Utterance* utteranceBuffer;  // a view over the frames for recognition
    int32_t maximumFill;
    uint32_t currentSideValue;
    int32_t* sideValues;
};

inline constexpr uint32_t kBrevitUttEmpty = 0xFFFFFFFFu;
inline constexpr uint32_t kBrevitUttCurrent = 0xFFFFFFFEu;
inline constexpr uint32_t kBrevitUttReleased = 0xFFFFFFFDu;

// One finished utterance; the table is newest first and ends at an empty id.
struct BrevitUttRecord {
    uint32_t firstFrame;
    uint32_t frames;
    uint32_t recognizedFrames;
    uint32_t id;
};

struct BrevitSigProcFormat {
    int32_t coderType;
    int32_t infoSize;
    int32_t packetSize;
    int32_t cepstrumCount;
    int32_t ownFlag1;  // both 1 for a format of the engine's own front end
    int32_t ownFlag2;
};

// Activity trace event codes.
inline constexpr uint8_t kBrevitTraceListen = 'l';
inline constexpr uint8_t kBrevitTracePut = 'W';
inline constexpr uint8_t kBrevitTraceBlock = 'w';
inline constexpr uint8_t kBrevitTraceStop = 'L';
inline constexpr uint8_t kBrevitTraceFull = 'f';

struct BrevitAudioTrace {
    uint8_t* codes;
    uint16_t* startMs;
    uint16_t* endMs;
    int32_t count;
    int32_t capacity;  // 0: off
    char text[31];
};

struct BrevitAudioInput {
    BrevitFrameQueue queue;
    int32_t queueAllocated;

    // Block intake.
    int32_t blockSize;        // samples per block
    int32_t halfShift;        // parameter word 365
    int32_t blockDurationMs;
    int32_t blockCount414;    // parameter word 414 in blocks
    int16_t* partialBlock;    // blockSize samples, made at first need
    int32_t partialCount;
    int32_t alternateFrame;   // half-shift toggle

    // Utterance state (the ids and the listening flag live in the engine).
    int32_t stopped;
    int32_t endFound;
    int32_t endFoundFrames;
    int32_t speechSeen;
    int32_t queueOverflowed;
    uint8_t* snapshot;
    int32_t snapshotSize;
    uint32_t snapshotCRC;
    uint32_t secondSnapshotCRC;  // no second slot here: stays -1
    int32_t cnBuffering;
    int32_t cnSpeechFrames;
    BrevitUttRecord* records;
    int32_t recordCount;      // parameter word 388
    int32_t deferredFetching; // parameter word 537
    uint32_t savedId;

    // Enrollment's side (set by the enrollment session; tests set them).
    int32_t enrollmentFlag;
    int32_t keepFlag;
    int32_t enrollmentCounter;
    int16_t* waveHistory;     // waveCapacity blocks
    int32_t waveCapacity;
    int32_t waveRead;
    int32_t waveWrite;
    int32_t waveCount;
    int16_t* keptAudio;       // keptCapacity blocks
    int32_t keptCapacity;
    int32_t keptCount;
    int32_t replayPosition;

    // Set while recognition reads a stored utterance from the utterance buffer.
    int32_t readingStoredUtterance;

    BrevitAudioTrace trace;

    BrevitSigProcFormat incoming;
    BrevitSigProcFormat outgoing;
    int32_t infoWritten;
};

// ---- life of the engine ---------------------------------------------------------------
// Sets up the audio input for frames of the front end's feature dimension
// (featureDim -1: no frame queue); 0, or 2 when the utterance view cannot
// be made. Other allocations raise the engine error.
int32_t BrevitPriv_InitAudioInput(BrevitEngine* engine, int32_t featureDim);
// CRC-32 of the audio input state, chained into the recognition-state CRC.
uint32_t BrevitPriv_AudioInputCRC(BrevitEngine* engine);
// CRC of one packet format; all ones for none.
uint32_t BrevitPriv_SigProcFormatCRC(const BrevitSigProcFormat* format);
// The snapshot, partial block and packet state, at destroy.
void BrevitPriv_FreeAudioInput(BrevitEngine* engine);
// The frame queue and the utterance table, at the end of destroy.
void BrevitPriv_FreeUtteranceArrays(BrevitEngine* engine);
// Marks the utterance released in the table.
void BrevitPriv_DiscardUtteranceData(BrevitEngine* engine, uint32_t utteranceId);
// Allocates the 16-bit frame buffer of an optional component this engine
// never holds: nothing is made.
void BrevitPriv_AllocFrameBuffer16(BrevitEngine* engine);
void BrevitPriv_FreeFrameBuffer16(BrevitEngine* engine);

// ---- listening ------------------------------------------------------------------------
int32_t BrevitPriv_StartListening(BrevitEngine* engine, int32_t mode, int32_t reset,
                                  uint32_t* utteranceId);
int32_t BrevitPriv_StartUtterance(BrevitEngine* engine, int32_t mode, int32_t reset,
                                  uint32_t* utteranceId);
// 0, or the front end's end status.
int32_t BrevitPriv_EndUtterance(BrevitEngine* engine, int32_t end);
// 0, or 14 when the frame queue overflowed.
int32_t BrevitPriv_PushWaveSamples(BrevitEngine* engine, const int16_t* block);
// 1 no speech yet, 2 end found, 3 in speech (or a channel restart), 4 queue
// full, 5 no frame.
int32_t BrevitPriv_FeedBlock(BrevitEngine* engine, const int16_t* block);
void BrevitPriv_RestartListening(BrevitEngine* engine);
// A front-end frame into the current frame; its status (5 or 6), or the
// front end's other status without a frame.
int32_t BrevitPriv_FetchFrame(BrevitEngine* engine);
// Queues the current frame; the end-pointer state.
int32_t BrevitPriv_QueueFrame(BrevitEngine* engine, int32_t silence);
int32_t BrevitPriv_EndPointFrame(BrevitEngine* engine, int32_t silence);
void BrevitPriv_ResetFrameQueue(BrevitEngine* engine);
void BrevitPriv_MarkFrameQueue(BrevitEngine* engine);
void BrevitPriv_ReleaseCNBuffer(BrevitEngine* engine);
void BrevitPriv_CountCNFrame(BrevitEngine* engine, int32_t status);
int32_t BrevitPriv_QueuedFrames(const BrevitEngine* engine);
bool BrevitPriv_QueueFull(const BrevitEngine* engine);
// After a frame-queue end-pointer state 2 for the first time.
void BrevitPriv_NoteEndFound(BrevitEngine* engine);
// 2 when end found, else 1 when speech seen, else 0.
int32_t BrevitPriv_ListenStatus(const BrevitEngine* engine);

// ---- reading frames -------------------------------------------------------------------
struct BrevitQueuedFrame {
    const uint8_t* frame;
    uint32_t sideValue;
    int32_t silence;
    int32_t forwardSilence;   // asked with wantRuns
    int32_t backwardSilence;
};
// The next frame for recognition; false when none is ready.
bool BrevitPriv_NextQueuedFrame(BrevitEngine* engine, BrevitQueuedFrame* out, bool wantRuns);
bool BrevitPriv_HasQueuedFrames(const BrevitEngine* engine);
int32_t BrevitPriv_FramesConsumedSinceMark(const BrevitEngine* engine);

// ---- utterance table ------------------------------------------------------------------
// 1 recorded and wholly queued, 2 recorded but partly overwritten, 0 not found.
int32_t BrevitPriv_FindUtterance(const BrevitEngine* engine, uint32_t utteranceId,
                                 BrevitUttRecord** record);
void BrevitPriv_CloseUtteranceRecord(BrevitEngine* engine, uint32_t utteranceId, int32_t close);
void BrevitPriv_SplitUtteranceRecord(BrevitEngine* engine, uint32_t utteranceId, int32_t n,
                                     uint32_t newId);
void BrevitPriv_ReleaseUtterance(BrevitEngine* engine, uint32_t utteranceId);
void BrevitPriv_SetUttRecognizedFrames(BrevitEngine* engine, uint32_t utteranceId,
                                       int32_t frames);
// Loads the utterance view with a recorded, wholly queued utterance, which
// becomes current; false otherwise.
bool BrevitPriv_LoadQueuedUtterance(BrevitEngine* engine, uint32_t utteranceId);
bool BrevitPriv_LoadUtterance(BrevitEngine* engine, uint32_t utteranceId);
// Frames of an utterance for the getters: its record's field, the frames
// since mark for the open one, else -1.
int32_t BrevitPriv_UtteranceFrames(const BrevitEngine* engine, uint32_t utteranceId,
                                   bool recognized);

// ---- kept audio -----------------------------------------------------------------------
void BrevitPriv_ResetWaveHistory(BrevitEngine* engine);
void BrevitPriv_KeepBlock(BrevitEngine* engine, int32_t feedResult, const int16_t* block);
// Moves the wave history into the kept audio, oldest first, while it has room.
void BrevitPriv_MoveWaveHistoryToKept(BrevitEngine* engine);
// Replays the kept audio through the front end into the queue as a new
// utterance: 1, or 0 when frames were lost to a full queue.
int32_t BrevitPriv_ReprocessKeptAudio(BrevitEngine* engine);

// ---- activity trace -------------------------------------------------------------------
void BrevitPriv_TraceEvent(BrevitEngine* engine, uint8_t code);
void BrevitPriv_TraceEndStamp(BrevitEngine* engine);

// ---- packets --------------------------------------------------------------------------
// The coder-0 format of the engine's own front end (all zero with parameter
// word 525 set).
void BrevitPriv_SetLocalSigProcFormat(BrevitEngine* engine, BrevitSigProcFormat* format);
void BrevitPriv_InitSigProcFormats(BrevitEngine* engine);
