#include "oem/dvk_oem_audio.h"

#include "oem/AmrStub.h"
#include "oem/QrvPlayer.h"
#include "oem/QrvRecorder.h"
#include "oem/dvk_oem_file.h"
#include "oem/dvk_oem_ui.h"
#include "sdk/common/dvk_assert.h"
#include "src/QrvAudioDumper.h"
#include "src/QrvFileSystem.h"
#include "src/QrvLog.h"
#include "src/QrvRecordInhibitor.h"
#include "src/QrvWorkQueues.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int32_t kFrames = 160;
constexpr int32_t kFrameBufferBytes = 256;
constexpr const char* kUpChirp = "upchirp.bin";

enum Phase { FIRST_BUFFER = 0, SUBSTITUTING = 1, NORMAL = 2 };

struct DoneContext {
    dvk_oem_audio_DoneCallback done;
    void* context;
    static void doneCallbackWrapper(void* self);
};

struct Module {
    // recording
    dvk_oem_audio_AudioCallback recordCallback = nullptr;
    void* recordContext = nullptr;
    int32_t pauseFlag = 0;
    int testIndex = -1;
    FILE* testInput = nullptr;
    unsigned startGeneration = 0;
    bool startCancelled = false;
    bool stopping = false;
    bool startAfterStop = false;
    // playback
    dvk_oem_audio_AudioCallback playCallback = nullptr;
    void* playContext = nullptr;
    int phase = FIRST_BUFFER;
    dvk_oem_file_Stream* substitute = nullptr;
    int emptyAnswers = 0;
    bool decoderUsed = false;
    int dumpIndex = -1;
    int dumpFd = -1;
    // One playback at a time: its done context is a fixed record, so no
    // ending (natural or stopped) can leak it.
    DoneContext doneContext{nullptr, nullptr};
};

Module s;

WexLogger& recLog()
{
    return QrvLog::VRthread::qrvLogRecord;
}

WexLogger& playLog()
{
    return QrvLog::VRthread::qrvLogPlayer;
}

QrvAudioDumper& recordingDump()
{
    static QrvAudioDumper dumper(recLog(), "Recording.pcm", true);
    return dumper;
}

// ---- recording ----

void openTestInput()
{
    ++s.testIndex;
    std::string name = "test001/" + QrvAudioDumper::fileName(static_cast<unsigned>(s.testIndex), "Recording.pcm");
    const std::string path = QrvFileSystem::makeFullPathname1(name.c_str());
    if (s.testInput != nullptr)
        std::fclose(s.testInput);
    s.testInput = std::fopen(path.c_str(), "rb");
    if (s.testInput != nullptr)
        recLog().log(WexLogInfo, "using audio file %s for input", path.c_str());
    else
        recLog().log(WexLogDebug, "%s: no file %s", __func__, path.c_str());
}

void recordingCallbackWrapper(int16_t* pcm, uint8_t* vocoded, int32_t* samples, int32_t* frameLength, void*)
{
    if (RecordInhibitor::S_active()) {
        recLog().log(WexLogDebug, "%s: recording inhibited.  Ignoring data.", __func__);
        return;
    }
    recordingDump().Write(pcm, sizeof(int16_t) * static_cast<size_t>(*samples));
    if (s.recordCallback != nullptr)
        s.recordCallback(pcm, vocoded, samples, frameLength, s.recordContext);
}

void recorderStopped()
{
    s.stopping = false;
    if (s.startAfterStop) {
        s.startAfterStop = false;
        QrvRecorderStart(recordingCallbackWrapper, s.recordContext);
    }
}

void audioStartCallback(void* generation)
{
    if (s.startCancelled || reinterpret_cast<uintptr_t>(generation) != s.startGeneration) {
        recLog().log(WexLogDebug, "%s: start cancelled", __func__);
        return;
    }
    if (s.stopping) {
        // The old recording is still ending: this one follows it.
        s.startAfterStop = true;
        return;
    }
    QrvRecorderStart(recordingCallbackWrapper, s.recordContext);
}

// ---- playback ----

void closeSubstitute()
{
    if (s.substitute != nullptr)
        dvk_oem_file_fclose(s.substitute);
    s.substitute = nullptr;
}

void openOutputDump()
{
    if (!playLog().isTrace())
        return;
    if (s.dumpFd >= 0)
        ::close(s.dumpFd);
    ++s.dumpIndex;
    const std::string name = QrvAudioDumper::fileName(static_cast<unsigned>(s.dumpIndex), "AudioOutput.pcm");
    const std::string path = QrvFileSystem::makeFullPathname1(name.c_str());
    s.dumpFd = QrvAudioDumper::openDump(playLog(), path);
    if (s.dumpFd >= 0)
        playLog().log(WexLogDebug, "Opened file %s for logging audio output (fd=%d)", path.c_str(), s.dumpFd);
}

