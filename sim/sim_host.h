// The sim process: one bus service carrying the peers' names, the peers, and
// the command script that drives them (from a file or standard input).
//
// Script lines: words separated by blanks; "#" starts a comment. Besides the
// peers' own commands:
//   wait MS    pause the script for MS milliseconds
//   quit       leave the bus and end the process
// A script that ends leaves the peers running until quit or a signal.
#pragma once

#include "platform/bus/wex_sorna_service.h"
#include "sim/sim_peer.h"

#include <glib.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

class SimHost {
public:
    SimHost();
    ~SimHost();
    SimHost(const SimHost&) = delete;
    SimHost& operator=(const SimHost&) = delete;

    void addPeer(std::unique_ptr<SimPeer> peer);
    // Opens the bus service under the first peer's name and takes the other
    // peers' names on the same connection, then starts every peer. Refused
    // (WexErrInvalidArg, logged) when two peers list the same method.
    WexErr start();
    // Reads commands from `fd` (a pipe or terminal) as they come.
    void readCommands(int fd);
    // Queues the commands of a script text.
    void queueScript(const std::string& text);
    // Runs the default main loop until quit, SIGINT or SIGTERM; returns the
    // exit status.
    int run();

private:
    class Router;

    static gboolean onInput(GIOChannel* channel, GIOCondition condition, gpointer data);
    static gboolean onResume(gpointer data);
    static gboolean onSignal(gpointer data);
    void pump();
    void execute(const std::string& line);
    void quit();

    WexSornaService m_service{true, nullptr};
    std::vector<std::unique_ptr<SimPeer>> m_peers;
    WexRefCountedPtr<Router> m_router;
    std::deque<std::string> m_queue;
    GMainLoop* m_loop = nullptr;
    GIOChannel* m_input = nullptr;
    guint m_inputWatch = 0;
    guint m_waitTimer = 0;
    std::string m_partial;
    int m_status = 0;
    bool m_quitting = false;
};
