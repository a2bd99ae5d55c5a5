// Captured audio, one buffer of 16-bit samples per call, on the recorder
// thread. MediaRecorder reads the capture client's named pipe; AlsaRecorder
// reads the ALSA capture device "record".
#pragma once

#include <cstdint>
#include <memory>

class Recorder {
public:
    struct RecordBufInfo {
        int16_t* buffer = nullptr;
        int32_t numFrames = 0; // one frame is one 16-bit mono sample
    };

    virtual ~Recorder() = default;
    // Fills info.buffer with info.numFrames frames; returns the frames read,
    // the rest of the buffer zeroed (0: no more data).
    virtual int32_t read(RecordBufInfo& info) = 0;
};

class MediaRecorderPimpl;

// Lives for one capture: construction starts it and waits until the pipe is
// open; destruction stops it and waits until it has ended.
class MediaRecorder : public Recorder {
public:
    MediaRecorder();
    ~MediaRecorder() override;
    MediaRecorder(const MediaRecorder&) = delete;
    MediaRecorder& operator=(const MediaRecorder&) = delete;

    int32_t read(RecordBufInfo& info) override;

private:
    std::unique_ptr<MediaRecorderPimpl> m_pimpl;
};

class AlsaRecorderPimpl;

class AlsaRecorder : public Recorder {
public:
    AlsaRecorder();
    ~AlsaRecorder() override;
    AlsaRecorder(const AlsaRecorder&) = delete;
    AlsaRecorder& operator=(const AlsaRecorder&) = delete;

    int32_t read(RecordBufInfo& info) override;

private:
    std::unique_ptr<AlsaRecorderPimpl> m_pimpl;
};
