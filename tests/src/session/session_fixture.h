// The whole-session fixture: the application runs in this process on a
// private bus, as the merrowind program does, and is called by a second
// service of this process (the client). The bring-up's later steps and the
// audio machinery are doubles unless a test puts the real ones back.
#pragma once

#include "platform/bus/wex_service_request.h"
#include "platform/bus/wex_sorna_service.h"
#include "platform/core/wex_root.h"
#include "src/DownChirpAndExit.h"
#include "src/QrVoiceCmdServiceApp.h"
#include "src/QrVoiceCmdServiceHandler.h"
#include "src/QrvAudioControls.h"
#include "src/QrvFileSystem.h"
#include "src/QrvServiceMain.h"
#include "src/QrvMetaDbInfo.h"
#include "src/QrvSettings.h"
#include "src/QrvWorkQueues.h"
#include "tests/support/temp_root.h"
#include "src/QrvWatchdog.h"
#include "oem/dvk_oem_ui.h"
#include "core/ce/dvk_ce_requests.h"
#include "oem/dvk_oem_app.h"
#include "tests/platform/bus/private_bus.h"
#include "tests/platform/bus/sim_process.h"
#include "tests/src/session/session_doubles.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <glib/gstdio.h>

#include <unistd.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// One private bus for the whole test program.
inline const bool kSessionBus = (privateBusForEveryTest(), true);

// The replies of one request.
class Call : public WexSignalHandler {
public:
    WexErr Result(WexObject& reply, WexErr err)
    {
        replies.push_back(reply);
        errors.push_back(err);
        return WexErrNone;
    }
    std::vector<WexObject> replies;
    std::vector<WexErr> errors;
    WexRefCountedPtr<WexServiceRequest> request;
    WexReplySlot slot{this, &Call::Result};
};

inline void writeFile(const std::string& path, const std::string& bytes)
{
    gchar* dir = g_path_get_dirname(path.c_str());
    ASSERT_EQ(g_mkdir_with_parents(dir, 0700), 0);
    g_free(dir);
    ASSERT_TRUE(g_file_set_contents(path.c_str(), bytes.data(), static_cast<gssize>(bytes.size()), nullptr));
}

// 1000 bytes: three full buffers of 320 and a short one of 40.
inline std::string chirpBytes()
{
    std::string bytes;
    for (int i = 0; i < 1000; ++i)
        bytes.push_back(static_cast<char>(i * 7));
    return bytes;
}

class Session : public ::testing::Test {
protected:
    void SetUp() override
    {
        WexLogger::configure("*=0");
        writeFile(wexRootPath("/var/sorna/preferences/ran-first-use"), "");
        writeFile(QrvFileSystem::makeFullPathname0("downchirp.bin"), chirpBytes());
        // The chirp is the installed one, not one in the data directories.
        writeFile(QrvFileSystem::makeFullPathname1("downchirp.bin"), "not this one");
        ASSERT_EQ(client.open("com.orvel.test.client"), WexErrNone);
    }

    void TearDown() override
    {
        for (auto& c : m_calls) {
            if (c->request->isPending())
                c->request->cancel();
            c->request.reset();
        }
        client.close();
    }

    // Sends a request from the client; its replies collect in the result.
    WexRefCountedPtr<Call> send(const char* method, const char* payload = "{}", int replies = 1)
    {
        auto c = wexMakeRefCounted<Call>();
        WexObject params;
        EXPECT_EQ(WexObject::parse(payload, params), WexErrNone);
        EXPECT_EQ(WexServiceRequest::create(&client, c->request), WexErrNone);
        EXPECT_EQ(c->request->send(c->slot, "com.orvel.merrowind", method, params, replies), WexErrNone);
        m_calls.push_back(c);
        return c;
    }

    // Sends once the service runs.
    void sendWhenRunning(const char* method, const char* payload = "{}")
    {
        postUi([=, this] { send(method, payload); });
    }

    // The phone application answers its launch by subscribing; its
    // subscription's replies collect in `uiSubscription`.
    void uiSubscribesWhenLaunched()
    {
        doubles.ui.onLaunch = [this] { uiSubscription = send("registerUI", "{}", WexServiceRequest::Unlimited); };
    }

