// merrowind-sim: the desktop platform's peers on the bus of
// $DBUS_SESSION_BUS_ADDRESS.
//
//   merrowind-sim [--script FILE] [--data DIR] [--page-size N] [--prefs FILE]
//
// The peers: the database, the phone application, the application manager,
// the system service, the system properties, the audio routing and the
// download manager. Commands come from FILE, else from standard input (see sim/sim_host.h and
// the peers' headers). Replies the peers receive are written to standard
// output as JSON lines.
//
// The database peer reads its kinds from DIR (one JSON file per kind, see
// sim/sim_db_store.h) and writes every change back there; without --data it
// serves the built-in contacts and call history and keeps changes in memory.
// --page-size sets the number of objects a query without "limit" returns.
// --prefs names the system service's preferences file (sim/sim_system_service.h);
// a peer's own data never sits in the database's directory.
#include "sim/sim_app_manager.h"
#include "sim/sim_audio.h"
#include "sim/sim_db.h"
#include "sim/sim_download_manager.h"
#include "sim/sim_host.h"
#include "sim/sim_phone_app.h"
#include "sim/sim_preferences.h"
#include "sim/sim_system_service.h"

#include <glib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv)
{
    const char* script = nullptr;
    const char* data = nullptr;
    const char* prefs = nullptr;
    int pageSize = SimDbStore::DefaultPageSize;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--script") == 0 && i + 1 < argc) {
            script = argv[++i];
        } else if (std::strcmp(argv[i], "--data") == 0 && i + 1 < argc) {
            data = argv[++i];
        } else if (std::strcmp(argv[i], "--prefs") == 0 && i + 1 < argc) {
            prefs = argv[++i];
        } else if (std::strcmp(argv[i], "--page-size") == 0 && i + 1 < argc) {
            char* end = nullptr;
            long n = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || n < 1 || n > 100000) {
                std::fprintf(stderr, "merrowind-sim: bad page size %s\n", argv[i]);
                return 2;
            }
            pageSize = static_cast<int>(n);
        } else {
            std::fprintf(stderr, "usage: merrowind-sim [--script FILE] [--data DIR] [--page-size N] [--prefs FILE]\n");
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

    auto db = std::make_unique<SimDb>(pageSize);
    std::string why;
    if (WexErr err = db->load(data != nullptr ? data : SimDb::defaultDataDir(), data != nullptr, why)) {
        std::fprintf(stderr, "merrowind-sim: cannot read the database: %s (%s)\n", why.c_str(), wexErrText(err));
        return 2;
    }

    auto system = std::make_unique<SimSystemService>();
    if (prefs != nullptr && !system->load(prefs, why)) {
        std::fprintf(stderr, "merrowind-sim: cannot read the preferences: %s\n", why.c_str());
        return 2;
    }

    SimHost host;
    // The bus service opens under the first peer's name.
    host.addPeer(std::move(db));
    auto phone = std::make_unique<SimPhoneApp>();
    SimPhoneApp* phoneApp = phone.get();
    host.addPeer(std::move(phone));
    host.addPeer(std::make_unique<SimAppManager>([phoneApp] { phoneApp->registerUI(); }));
    host.addPeer(std::move(system));
    host.addPeer(std::make_unique<SimPreferences>());
    host.addPeer(std::make_unique<SimAudio>());
    host.addPeer(std::make_unique<SimDownloadManager>());
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
