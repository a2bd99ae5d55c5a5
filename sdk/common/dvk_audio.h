// The suite's side of audio. Recording fills a ring of 20 ms frames from
// the OEM recorder's callback and posts one suite event per stored frame;
// playback queues PCM, vocoded and streamed vocoded items and serves them
// frame by frame to the OEM player, sending each item's done message to the
// suite thread. Everything runs on the suite thread ("VR").
#pragma once

#include "oem/dvk_oem_audio_types.h"
#include "sdk/common/dvk_msg.h"

#include <cstdint>

// Recording. Both times are >= 1 ms and rounded up to 20 ms; the ring holds
// buffer time / 20 frames. 0, or 1 when a ring cannot be allocated.
int32_t dvk_audio_startRecording(dvk_oem_audio_InputDevice device, dvk_oem_audio_PCMType pcmType,
                                 dvk_oem_audio_VocoderType vocoderType, int32_t maxTimeMs, int32_t bufferTimeMs,
                                 dvk_msg_Event event);
// The oldest unread frame; all 0 when none waits.
void dvk_audio_getInputFrame(int16_t** pcm, int32_t* samples, uint8_t** vocoded, int32_t* bytes);
void dvk_audio_advanceInputFrame();
int32_t dvk_audio_getNumInputFrames();
int32_t dvk_audio_getRecordingTime();
int32_t dvk_audio_getMaxRecordingTime();
int32_t dvk_audio_getPlaybackTime();
// The message (may be null) goes to the suite thread once the recorder has
// stopped.
int32_t dvk_audio_stopRecording(dvk_msg_Message* message);
int32_t dvk_audio_pauseRecording(int32_t flag);
int32_t dvk_audio_pausePlayback();

int32_t dvk_audio_getPCMRecordingType();
int32_t dvk_audio_getPCMPlaybackType();
int32_t dvk_audio_getVocoderRecordingType();
int32_t dvk_audio_getVocoderPlaybackType();

// Playback. The data stays the caller's and must live until the item's done
// message; the items take their done messages (may be null).
int32_t dvk_audio_startPcmPlayback(dvk_oem_audio_OutputDevice device, dvk_oem_audio_PCMType pcmType,
                                   const int16_t* samples, int32_t count, dvk_msg_Message* done);
int32_t dvk_audio_startVocodedPlayback(dvk_oem_audio_OutputDevice device, dvk_oem_audio_VocoderType vocoderType,
                                       const uint8_t* data, int32_t length, dvk_msg_Message* done);
// A piece of a stream; without data an empty piece. Plays once lead ms of
// frames are queued.
int32_t dvk_audio_startStreamingVocodedPlayback(dvk_oem_audio_OutputDevice device,
                                                dvk_oem_audio_VocoderType vocoderType, int32_t leadMs,
                                                const uint8_t* data, int32_t length, dvk_msg_Message* done);
void dvk_audio_endStreamingVocodedPlayback();
// Drops every queued item (their done messages unsent); the message goes
// to the suite thread once the player has stopped.
int32_t dvk_audio_stopPlayback(dvk_msg_Message* message);
