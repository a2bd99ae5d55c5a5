// Doubles of the bring-up's outside steps and of the audio machinery, for
// running the whole application in the test process. Each records what it
// was asked in one shared, ordered event list, and answers as the test
// chooses. Completions are posted to the default main context ("UI").
#pragma once

#include "src/QrvAudioControls.h"
#include "src/QrvBringUp.h"
#include "src/QrvBringupSteps.h"
#include "src/QrvUiStateChange.h"
#include "src/workqueue.h"

#include <glib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Runs f on "UI" later.
inline void postUi(std::function<void()> f)
{
    auto* heap = new std::function<void()>(std::move(f));
    g_idle_add(
        [](gpointer data) -> gboolean {
            auto* fn = static_cast<std::function<void()>*>(data);
            (*fn)();
            delete fn;
            return G_SOURCE_REMOVE;
        },
        heap);
}

// The queue the caller runs on ("UI", "VR"); only for work-queue threads.
inline std::string queueName()
{
    workqueue* self = workqueue_self();
    return self != nullptr ? workqueue_getName(self) : "?";
}

class Events {
public:
    void add(const std::string& event)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(event);
    }
    std::vector<std::string> list() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }
    int count(const std::string& event) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return static_cast<int>(std::count(m_events.begin(), m_events.end(), event));
    }
    // The events among `wanted`, in the order they happened.
    std::vector<std::string> only(const std::vector<std::string>& wanted) const
    {
        std::vector<std::string> result;
        for (const std::string& e : list())
            if (std::find(wanted.begin(), wanted.end(), e) != wanted.end())
                result.push_back(e);
        return result;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_events;
};

template <class Interface>
class Installed : public Interface {
public:
    explicit Installed(Events& events) : events(events) { Interface::set(static_cast<Interface*>(this)); }
    ~Installed() override { Interface::set(nullptr); }
    Installed(const Installed&) = delete;
    Installed& operator=(const Installed&) = delete;

    Events& events;
};

class LanguageDouble : public Installed<QrvLanguageStep> {
public:
    using Installed::Installed;
    bool languageKnown() override { return known; }
    void identify(WexService*) override
    {
        events.add("language identify");
        if (!hold)
            postUi([] { QrvBringUp::languageSettingIdentifiedStatic(); });
    }

    bool known = false;
    bool hold = false;  // the completion never comes
};

class LanguagePackDouble : public Installed<QrvLanguagePackStep> {
public:
    using Installed::Installed;
    bool languagePacksInstalled() override { return installed; }

    bool installed = true;
};

class ContactCountsDouble : public Installed<QrvContactCountsStep> {
public:
    using Installed::Installed;
    void start(WexService*) override
    {
        events.add("counts start");
        postUi([] { QrvBringUp::contactCountsDone(12, 3); });
    }
    void release() override {}
    void forgetVoiceData() override { events.add("counts forget voice data"); }
};

class PhoneInfoDouble : public Installed<QrvPhoneInfoStep> {
public:
    using Installed::Installed;
    void readBoardType(WexService*) override
    {
        events.add("board type");
        postUi([] { QrvBringUp::boardTypeSettingRead(); });
    }
    void readLastOutgoingCall(WexService*) override
    {
        events.add("last call");
        postUi([] { QrvBringUp::outgoingCallGetterdone(); });
    }
};

class AudioRoutingDouble : public Installed<QrvAudioRoutingStep> {
public:
    enum Mode {
        ANSWER,      // activation answered, first status at once
        HOLD_STATUS, // activation answered, first status when the test says
        SILENT,      // nothing ever answers
        SEND_FAILS,  // the activation cannot be sent
    };
    using Installed::Installed;
    WexErr activate(WexService*) override
    {
        events.add("audio activate");
        if (mode == SEND_FAILS)
            return WexErrBus;
        if (mode != SILENT)
            postUi([] { QrvBringUp::AudiodSubscribe(); });
        return WexErrNone;
    }
    WexErr subscribe(WexService*) override
    {
        events.add("audio subscribe");
        if (mode == ANSWER)
            postUi([] { QrvBringUp::notifyAudiodSubscrReceived(); });
        return WexErrNone;
    }
    void cancel() override { events.add("audio cancel"); }
    // HOLD_STATUS: the first status arrives now.
    static void sendStatus() { QrvBringUp::notifyAudiodSubscrReceived(); }