void dumpOutput(const int16_t* samples, int count)
{
    if (s.dumpFd >= 0 && count > 0) {
        const ssize_t written = ::write(s.dumpFd, samples, sizeof(int16_t) * static_cast<size_t>(count));
        (void)written;
    }
}

bool isChirpMarker(const int16_t* samples)
{
    static constexpr int kMarked[] = {120, 121, 126, 130, 131, 134, 144, 148, 149, 158, 159};
    size_t next = 0;
    for (int i = 0; i < kFrames; ++i) {
        const bool marked = next < std::size(kMarked) && kMarked[next] == i;
        if (marked)
            ++next;
        if (samples[i] != (marked ? -8 : 0))
            return false;
    }
    return true;
}

// Asks the suite for one frame; its length, 0 for none.
int32_t nextFrame(uint8_t* frame)
{
    std::memset(frame, 0, kFrameBufferBytes);
    int32_t samples = 0;
    int32_t length = 0;
    s.playCallback(nullptr, frame, &samples, &length, s.playContext);
    return length < 0 ? 0 : (length > kFrameBufferBytes ? kFrameBufferBytes : length);
}

int audioCallbackWrapperPcm(int16_t* buffer, int* samples, void*)
{
    int32_t count = *samples;
    int32_t length = 0;
    s.playCallback(buffer, nullptr, &count, &length, s.playContext);
    *samples = count;
    dumpOutput(buffer, count);
    return count;
}

int playSubstitute(int16_t* buffer, int* samples, uint8_t* frame)
{
    const long got = dvk_oem_file_fread(buffer, sizeof(int16_t), kFrames, s.substitute);
    if (got > 0) {
        *samples = static_cast<int>(got);
        return *samples;
    }
    // The rest of the prompt is consumed unplayed.
    while (nextFrame(frame) > 0) {
    }
    *samples = 0;
    return 0;
}

int audioCallbackWrapperAmr(int16_t* buffer, int* samples, void*)
{
    uint8_t frame[kFrameBufferBytes];
    // A slot that no frame fills plays silence, never old samples.
    std::memset(buffer, 0, sizeof(int16_t) * kFrames);
    if (s.phase == FIRST_BUFFER) {
        *samples = kFrames;
        const int32_t length = nextFrame(frame);
        if (length == 0)
            playLog().log(WexLogDebug, "%s: no AMR data 1st buf", __func__);
        else
            Decode_AMR(buffer, frame, length);
        s.phase = NORMAL;
        if (length > 0 && isChirpMarker(buffer)) {
            s.substitute = dvk_oem_file_fopen(kUpChirp, DVK_OEM_FILE_MODE_READ);
            if (s.substitute == nullptr) {
                playLog().log(WexLogError, "Cannot open %s", kUpChirp);
            } else {
                s.phase = SUBSTITUTING;
                std::memset(buffer, 0, sizeof(int16_t) * kFrames);
            }
        }
        if (s.phase == NORMAL) {
            dumpOutput(buffer, *samples);
            return *samples;
        }
    }
    if (s.phase == SUBSTITUTING) {
        const int count = playSubstitute(buffer, samples, frame);
        dumpOutput(buffer, count);
        return count;
    }
    *samples = kFrames;
    const int32_t length = nextFrame(frame);
    if (length > 0) {
        Decode_AMR(buffer, frame, length);
        s.emptyAnswers = 0;
    } else if (++s.emptyAnswers <= 2) {
        playLog().log(WexLogDebug, "%s: faking a buffer (CB says AMR buf is length 0)", __func__);
    } else {
        *samples = 0;
    }
    dumpOutput(buffer, *samples);
    return *samples;
}

void stopPlaybackDoneCb(void* stopped)
{
    auto callback = reinterpret_cast<dvk_oem_audio_StoppedCallback>(stopped);
    if (callback != nullptr)
        callback();
    else
        playLog().log(WexLogDebug, "%s: cb/context not available", __func__);
    RecordInhibitor::S_start();
}

} // namespace

void DoneContext::doneCallbackWrapper(void* self)
{
    auto* context = static_cast<DoneContext*>(self);
    if (context->done != nullptr)
        context->done(context->context);
    *context = DoneContext{nullptr, nullptr};
    RecordInhibitor::S_start();
}

int32_t dvk_oem_audio_getPCMRecordingType()
{
    return DVK_OEM_AUDIO_PCMTYPE_8K;
}

int32_t dvk_oem_audio_getPCMPlaybackType()
{
    return DVK_OEM_AUDIO_PCMTYPE_8K;
}

int32_t dvk_oem_audio_getVocoderRecordingType()
{
    return DVK_OEM_AUDIO_VOCTYPE_AMR;
}

int32_t dvk_oem_audio_getVocoderPlaybackType()
{
    return DVK_OEM_AUDIO_VOCTYPE_AMR;
}

