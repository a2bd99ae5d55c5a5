// The porting layer's sign of life towards the service's watchdog. Long file
// work pings it so that model loads and saves do not end the service. The
// service installs its watchdog's ping at start; until then a ping does nothing.
#pragma once

using DvkOemAlivePing = void (*)();

// Installs the ping (nullptr restores the no-op). Safe from any thread.
void dvkOemSetAlivePing(DvkOemAlivePing ping);

// Tells the watchdog the service is alive.
void dvkOemIAmAlive();
