// The suite audio's PCM types as the wrapper's tests set them; the rest of
// the suite audio stays out of these tests.
#include "tests/core/vre/fake_audio_types.h"

#include "sdk/common/dvk_audio.h"

int32_t& fakeRecordingPcmType()
{
    static int32_t type = DVK_OEM_AUDIO_PCMTYPE_8K;
    return type;
}

int32_t& fakePlaybackPcmType()
{
    static int32_t type = DVK_OEM_AUDIO_PCMTYPE_8K;
    return type;
}

int32_t dvk_audio_getPCMRecordingType()
{
    return fakeRecordingPcmType();
}

int32_t dvk_audio_getPCMPlaybackType()
{
    return fakePlaybackPcmType();
}
