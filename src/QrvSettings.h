// Process-wide values that several parts of the service set and read.
#pragma once

#include "platform/core/wex_string.h"

class QrvSettings {
public:
    enum AudioSourceType {
        AUDIO_SOURCE_NONE = 0,       // none of the others / not known
        AUDIO_SOURCE_HANDSET = 1,    // handset or back speaker
        AUDIO_SOURCE_HEADSET = 2,
        AUDIO_SOURCE_BLUETOOTH = 3,
    };

    // The last outgoing call as the call history gives it.
    struct OutgoingCall {
        WexString name;               // may be empty
        WexString addr;               // the dialled number
        WexString personAddressType;  // e.g. "MOBILE"; empty when absent
    };

    // True from process start (background update); cleared by a foreground
    // session, which also runs at a higher priority (niceness lowered by 2).
    static void setBackgroundProcessingFlag(bool flag);
    static bool getBackgroundProcessingFlag();

    static void setAudioSourceType(AudioSourceType type);
    // Logs an error when read before the audio routing set it.
    static AudioSourceType getAudioSourceType();

    // The board type and the last outgoing call are written on "UI" during
    // the bring-up, before the suite is started, and only read after that:
    // the suite's start (a message posted to "VR") orders the writes before
    // every read on "VR". The getters return references, so no lock inside
    // them could protect a caller; callers must not write them once the
    // suite runs.
    static void setBoardType(const char* boardType);
    // Logs an error when read before it was set.
    static const WexString& getBoardType();
    static void setLastOutgoingCall(const OutgoingCall& call);
    static const OutgoingCall& getLastOutgoingCall();

    static void setDialingOutFlag();
    static bool getDialingOutFlag();
};
