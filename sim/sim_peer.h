// One desktop peer: plays one of the phone's platform services or
// applications on the bus, and may take commands from the sim's script.
#pragma once

#include "platform/bus/wex_service.h"
#include "platform/bus/wex_service_message.h"
#include "platform/core/wex_err.h"

#include <string>
#include <vector>

class SimPeer {
public:
    virtual ~SimPeer() = default;
    // The bus name the peer answers as.
    virtual const char* busName() const = 0;
    // Starts on the sim's bus service (sends its first requests, if any).
    virtual WexErr start(WexService& service) = 0;
    // One script command split into words: WexErrNotFound when the peer has
    // no such command, WexErrInvalidArg for bad arguments.
    virtual WexErr command(const std::vector<std::string>& words) = 0;
    // Ends its subscriptions before the sim leaves the bus.
    virtual void stop() = 0;

    // The bus methods the peer answers. All peers share one connection, so a
    // method name belongs to one peer only.
    virtual std::vector<std::string> methods() const { return {}; }
    // Answers a call of one of its methods (after start).
    virtual WexErr invoke(WexServiceMessage*) { return WexErrUnknownMethod; }
};
