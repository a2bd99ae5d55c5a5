// A step the request handler calls whose real implementation lives in
// another part of the service: the handler reaches it through an interface,
// so the part can be built (and tested) on its own. get() is the installed
// implementation, else the default defined next to the interface; tests
// install doubles with set().
#pragma once

#include <atomic>

template <class Interface>
class QrvSeam {
public:
    virtual ~QrvSeam() = default;

    static Interface& get()
    {
        Interface* installed = s_installed.load();
        return installed != nullptr ? *installed : defaultImpl();
    }
    // Null restores the default.
    static void set(Interface* impl) { s_installed.store(impl); }

private:
    static Interface& defaultImpl();
    static inline std::atomic<Interface*> s_installed{nullptr};
};
