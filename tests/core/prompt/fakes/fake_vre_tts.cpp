#include "tests/core/prompt/fakes/fake_vre_tts.h"

#include "core/vre/dvk_vre.h"

#include <cstring>

FakeVreTts& fakeVreTts()
{
    static FakeVreTts fake;
    return fake;
}

void resetFakeVreTts()
{
    fakeVreTts() = FakeVreTts{};
}

int32_t dvk_vre_startTTSFromIds(dvk_vre_Recognizer*, const int32_t* wordIds, int32_t count, int32_t speed,
                                int32_t volume, dvk_oem_audio_PCMType* pcmType,
                                dvk_oem_audio_VocoderType* vocoderType)
{
    std::string call = "startIds";
    for (int32_t i = 0; i < count; ++i)
        call += " " + std::to_string(wordIds[i]);
    fakeVreTts().calls.push_back(call + " " + std::to_string(speed) + " " + std::to_string(volume));
    *pcmType = fakeVreTts().pcmType;
    *vocoderType = fakeVreTts().vocoderType;
    return fakeVreTts().startResult;
}

int32_t dvk_vre_startTTSFromText(dvk_vre_Recognizer*, const dvk_ucs2_Char* text, int32_t speed, int32_t volume,
                                 dvk_oem_audio_PCMType* pcmType, dvk_oem_audio_VocoderType* vocoderType)
{
    std::string call = "startText ";
    for (const dvk_ucs2_Char* c = text; *c != 0; ++c)
        call.push_back(*c < 128 ? static_cast<char>(*c) : '?');
    fakeVreTts().calls.push_back(call + " " + std::to_string(speed) + " " + std::to_string(volume));
    *pcmType = fakeVreTts().pcmType;
    *vocoderType = fakeVreTts().vocoderType;
    return fakeVreTts().startResult;
}

int32_t dvk_vre_getTTS(dvk_vre_Recognizer*, uint8_t* buffer, int32_t bufferBytes, int32_t* numBytes,
                       int32_t* numFrames)
{
    fakeVreTts().calls.push_back("get " + std::to_string(bufferBytes));
    FakeTtsAnswer answer{0, 1};
    if (!fakeVreTts().answers.empty()) {
        answer = fakeVreTts().answers.front();
        fakeVreTts().answers.pop_front();
    }
    const int32_t bytes = answer.bytes < 0 ? bufferBytes : answer.bytes;
    std::memset(buffer, ++fakeVreTts().filled, static_cast<size_t>(bytes));
    *numBytes = bytes;
    *numFrames = fakeVreTts().vocoderType == 9 ? bytes / 2 : bytes / 65;
    return answer.done;
}

int32_t dvk_vre_stopTTS(dvk_vre_Recognizer*)
{
    fakeVreTts().calls.push_back("stop");
    return 0;
}
