// The media client library: a capture object reached over the bus through a
// connector, reporting every change of its properties to one listener.
// Property queries answer what the last report told.
#pragma once

#include "platform/media/media_types.h"

#include <functional>

struct QbOrvelService;

namespace media {

// Every report of a capture object; each does nothing unless overridden.
class MediaCaptureV3ChangeListener {
public:
    virtual ~MediaCaptureV3ChangeListener() = default;

    virtual void readyChanged() {}
    virtual void supportedAudioFormatsChanged() {}
    virtual void supportedImageFormatsChanged() {}
    virtual void supportedVideoFormatsChanged() {}
    virtual void imageCaptureChanged() {}
    virtual void audioCaptureChanged() {}
    virtual void videoCaptureChanged() {}
    virtual void lastImagePathChanged() {}
    virtual void lastAudioPathChanged() {}
    virtual void lastVideoPathChanged() {}
    virtual void durationChanged() {}
    virtual void elapsedTimeChanged() {}
    virtual void vuDataChanged() {}
    virtual void captureDevicesChanged() {}
    virtual void errorChanged() {}
    virtual void currentDeviceUriChanged() {}
    virtual void currentAudioCaptureFormatChanged() {}
    virtual void currentImageCaptureFormatChanged() {}
    virtual void currentVideoCaptureFormatChanged() {}
    virtual void currentAudioCaptureOptionsChanged() {}
    virtual void currentImageCaptureOptionsChanged() {}
    virtual void currentVideoCaptureOptionsChanged() {}
    virtual void currentAudioCapturePathChanged() {}
    virtual void currentImageCapturePathChanged() {}
    virtual void currentVideoCapturePathChanged() {}
    virtual void eventChanged() {}
    virtual void imagecapturestartChanged() {}
    virtual void audiocapturestartChanged() {}
    virtual void videocapturestartChanged() {}
    virtual void imagecapturecompleteChanged() {}
    virtual void audiocapturecompleteChanged() {}
    virtual void videocapturecompleteChanged() {}
    virtual void durationchangeChanged() {}
};

// How the library reaches the bus, and tells its user about the service.
class SornaConnector {
public:
    virtual ~SornaConnector() = default;
    // The capture service is reachable.
    virtual void connected() = 0;
    // The bus handle the library talks over (may be null).
    virtual QbOrvelService* connectToBus() = 0;
    // The library is done with the connector (after a shut-down).
    virtual void disconnected() = 0;
};

class MediaCaptureV3 {
public:
    virtual ~MediaCaptureV3() = default;

    virtual bool getReady() const = 0;
    virtual FormatList getSupportedAudioFormats() const = 0;
    // True while an audio capture runs.
    virtual bool getAudioCapture() const = 0;
    virtual std::string getCurrentAudioCapturePath() const = 0;
    virtual float getElapsedTime() const = 0; // seconds
    virtual VolumeList getVuData() const = 0;
    virtual DeviceList getCaptureDevices() const = 0;
    virtual int getError() const = 0;

    virtual void load(const std::shared_ptr<LoadOptions>& options) = 0;
    // Writes a 44-byte WAV header and then 8 kHz 16-bit mono samples into
    // the named pipe at path.
    virtual void startAudioCapture(const std::string& path, const AudioCaptureOptions& options) = 0;
    virtual void stopAudioCapture() = 0;
    virtual void addListener(MediaCaptureV3ChangeListener* listener) = 0;
    // No report reaches the listener afterwards; the connector hears
    // `disconnected` once the object is released.
    virtual void shutdown(MediaCaptureV3ChangeListener* listener) = 0;
};

class MediaClient {
public:
    using Factory = std::function<std::shared_ptr<MediaCaptureV3>(const std::shared_ptr<SornaConnector>&)>;

    // A capture object working for the connector, reporting on the calling
    // thread's main context.
    static std::shared_ptr<MediaCaptureV3> createSornaMediaCapture(const std::shared_ptr<SornaConnector>& connector);

    // Tests: objects made from now on come from factory (empty: the desktop
    // capture).
    static void setFactoryForTesting(Factory factory);
};

} // namespace media
