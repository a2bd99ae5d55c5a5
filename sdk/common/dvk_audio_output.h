// The suite audio's output queue and the frame-by-frame reading of it that
// feeds the OEM player (its output callback, without the messages).
#pragma once

#include "oem/dvk_oem_audio_types.h"
#include "sdk/common/dvk_msg.h"

#include <cstdint>

struct dvk_audio_Item {
    dvk_audio_Item* next;
    dvk_oem_audio_OutputDevice device;
    dvk_oem_audio_PCMType pcmType;
    dvk_oem_audio_VocoderType vocoderType;
    const uint8_t* cursor;        // next byte to play
    const uint8_t* end;
    dvk_msg_Message* doneMessage; // sent when the item is finished, or none
    bool streaming;               // more data may still be appended
    int32_t lead;                 // bytes of stream data to gather before playing
    bool filling;                 // the stream waits: fill frames are played
};

struct dvk_audio_Queue {
    dvk_audio_Item* oldest;
    dvk_audio_Item* newest;
    dvk_audio_Item* current; // read by the player, or none
    int32_t playbackTime;    // ms
};

// The vocoded buffer the OEM layer offers holds this many bytes.
constexpr int32_t DVK_AUDIO_FRAME_BUFFER = 256;

// Fills one 20 ms frame: PCM samples (*samples) or one vocoded frame
// (*frameLength); both 0 at the end of the data. True when the queue moved
// on to the next item (the finished one is to be removed).
bool dvk_audio_outputFrame(dvk_audio_Queue* queue, int16_t* pcm, uint8_t* vocoded, int32_t* samples,
                           int32_t* frameLength);
