// A capture object whose reports the test makes: it answers queries from
// its public fields and records what the client asks of it. Installed
// through the media client's factory for as long as it lives.
#pragma once

#include "platform/media/media_capture.h"

#include <functional>
#include <string>
#include <vector>

class ScriptedMediaCapture {
public:
    // The object handed out; forwards everything to the script.
    class Object : public media::MediaCaptureV3 {
    public:
        explicit Object(ScriptedMediaCapture& script) : m_script(script) {}
        ~Object() override { m_script.object = nullptr; }
        Object(const Object&) = delete;
        Object& operator=(const Object&) = delete;

        bool getReady() const override { return m_script.ready; }
        media::FormatList getSupportedAudioFormats() const override { return m_script.formats; }
        bool getAudioCapture() const override { return m_script.capturing; }
        std::string getCurrentAudioCapturePath() const override { return m_script.path; }
        float getElapsedTime() const override { return m_script.elapsed; }
        media::VolumeList getVuData() const override { return m_script.vu; }
        media::DeviceList getCaptureDevices() const override { return {}; }
        int getError() const override { return 0; }
        void load(const std::shared_ptr<media::LoadOptions>& options) override
        {
            m_script.loaded = options;
            ++m_script.loads;
        }
        void startAudioCapture(const std::string& path, const media::AudioCaptureOptions& options) override
        {
            m_script.path = path;
            m_script.options = options;
            ++m_script.starts;
            if (m_script.onStart)
                m_script.onStart(path);
        }
        void stopAudioCapture() override
        {
            ++m_script.stops;
            if (m_script.onStop)
                m_script.onStop();
        }
        void addListener(media::MediaCaptureV3ChangeListener* listener) override { m_script.listener = listener; }
        void shutdown(media::MediaCaptureV3ChangeListener*) override
        {
            ++m_script.shutdowns;
            m_script.listener = nullptr;
        }

    private:
        ScriptedMediaCapture& m_script;
    };

    ScriptedMediaCapture()
    {
        media::MediaClient::setFactoryForTesting([this](const std::shared_ptr<media::SornaConnector>& c) {
            connector = c;
            ++creations;
            auto made = std::make_shared<Object>(*this);
            object = made.get();
            return made;
        });
    }
    ~ScriptedMediaCapture() { media::MediaClient::setFactoryForTesting({}); }
    ScriptedMediaCapture(const ScriptedMediaCapture&) = delete;
    ScriptedMediaCapture& operator=(const ScriptedMediaCapture&) = delete;

    // Reports a change to the client, as the library does.
    void report(void (media::MediaCaptureV3ChangeListener::*what)())
    {
        if (listener != nullptr)
            (listener->*what)();
    }
    void offerFormats(media::FormatList list)
    {
        formats = std::move(list);
        report(&media::MediaCaptureV3ChangeListener::supportedAudioFormatsChanged);
    }
    void setReady(bool value)
    {
        ready = value;
        report(&media::MediaCaptureV3ChangeListener::readyChanged);
    }
    void setCapturing(bool value)
    {
        capturing = value;
        report(&media::MediaCaptureV3ChangeListener::audioCaptureChanged);
    }
    void setVu(float rms, float peak)
    {
        auto volume = std::make_shared<media::AudioVolume>();
        volume->rms = {rms};
        volume->peak = {peak};
        vu = {volume};
        report(&media::MediaCaptureV3ChangeListener::vuDataChanged);
    }
    // Formats, devices and `connected`: the client loads; then ready.
    void connectAndLoad()
    {
        offerFormats({std::make_shared<media::CaptureFormat>(media::CaptureFormat{128000, 8000, "audio/vnd.wave"})});
        if (connector)
            connector->connected();
        setReady(true);
    }

    bool ready = false;
    bool capturing = false;
    std::string path;
    float elapsed = 0.0f;
    media::FormatList formats;
    media::VolumeList vu;

    int creations = 0;
    int loads = 0;
    int starts = 0;
    int stops = 0;
    int shutdowns = 0;
    std::shared_ptr<media::LoadOptions> loaded;
    media::AudioCaptureOptions options;
    std::function<void(const std::string&)> onStart;
    std::function<void()> onStop;
    std::shared_ptr<media::SornaConnector> connector;
    media::MediaCaptureV3ChangeListener* listener = nullptr;
    Object* object = nullptr;
};
