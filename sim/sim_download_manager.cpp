#include "sim/sim_download_manager.h"

#include "platform/core/wex_logger.h"
#include "platform/core/wex_root.h"
#include "platform/core/wex_signal.h"
#include "sim/sim_line.h"

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace {

WexLogger s_log("SimDownloadManager");

bool toInt(const std::string& word, long long& value)
{
    if (word.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(word.c_str(), &end, 10);
    return errno == 0 && *end == '\0';
}

} // namespace

// One query's copy: a chunk per interval, a reply per chunk.
class SimDownloadManager::Transfer : public WexSignalHandler {
public:
    Transfer(SimDownloadManager& owner, WexServiceMessage* message, const Ticket& ticket, std::string data)
        : m_owner(owner), m_message(message), m_ticket(ticket), m_data(std::move(data))
    {
    }

    bool begin()
    {
        const std::string target = wexRootPath(TargetPath);
        gchar* dir = g_path_get_dirname(target.c_str());
        g_mkdir_with_parents(dir, 0755);
        g_free(dir);
        m_file = std::fopen(target.c_str(), "wb");
        if (m_file == nullptr)
            return false;
        m_message->notifyCancel(m_cancelSlot);
        m_timer = g_timeout_add(static_cast<guint>(std::max(m_ticket.intervalMs, 0)), tick, this);
        return true;
    }

    void end()
    {
        if (m_timer != 0)
            g_source_remove(m_timer);
        m_timer = 0;
        if (m_file != nullptr)
            std::fclose(m_file);
        m_file = nullptr;
        m_cancelSlot.cancel();
    }

private:
    static gboolean tick(gpointer data)
    {
        auto* self = static_cast<Transfer*>(data);
        WexRefCountedPtr<Transfer> keep(self);
        if (!self->step()) {
            self->m_timer = 0;
            self->end();
            self->m_owner.finished(self);
            return FALSE;
        }
        return TRUE;
    }

    // False once the copy has ended.
    bool step()
    {
        const size_t chunks = static_cast<size_t>(std::max(m_ticket.chunks, 1));
        const size_t chunk = (m_data.size() + chunks - 1) / chunks;
        if (m_done < m_data.size()) {
            const size_t n = std::min(chunk, m_data.size() - m_done);
            if (std::fwrite(m_data.data() + m_done, 1, n, m_file) != n || std::fflush(m_file) != 0) {
                s_log.log(WexLogError, "cannot write the download");
                m_message->replyError(WexErrFailed, "write failed");
                return false;
            }
            m_done += n;
            WexObject status = WexObject::object();
            status.put("amountReceived", static_cast<int64_t>(m_done));
            status.put("completed", false);
            m_message->reply(status);
            return true;
        }
        std::fclose(m_file);
        m_file = nullptr;
        WexObject status = WexObject::object();
        status.put("completed", true);
        status.put("completionStatusCode", 0);
        status.put("amountReceived", static_cast<int64_t>(m_done));
        m_message->reply(status);
        if (m_ticket.twice)
            m_message->reply(status);
        if (m_ticket.lateFailure < 0) {
            WexObject failure = WexObject::object();
            failure.put("completionStatusCode", m_ticket.lateFailure);
            m_message->reply(failure);
        }
        return false;
    }

    WexErr onCancel(WexServiceMessage*)
    {
        WexRefCountedPtr<Transfer> keep(this);
        end();
        m_owner.finished(this);
        return WexErrNone;
    }

    SimDownloadManager& m_owner;
    WexRefCountedPtr<WexServiceMessage> m_message;
    Ticket m_ticket;
    std::string m_data;
    size_t m_done = 0;
    FILE* m_file = nullptr;
    guint m_timer = 0;
    WexServiceMessage::CancelSlot m_cancelSlot{this, &Transfer::onCancel};
};

SimDownloadManager::SimDownloadManager(FILE* out) : m_out(out) {}

SimDownloadManager::~SimDownloadManager()
{
    stop();
}

void SimDownloadManager::stop()
{
    std::vector<WexRefCountedPtr<Transfer>> transfers = std::move(m_transfers);
    m_transfers.clear();
    for (auto& transfer : transfers)
        transfer->end();
}

void SimDownloadManager::finished(Transfer* transfer)
{
    m_transfers.erase(std::remove_if(m_transfers.begin(), m_transfers.end(),
                                     [transfer](const auto& t) { return t.get() == transfer; }),
                      m_transfers.end());
}

WexErr SimDownloadManager::command(const std::vector<std::string>& words)
{
    if (words.empty())
        return WexErrNotFound;
    long long ticket = 0;
    if (words[0] == "download-ticket") {
        long long chunks = 4;
        long long interval = 100;
        if (words.size() < 3 || words.size() > 5 || !toInt(words[1], ticket) ||
            (words.size() > 3 && (!toInt(words[3], chunks) || chunks < 1 || chunks > 1000000)) ||
            (words.size() > 4 && (!toInt(words[4], interval) || interval < 0 || interval > 3600000)))
            return WexErrInvalidArg;
        Ticket entry;
        entry.file = words[2];
        entry.chunks = static_cast<int>(chunks);
        entry.intervalMs = static_cast<int>(interval);
        m_tickets[ticket] = entry;
        return WexErrNone;
    }
    if (words[0] == "download-fail") {
        long long code = 0;
        if (words.size() != 3 || !toInt(words[1], ticket) || !toInt(words[2], code) || code >= 0 || code < INT32_MIN)
            return WexErrInvalidArg;
        Ticket entry;
        entry.failure = static_cast<int>(code);
        m_tickets[ticket] = entry;
        return WexErrNone;
    }
    if (words[0] == "download-twice") {
        if (words.size() != 2 || !toInt(words[1], ticket))
            return WexErrInvalidArg;
        auto it = m_tickets.find(ticket);
        if (it == m_tickets.end())
            return WexErrInvalidArg;
        it->second.twice = true;
        return WexErrNone;
    }
    if (words[0] == "download-then-fail") {
        long long code = 0;
        if (words.size() != 3 || !toInt(words[1], ticket) || !toInt(words[2], code) || code >= 0 || code < INT32_MIN)
            return WexErrInvalidArg;
        auto it = m_tickets.find(ticket);
        if (it == m_tickets.end())
            return WexErrInvalidArg;
        it->second.lateFailure = static_cast<int>(code);
        return WexErrNone;
    }
    return WexErrNotFound;
}

WexErr SimDownloadManager::invoke(WexServiceMessage* message)
{
    simPrintCall(m_out, message->method(), message->payload());
    int64_t ticket = 0;
    if (message->payload().get("ticket", ticket) != WexErrNone)
        return message->replyError(WexErrMissingProperty, "missing ticket");
    auto it = m_tickets.find(ticket);
    if (it == m_tickets.end())
        return message->replyError(WexErrNotFound, "unknown ticket");
    const Ticket& entry = it->second;
    if (entry.failure < 0) {
        WexObject status = WexObject::object();
        status.put("completionStatusCode", entry.failure);
        return message->reply(status);
    }
    gchar* contents = nullptr;
    gsize length = 0;
    if (!g_file_get_contents(entry.file.c_str(), &contents, &length, nullptr))
        return message->replyError(WexErrFailed, "download source unreadable");
    std::string data(contents, length);
    g_free(contents);
    auto transfer = wexMakeRefCounted<Transfer>(*this, message, entry, std::move(data));
    if (!transfer || !transfer->begin())
        return message->replyError(WexErrFailed, "cannot write the download");
    m_transfers.push_back(transfer);
    return WexErrNone;
}
