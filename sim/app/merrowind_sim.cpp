// merrowind-sim: the desktop platform's peers on the bus of
// $DBUS_SESSION_BUS_ADDRESS.
//
//   merrowind-sim [--script FILE]
//
// Commands come from FILE, else from standard input (see sim/sim_host.h and
// the peers' headers). Replies the peers receive are written to standard
// output as JSON lines.
#include "sim/sim_host.h"
#include "sim/sim_phone_app.h"

#include <glib.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv)
{
    const char* script = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--script") == 0 && i + 1 < argc) {
            script = argv[++i];
        } else {
            std::fprintf(stderr, "usage: merrowind-sim [--script FILE]\n");
            return 2;
        }
    }
    std::string text;
    if (script != nullptr) {
        gchar* contents = nullptr;
        GError* error = nullptr;
        if (!g_file_get_contents(script, &contents, nullptr, &error)) {
            std::fprintf(stderr, "merrowind-sim: %s\n", error->message);
            g_error_free(error);
            return 2;
        }
        text = contents;
        g_free(contents);
    }

    SimHost host;
    host.addPeer(std::make_unique<SimPhoneApp>());
    if (WexErr err = host.start()) {
        std::fprintf(stderr, "merrowind-sim: cannot start: %s\n", wexErrText(err));
        return 1;
    }
    if (script != nullptr)
        host.queueScript(text);
    else
        host.readCommands(STDIN_FILENO);
    return host.run();
}
