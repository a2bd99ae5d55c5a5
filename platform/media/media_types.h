// The records of the media client library that its users fill or read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace media {

struct CaptureFormat {
    uint32_t bitrate = 0;
    uint32_t sampleRate = 0; // Hz
    std::string mimeType;
};

struct LoadOptions {
    std::string deviceUri;
    std::shared_ptr<CaptureFormat> audioFormat;
    std::shared_ptr<CaptureFormat> imageFormat;
    std::shared_ptr<CaptureFormat> videoFormat;
    std::string imagePath;
};

// Limits of one audio capture: its length in seconds and in bytes.
struct AudioCaptureOptions {
    float maxSeconds = 0.0f;
    uint32_t maxBytes = 0;
};

// One VU report: peak and rms per channel, full scale 1.0.
struct AudioVolume {
    std::vector<float> peak;
    std::vector<float> rms;
};

struct CaptureDevice {
    std::string uri;
    std::string description;
};

using FormatList = std::vector<std::shared_ptr<CaptureFormat>>;
using VolumeList = std::vector<std::shared_ptr<AudioVolume>>;
using DeviceList = std::vector<std::shared_ptr<CaptureDevice>>;

} // namespace media