    // The phone application's subscription has ended: its last reply is the
    // error reply that closes it.
    bool uiSubscriptionEnded() const
    {
        if (!uiSubscription || uiSubscription->replies.empty())
            return false;
        bool ok = true;
        return uiSubscription->replies.back().get("returnValue", ok) == WexErrNone && !ok;
    }

    // Runs the application until its main loop ends; its exit status. A
    // service that never ends is stopped after `limitMs` and fails the test.
    int runService(int limitMs = 8000)
    {
        static bool s_overran = false;
        guint guard = g_timeout_add(static_cast<guint>(limitMs), [](gpointer) -> gboolean {
            s_overran = true;
            if (QrVoiceCmdServiceApp::s_app != nullptr)
                QrVoiceCmdServiceApp::s_app->shutdown();
            return G_SOURCE_REMOVE;
        }, nullptr);
        char name[] = "merrowind";
        char* argv[] = {name, nullptr};
        const int status = QrvServiceMain(1, argv);
        endedAt = g_get_monotonic_time();
        if (!s_overran)
            g_source_remove(guard);
        EXPECT_FALSE(s_overran) << "the service did not end by itself";
        return status;
    }

    // Runs f on the main loop as soon as `ready` holds there. No fixed
    // delays: on a loaded machine the service takes what it takes, and a
    // service that never gets there is caught by runService's limit.
    static void when(std::function<bool()> ready, std::function<void()> f)
    {
        struct Wait {
            std::function<bool()> ready;
            std::function<void()> f;
        };
        g_timeout_add(5, [](gpointer data) -> gboolean {
            auto* wait = static_cast<Wait*>(data);
            if (!wait->ready())
                return G_SOURCE_CONTINUE;
            wait->f();
            delete wait;
            return G_SOURCE_REMOVE;
        }, new Wait{std::move(ready), std::move(f)});
    }

    // The doubles have seen `event`.
    std::function<bool()> seen(const char* event)
    {
        return [this, e = std::string(event)] { return doubles.events.count(e) > 0; };
    }

    // The session is up: command recognition was started.
    std::function<bool()> recognising() { return seen("suite start recognition"); }

    const std::vector<std::string> kStopChain{"recorder stop on VR", "player stop graceful on VR",
                                              "capture shutdown on UI", "audio cancel"};

    LogCapture log;
    SessionDoubles doubles;
    WexSornaService client{true, nullptr};
    WexRefCountedPtr<Call> uiSubscription;
    gint64 endedAt = 0;

private:
    std::vector<WexRefCountedPtr<Call>> m_calls;
};

// Language, board type, last call, audio routing and the UI launch are the
// service's own, against merrowind-sim's peers; the phone peer registers
// when the application manager launches it.
class PlatformSession : public Session {
protected:
    void SetUp() override
    {
        Session::SetUp();
        QrvLanguageStep::set(nullptr);
        QrvPhoneInfoStep::set(nullptr);
        QrvAudioRoutingStep::set(nullptr);
        QrvUiStep::set(nullptr);
    }

    void TearDown() override
    {
        if (!m_prefs.empty())
            g_unlink(m_prefs.c_str());
        Session::TearDown();
    }

    // The sim, with the system service's preferences when given.
    std::unique_ptr<SimProcess> startSim(const std::string& preferences = {}, std::vector<const char*> args = {})
    {
        if (!preferences.empty()) {
            char path[] = "/tmp/mwprefs.XXXXXX";
            int fd = g_mkstemp(path);
            EXPECT_GE(fd, 0);
            EXPECT_EQ(write(fd, preferences.data(), preferences.size()), static_cast<ssize_t>(preferences.size()));
            close(fd);
            m_prefs = path;
            args.push_back("--prefs");
            args.push_back(m_prefs.c_str());
        }
        auto sim = std::make_unique<SimProcess>(args);
        GDBusConnection* bus = connectToBus();
        EXPECT_TRUE(waitForName(bus, "com.orvel.audio"));
        g_object_unref(bus);
        return sim;
    }

    // The lines of the sim's output that contain `text`, in order.
    static std::vector<std::string> linesWith(const SimProcess& sim, const std::string& text)
    {
        std::vector<std::string> found;
        for (const std::string& line : sim.lines)
            if (line.find(text) != std::string::npos)
                found.push_back(line);
        return found;
    }

private:
    std::string m_prefs;
};
