// buscall: calls one bus method by hand and prints each reply as one JSON line.
//
//   buscall [-n COUNT] [-t SECONDS] SERVICE METHOD [JSON]
//
// Unlike `gdbus call`, which leaves the bus as soon as the first reply is in
// (and so ends a subscription at once), buscall stays connected and prints
// further replies until COUNT replies have arrived (default 1, 0 for no
// limit), SECONDS have passed, the service ends the subscription, or it is
// interrupted (SIGINT, SIGTERM). On the way out it cancels the call, so the
// service hears that the subscriber is gone.
//
// Exit status: 0 normally; 1 when the bus failed the call; 2 for a usage
// error, a payload that is no JSON object, or no bus.
#include "platform/bus/wex_bus_caller.h"
#include "platform/bus/wex_bus_connection.h"
#include "platform/bus/wex_bus_wire.h"

#include <glib-unix.h>
#include <gio/gio.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Options {
    long count = 1;
    double seconds = 0;  // 0: no time limit
    const char* service = nullptr;
    const char* method = nullptr;
    const char* json = "{}";
};

void usage()
{
    std::fprintf(stderr,
                 "usage: buscall [-n COUNT] [-t SECONDS] SERVICE METHOD [JSON]\n"
                 "  Prints each reply as one JSON line; stops after COUNT replies (default 1,\n"
                 "  0 for no limit), after SECONDS, or on SIGINT/SIGTERM.\n");
}

bool parseArgs(int argc, char** argv, Options& options)
{
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            ++i;
            break;
        }
        if (i + 1 >= argc)
            return false;
        char* end = nullptr;
        if (std::strcmp(argv[i], "-n") == 0) {
            options.count = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || options.count < 0 || options.count > 1000000000)
                return false;
        } else if (std::strcmp(argv[i], "-t") == 0) {
            options.seconds = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(options.seconds > 0) || options.seconds > 1e6)
                return false;
        } else {
            return false;
        }
    }
    int rest = argc - i;
    if (rest < 2 || rest > 3)
        return false;
    options.service = argv[i];
    options.method = argv[i + 1];
    if (rest == 3)
        options.json = argv[i + 2];
    return true;
}

struct Run {
    GMainLoop* loop = nullptr;
    int status = 0;
    bool done = false;
};

gboolean onStop(gpointer data)
{
    auto* run = static_cast<Run*>(data);
    run->done = true;
    g_main_loop_quit(run->loop);
    return G_SOURCE_CONTINUE;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseArgs(argc, argv, options)) {
        usage();
        return 2;
    }
    WexObject payload;
    if (WexErr err = WexBusWire::readPayload(options.json, payload)) {
        std::fprintf(stderr, "buscall: the payload is not a JSON object (%s)\n", wexErrText(err));
        return 2;
    }
    GDBusConnection* connection = nullptr;
    std::string why;
    if (WexBusConnection::open(nullptr, connection, why) != WexErrNone) {
        std::fprintf(stderr, "buscall: %s\n", why.c_str());
        return 2;
    }

    Run run;
    run.loop = g_main_loop_new(nullptr, FALSE);
    std::shared_ptr<WexBusCaller> caller = WexBusCaller::create(connection);
    int count = options.count == 0 ? WexBusCaller::Unlimited : static_cast<int>(options.count);
    uint64_t id = 0;
    WexErr err = caller->call(
        options.service, options.method, payload, count,
        [&run](const WexObject& reply, WexErr replyErr, bool last) {
            std::string line;
            if (reply.toJson(line) != WexErrNone)
                line = "{}";
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
            if (replyErr == WexErrBus)
                run.status = 1;
            if (last) {
                run.done = true;
                g_main_loop_quit(run.loop);
            }
        },
        id);
    if (err != WexErrNone) {
        std::fprintf(stderr, "buscall: cannot call %s %s: %s\n", options.service, options.method, wexErrText(err));
        run.status = 2;
    } else {
        guint sigint = g_unix_signal_add(SIGINT, onStop, &run);
        guint sigterm = g_unix_signal_add(SIGTERM, onStop, &run);
        guint timer = options.seconds > 0
                          ? g_timeout_add(static_cast<guint>(options.seconds * 1000), onStop, &run)
                          : 0;
        if (!run.done)
            g_main_loop_run(run.loop);
        g_source_remove(sigint);
        g_source_remove(sigterm);
        if (timer != 0)
            g_source_remove(timer);
        caller->cancel(id);  // the service's subscription ends now, not at disconnect
    }

    caller.reset();
    g_dbus_connection_flush_sync(connection, nullptr, nullptr);
    g_dbus_connection_close_sync(connection, nullptr, nullptr);
    g_object_unref(connection);
    g_main_loop_unref(run.loop);
    return run.status;
}
