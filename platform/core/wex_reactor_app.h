// A service application whose run() is a reactor's loop. The service derives
// from WexReactorApp<WexGmainReactor>, opens its bus service in open() and
// attaches it to reactor().context(), and ends the process by calling
// shutdown() (from the loop's thread or any other): run() returns, main()
// closes and returns the status.
#pragma once

#include "platform/core/wex_errlog.h"
#include "platform/core/wex_gmain_reactor.h"
#include "platform/core/wex_service_app.h"

template <class Reactor>
class WexReactorApp : public WexServiceApp {
public:
    using WexServiceApp::WexServiceApp;

    // The framework's init, then the reactor's.
    WexErr init() override
    {
        if (WexErr err = WexServiceApp::init())
            return WEX_CHECKED(log(), err);
        if (WexErr err = m_reactor.init())
            return WEX_CHECKED(log(), err);
        return WexErrNone;
    }

    // Runs the reactor until shutdown().
    WexErr run() override
    {
        if (WexErr err = m_reactor.run())
            return WEX_CHECKED(log(), err);
        return WexErrNone;
    }

    // Stops the reactor (a failure is logged and ignored), then the
    // framework's shutdown.
    WexErr shutdown() override
    {
        if (WexErr err = m_reactor.stop())
            WEX_CAUGHT(log(), err);
        return WexServiceApp::shutdown();
    }

    Reactor& reactor() { return m_reactor; }

private:
    Reactor m_reactor;
};
