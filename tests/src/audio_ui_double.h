// Records what the audio machinery shows the UI (recording state, levels)
// while it lives.
#pragma once

#include "src/QrvAudioUi.h"

#include <atomic>
#include <mutex>
#include <vector>

class AudioUiDouble : public QrvAudioUi {
public:
    AudioUiDouble() { QrvAudioUi::set(this); }
    ~AudioUiDouble() override { QrvAudioUi::set(nullptr); }
    AudioUiDouble(const AudioUiDouble&) = delete;
    AudioUiDouble& operator=(const AudioUiDouble&) = delete;

    void stateChangeToRecording() override { ++recordings; }
    void audioLevelUpdate(uint32_t level) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_levels.push_back(level);
    }
    std::vector<uint32_t> levels() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_levels;
    }

    std::atomic<int> recordings{0};

private:
    mutable std::mutex m_mutex;
    std::vector<uint32_t> m_levels;
};