    Mode mode = ANSWER;
};

class UiDouble : public Installed<QrvUiStep> {
public:
    using Installed::Installed;
    void launch(WexService*, Reason_E reason) override
    {
        events.add("ui launch " + std::to_string(reason));
        if (onLaunch)
            onLaunch();
    }

    std::function<void()> onLaunch;
};

// Records "neither" only: "initializing" comes with every registration.
class UiStateDouble : public Installed<QrvUiStateChange> {
public:
    using Installed::Installed;
    void toInitializing() override {}
    void toNeither() override { events.add("ui neither"); }
};

class SuiteDouble : public Installed<QrvSuiteStep> {
public:
    using Installed::Installed;
    int create(CreateNotify notify, void* context) override
    {
        events.add("suite create");
        for (int32_t code : answers)
            postUi([this, notify, context, code] {
                notify(static_cast<dvk_app_CompletionCode>(code), context);
                ++delivered;
            });
        return createResult;
    }
    int startCmdRecog() override
    {
        events.add("suite start recognition");
        return startResult;
    }

    std::vector<int32_t> answers{0};
    int createResult = 0;
    int startResult = 0;
    // Creation reports handled so far.
    std::atomic<int> delivered{0};
};

class RecorderDouble : public Installed<QrvRecorderControl> {
public:
    using Installed::Installed;
    bool isRunning() override { return running; }
    void stop(StopDone done) override
    {
        events.add("recorder stop on " + queueName());
        if (!hang)
            done();
    }
    bool running = false;
    bool hang = false;  // the stop's completion never comes
};

class CaptureDouble : public Installed<QrvMediaCaptureControl> {
public:
    using Installed::Installed;
    void init() override { events.add("capture init on " + queueName()); }
    void shutdownStart(Done done) override
    {
        events.add("capture shutdown on " + queueName());
        done();
    }
};

// Plays on a thread of its own, as the playback worker does.
class PlayerDouble : public Installed<QrvPlayerControl> {
public:
    using Installed::Installed;
    ~PlayerDouble() override
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    bool isRunning() override { return running; }
    void start(GetBuf getBuf, Done done, void* context, void* doneContext) override
    {
        events.add("player start on " + queueName());
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_getBuf = getBuf;
            m_done = done;
            m_context = context;
            m_doneContext = doneContext;
        }
        startedAt = g_get_monotonic_time();
        if (!hang)
            finish();
    }
    void stop(Done done, void* context, bool graceful) override
    {
        events.add(std::string("player stop ") + (graceful ? "graceful" : "at once") + " on " + queueName());
        done(context);
    }
    // Plays what was started to its end (at once unless `hang`).
    void finish()
    {
        m_thread = std::thread([this] {
            // Exactly the size offered, so a source that writes more is caught.
            std::vector<int16_t> buffer(static_cast<size_t>(bufferSamples));
            for (;;) {
                int samples = bufferSamples;
                int got = m_getBuf(buffer.data(), &samples, m_context);
                if (got <= 0)
                    break;
                std::lock_guard<std::mutex> lock(m_mutex);
                played.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(got) * 2);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(playMs));
            m_done(m_doneContext);
        });
    }
    std::string playedBytes() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return played;
    }

    bool running = false;
    bool hang = false;  // does not finish until the test says so
    int playMs = 0;     // how long the sound lasts after its last buffer
    int bufferSamples = 160;
    std::atomic<gint64> startedAt{0};

private:
    mutable std::mutex m_mutex;
    std::string played;
    std::thread m_thread;
    GetBuf m_getBuf = nullptr;
    Done m_done = nullptr;
    void* m_context = nullptr;
    void* m_doneContext = nullptr;
};

// Every double, in one place.
struct SessionDoubles {
    Events events;
    LanguageDouble language{events};
    LanguagePackDouble packs{events};
    ContactCountsDouble counts{events};
    PhoneInfoDouble phone{events};
    AudioRoutingDouble audio{events};
    UiDouble ui{events};
    UiStateDouble uiState{events};
    SuiteDouble suite{events};
    RecorderDouble recorder{events};
    PlayerDouble player{events};
    CaptureDouble capture{events};
};
