#include "sim/sim_host.h"

#include "platform/bus/wex_bus_connection.h"
#include "platform/core/wex_logger.h"

#include <glib-unix.h>

#include <cstdlib>
#include <map>
#include <sstream>

namespace {

WexLogger s_log("Sim");

std::vector<std::string> splitWords(const std::string& line)
{
    std::string text = line.substr(0, line.find('#'));
    std::istringstream in(text);
    std::vector<std::string> words;
    std::string word;
    while (in >> word)
        words.push_back(word);
    return words;
}

} // namespace

// The connection's one method handler: each call goes to the peer that
// lists its method.
class SimHost::Router : public WexService::CategoryHandler {
public:
    // Fails when a method is listed twice.
    bool add(SimPeer* peer)
    {
        for (const std::string& name : peer->methods()) {
            auto [it, added] = m_owners.emplace(name, peer);
            if (!added) {
                s_log.log(WexLogError, "method %s is listed by both %s and %s", name.c_str(),
                          it->second->busName(), peer->busName());
                return false;
            }
        }
        return true;
    }

    WexErr invoke(WexServiceMessage* message) override
    {
        auto it = m_owners.find(message->method());
        if (it == m_owners.end())
            return WexErrUnknownMethod;
        return it->second->invoke(message);
    }

private:
    std::map<std::string, SimPeer*> m_owners;
};

SimHost::SimHost()
    : m_loop(g_main_loop_new(nullptr, FALSE))
{
}

SimHost::~SimHost()
{
    for (auto& peer : m_peers)
        peer->stop();
    if (m_inputWatch != 0)
        g_source_remove(m_inputWatch);
    if (m_waitTimer != 0)
        g_source_remove(m_waitTimer);
    if (m_input != nullptr)
        g_io_channel_unref(m_input);
    m_service.close();
    g_main_loop_unref(m_loop);
}

void SimHost::addPeer(std::unique_ptr<SimPeer> peer)
{
    m_peers.push_back(std::move(peer));
}

WexErr SimHost::start()
{
    if (m_peers.empty())
        return WexErrInvalidArg;
    m_router = wexMakeRefCounted<Router>();
    if (!m_router)
        return WexErrNoMemory;
    for (auto& peer : m_peers)
        if (!m_router->add(peer.get()))
            return WexErrInvalidArg;
    if (WexErr err = m_service.open(m_peers[0]->busName()))
        return err;
    if (WexErr err = m_service.attach(nullptr))
        return err;
    for (size_t i = 1; i < m_peers.size(); ++i) {
        std::string why;
        if (WexErr err = WexBusConnection::ownName(m_service.getService()->connection, m_peers[i]->busName(), why)) {
            s_log.log(WexLogError, "%s", why.c_str());
            return err;
        }
    }
    for (auto& peer : m_peers) {
        if (WexErr err = peer->start(m_service)) {
            s_log.log(WexLogError, "%s: cannot start: %s", peer->busName(), wexErrText(err));
            return err;
        }
    }
    return m_service.setDefaultCategory(m_router);
}

void SimHost::readCommands(int fd)
{
    m_input = g_io_channel_unix_new(fd);
    g_io_channel_set_encoding(m_input, nullptr, nullptr);
    g_io_channel_set_flags(m_input, G_IO_FLAG_NONBLOCK, nullptr);
    m_inputWatch = g_io_add_watch(m_input, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), onInput, this);
}

void SimHost::queueScript(const std::string& text)
{
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        m_queue.push_back(line);
    pump();
}

int SimHost::run()
{
    guint sigint = g_unix_signal_add(SIGINT, onSignal, this);
    guint sigterm = g_unix_signal_add(SIGTERM, onSignal, this);
    pump();
    // A quit already run (say the script's first line) ends here: quitting a
    // loop that is not running yet would be forgotten by g_main_loop_run.
    if (!m_quitting)
        g_main_loop_run(m_loop);
    g_source_remove(sigint);
    g_source_remove(sigterm);
    for (auto& peer : m_peers)
        peer->stop();
    return m_status;
}

gboolean SimHost::onInput(GIOChannel* channel, GIOCondition, gpointer data)
{
    auto* host = static_cast<SimHost*>(data);
    char buffer[4096];
    gsize got = 0;
    GIOStatus status = g_io_channel_read_chars(channel, buffer, sizeof buffer, &got, nullptr);
    host->m_partial.append(buffer, got);
    size_t newline;
    while ((newline = host->m_partial.find('\n')) != std::string::npos) {
        host->m_queue.push_back(host->m_partial.substr(0, newline));
        host->m_partial.erase(0, newline + 1);
    }
    if (status == G_IO_STATUS_EOF || status == G_IO_STATUS_ERROR) {
        // End of input: the last line, if unterminated, still counts; the
        // peers stay until quit or a signal.
        if (!host->m_partial.empty())
            host->m_queue.push_back(std::move(host->m_partial));
        host->m_partial.clear();
        host->m_inputWatch = 0;
        host->pump();
        return G_SOURCE_REMOVE;
    }
    host->pump();
    return G_SOURCE_CONTINUE;
}

gboolean SimHost::onResume(gpointer data)
{
    auto* host = static_cast<SimHost*>(data);
    host->m_waitTimer = 0;
    host->pump();
    return G_SOURCE_REMOVE;
}

gboolean SimHost::onSignal(gpointer data)
{
    static_cast<SimHost*>(data)->quit();
    return G_SOURCE_CONTINUE;
}

void SimHost::pump()
{
    while (m_waitTimer == 0 && !m_queue.empty()) {
        std::string line = std::move(m_queue.front());
        m_queue.pop_front();
        execute(line);
    }
}

void SimHost::execute(const std::string& line)
{
    std::vector<std::string> words = splitWords(line);
    if (words.empty())
        return;
    if (words[0] == "quit") {
        quit();
        return;
    }
    if (words[0] == "wait") {
        char* end = nullptr;
        long ms = words.size() == 2 ? std::strtol(words[1].c_str(), &end, 10) : -1;
        if (end == nullptr || *end != '\0' || ms < 0 || ms > 3600000) {
            s_log.log(WexLogError, "bad command: %s", line.c_str());
            return;
        }
        m_waitTimer = g_timeout_add(static_cast<guint>(ms), onResume, this);
        return;
    }
    for (auto& peer : m_peers) {
        WexErr err = peer->command(words);
        if (err == WexErrNotFound)
            continue;
        if (err != WexErrNone)
            s_log.log(WexLogError, "%s: %s: %s", peer->busName(), line.c_str(), wexErrText(err));
        return;
    }
    s_log.log(WexLogError, "unknown command: %s", line.c_str());
}

void SimHost::quit()
{
    m_quitting = true;
    m_queue.clear();
    g_main_loop_quit(m_loop);
}
