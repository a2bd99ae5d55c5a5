#include "src/QrvLangPackSpawn.h"

#include "platform/core/wex_root.h"
#include "src/QrvLangPackRemover.h"
#include "src/QrvLog.h"
#include "src/workqueue.h"

namespace {

WexLogger& uiLog()
{
    return QrvLog::UIthread::qrvLog;
}

void childExited(GPid pid, gint status, gpointer data)
{
    uiLog().log(WexLogDebug, "%s: pid=%d status=%d", __func__, static_cast<int>(pid), status);
    g_spawn_close_pid(pid);
    (*static_cast<std::function<void()>*>(data))();
}

void watchDestroyed(gpointer data)
{
    uiLog().log(WexLogDebug, "%s", __func__);
    delete static_cast<std::function<void()>*>(data);
}

} // namespace

std::string qrvIpkgPath()
{
    return wexRootPath("/usr/bin/ipkg");
}

bool qrvSpawnIpkg(const char* command, const std::string& argument, std::function<void()> exited,
                  std::string& error, GPid* pidOut, guint* sourceId)
{
    const std::string program = qrvIpkgPath();
    gchar* argv[] = {const_cast<gchar*>(program.c_str()), const_cast<gchar*>(command),
                     const_cast<gchar*>(argument.c_str()), nullptr};
    GPid pid = 0;
    GError* spawnError = nullptr;
    if (!g_spawn_async(nullptr, argv, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, glibCallsThisRightBeforeExec, nullptr,
                       &pid, &spawnError)) {
        error = spawnError != nullptr ? spawnError->message : "unknown error";
        if (spawnError != nullptr)
            g_error_free(spawnError);
        return false;
    }
    GSource* watch = g_child_watch_source_new(pid);
    g_source_set_callback(watch, reinterpret_cast<GSourceFunc>(reinterpret_cast<void (*)()>(childExited)),
                          new std::function<void()>(std::move(exited)), watchDestroyed);
    workqueue* self = workqueue_self();
    const guint id = g_source_attach(watch, self != nullptr ? workqueue_getContext(self) : nullptr);
    g_source_unref(watch);
    if (pidOut != nullptr)
        *pidOut = pid;
    if (sourceId != nullptr)
        *sourceId = id;
    return true;
}
