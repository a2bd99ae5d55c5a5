// The installer "/usr/bin/ipkg" as a child process: spawned without a shell
// or path search, watched on the calling thread's work queue.
#pragma once

#include <glib.h>

#include <functional>
#include <string>

// "/usr/bin/ipkg" below the platform root.
std::string qrvIpkgPath();

// Spawns the installer with `command` and `argument`; `exited` runs on the
// calling thread's work queue once the child has exited (its status is not
// examined). The child is reaped whether or not `exited` still cares. False,
// with the spawn error's message, when the child could not be started.
bool qrvSpawnIpkg(const char* command, const std::string& argument, std::function<void()> exited,
                  std::string& error, GPid* pid = nullptr, guint* sourceId = nullptr);
