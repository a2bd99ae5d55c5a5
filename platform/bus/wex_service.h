// A bus service: one connection to the bus under one well-known name, the
// method handler that answers calls to that name (the default category), and
// the outgoing requests sent from it (WexServiceRequest).
//
// All of it runs on one thread: calls are dispatched, and replies to
// requests delivered, on the main context the service is attached to (the
// thread's default context when open() ran, until attach() names another).
#pragma once

#include "platform/bus/qb_orvel_service.h"
#include "platform/bus/wex_service_message.h"
#include "platform/core/wex_err.h"
#include "platform/core/wex_ref_counted.h"
#include "platform/core/wex_signal.h"

#include <glib.h>

#include <map>
#include <memory>
#include <string>

class WexBusCaller;
class WexServiceRequest;

class WexService {
public:
    // A method handler: answers the methods of its table.
    class CategoryHandler : public WexSignalHandler {
    public:
        using MethodFn = WexErr (CategoryHandler::*)(WexServiceMessage* message);
        // One table entry; a table ends with an empty entry ({}).
        struct Method {
            const char* name;
            MethodFn fn;
        };
        // An entry for a member of a derived handler.
        template <class H>
        static constexpr Method method(const char* name, WexErr (H::*fn)(WexServiceMessage*))
        {
            return Method{name, static_cast<MethodFn>(fn)};
        }

        // Adds the entries of `table` up to its empty entry. A name that is
        // already there fails with WexErrInvalidArg unless `replace` is set
        // (then the new entry wins); nothing is added on failure.
        WexErr addMethods(const Method* table, bool replace);

        // Runs the method the message names: its result, or
        // WexErrUnknownMethod when the table has no such method.
        virtual WexErr invoke(WexServiceMessage* message);

    protected:
        ~CategoryHandler() override = default;

    private:
        std::map<std::string, MethodFn> m_methods;
    };

    WexService();
    virtual ~WexService();
    WexService(const WexService&) = delete;
    WexService& operator=(const WexService&) = delete;

    // Connects to the bus and takes `name`. Fails when another connection
    // owns the name, when there is no bus (WexErrBus), or when already open
    // (WexErrFailed); nothing stays open after a failure.
    WexErr open(const char* name);
    // Dispatches calls and delivers replies on `context` (null: the default
    // main context) from now on.
    WexErr attach(GMainContext* context);
    // Gives up the name and the connection; pending requests and kept
    // messages go quiet. Safe to call when not open.
    WexErr close();
    bool isOpen() const;
    const char* name() const;

    // The handler that answers every call (replacing an earlier one).
    WexErr setDefaultCategory(WexRefCountedPtr<CategoryHandler> handler);

    // A new request on this service (WexErrBus when not open).
    WexErr createRequest(WexRefCountedPtr<WexServiceRequest>& out);

    // The raw handle other platform libraries are given; null when not open.
    QbOrvelService* handle();

protected:
    // The bus to connect to at open() (null: $DBUS_SESSION_BUS_ADDRESS).
    void setAddress(const char* address);

private:
    friend class WexServiceRequest;
    struct Pimpl;
    std::shared_ptr<WexBusCaller> caller() const;
    std::unique_ptr<Pimpl> m_pimpl;
};
