// The audio and feature loop of one recognition, shared by the central
// engine and the speech API's engine: each captured frame is fed to the
// recogniser while recording, and once no frame waits the engine's feature
// step runs, re-posting itself while the recogniser has features to work
// through. Suite thread only.
#pragma once

#include "sdk/common/dvk_msg.h"

#include <cstdint>

struct dvk_vre_Recognizer;

struct dvk_ce_Listening {
    int32_t recording;
    int32_t recognising;
    int32_t recognitionFinished;
};

// Feeds samples to the recogniser; 1 when it takes no more audio for this
// utterance (dvk_vre_processPCM, dvk_vre_processCapturePCM).
typedef int32_t (*dvk_ce_FeedPcm)(dvk_vre_Recognizer* vre, const int16_t* samples, int32_t count);

// One captured frame. Without listening state (no engine) the frame is only
// dropped. While recording it is fed; at the utterance's end or when the
// recording time is up, stopAllAudio runs. The feature step is posted to the
// suite thread once no frame waits, unless recognition has finished.
void dvk_ce_takeInputFrame(dvk_vre_Recognizer* vre, dvk_ce_Listening* listening, dvk_ce_FeedPcm feed,
                           void (*stopAllAudio)(void), dvk_msg_Event featureStep);

// One feature step of a running recognition. true when recognition is over
// and its end must be taken; false while it goes on (the step `self` is
// re-posted while features wait and no frame does) or on a memory error.
bool dvk_ce_stepFeatures(dvk_vre_Recognizer* vre, dvk_ce_Listening* listening, dvk_msg_Event self,
                         int32_t* memoryError);