int32_t dvk_oem_audio_startRecording(dvk_oem_audio_InputDevice device, dvk_oem_audio_PCMType pcmType,
                                     dvk_oem_audio_VocoderType vocoderType, dvk_oem_audio_AudioCallback callback,
                                     void* context)
{
    openTestInput();
    DVK_ASSERT(device == DVK_OEM_AUDIO_INPUT_MICROPHONE);
    DVK_ASSERT(!(pcmType == DVK_OEM_AUDIO_PCMTYPE_NONE && vocoderType == DVK_OEM_AUDIO_VOCTYPE_NONE));
    DVK_ASSERT(callback != NULL);
    DVK_ASSERT(pcmType != DVK_OEM_AUDIO_PCMTYPE_16K || vocoderType == DVK_OEM_AUDIO_VOCTYPE_NONE ||
               vocoderType == DVK_OEM_AUDIO_VOCTYPE_SPEEXWB);
    if (pcmType == DVK_OEM_AUDIO_PCMTYPE_NONE) {
        recLog().log(WexLogError, "PCM is the only format supported for recording");
        return 1;
    }
    s.recordCallback = callback;
    s.recordContext = context;
    recordingDump().Start();
    s.startCancelled = false;
    s.startAfterStop = false;
    ++s.startGeneration;
    RecordInhibitor::S_addDoneAction(audioStartCallback, reinterpret_cast<void*>(uintptr_t{s.startGeneration}));
    return 0;
}

int32_t dvk_oem_audio_stopRecording(dvk_oem_audio_StoppedCallback stopped)
{
    if (s.testInput != nullptr) {
        std::fclose(s.testInput);
        s.testInput = nullptr;
    }
    // Only this layer's own start is dropped: other actions waiting for the
    // inhibitor still run.
    s.startCancelled = true;
    s.startAfterStop = false;
    if (QrvRecorderIsRunning())
        s.stopping = true;
    QrvRecorderStop(recorderStopped);
    if (stopped != nullptr)
        stopped();
    return 0;
}

int32_t dvk_oem_audio_pauseRecording(int32_t flag)
{
    s.pauseFlag = flag;
    return 0;
}

int32_t dvk_oem_audio_startPlayback(dvk_oem_audio_OutputDevice device, dvk_oem_audio_PCMType pcmType,
                                    dvk_oem_audio_VocoderType vocoderType, dvk_oem_audio_AudioCallback callback,
                                    dvk_oem_audio_DoneCallback done, void* context)
{
    const bool pcm = pcmType != DVK_OEM_AUDIO_PCMTYPE_NONE;
    const bool vocoded = vocoderType != DVK_OEM_AUDIO_VOCTYPE_NONE;
    if (pcm && vocoded) {
        playLog().log(WexLogError, "playback mode currently not supported");
        std::exit(1);
    }
    if (!pcm && !vocoded) {
        playLog().log(WexLogError, "must select a playback mode");
        std::exit(1);
    }
    if (pcmType == DVK_OEM_AUDIO_PCMTYPE_16K) {
        playLog().log(WexLogError, "%s: 16 kHz playback not supported", __func__);
        std::exit(1);
    }
    DVK_ASSERT(device == DVK_OEM_AUDIO_OUTPUT_SPEAKER);
    DVK_ASSERT(callback != NULL);
    DVK_ASSERT(done != NULL);
    openOutputDump();
    s.playCallback = callback;
    s.playContext = context;
    s.phase = FIRST_BUFFER;
    s.emptyAnswers = 0;
    closeSubstitute();
    s.doneContext = DoneContext{done, context};
    QrvPlayerGetBuf wrapper = nullptr;
    if (pcm) {
        playLog().log(WexLogDebug, "%s: playing PCM data", __func__);
        wrapper = audioCallbackWrapperPcm;
    } else {
        playLog().log(WexLogDebug, "%s: playing AMR data", __func__);
        if (s.decoderUsed)
            Decode_Cleanup_AMR();
        Decode_Init_AMR();
        s.decoderUsed = true;
        wrapper = audioCallbackWrapperAmr;
    }
    QrvPlayerStart(wrapper, DoneContext::doneCallbackWrapper, nullptr, &s.doneContext);
    QrvExecuteInUiThread(dvkOemUiFuncs_p->uiStateChangeToPlayback, nullptr, QRV_THREAD_ALWAYS_POST);
    return 0;
}

int32_t dvk_oem_audio_stopPlayback(dvk_oem_audio_StoppedCallback stopped)
{
    QrvExecuteInUiThread(dvkOemUiFuncs_p->uiStateChangeToNeither, nullptr, QRV_THREAD_ALWAYS_POST);
    QrvPlayerStop(stopPlaybackDoneCb, reinterpret_cast<void*>(stopped), false);
    return 0;
}

int32_t dvk_oem_audio_pausePlayback()
{
    playLog().log(WexLogWarning, "%s: not implemented", __func__);
    return 0;
}

FILE* dvkOemAudioTestInput()
{
    return s.testInput;
}
