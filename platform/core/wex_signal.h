// Signals and slots of the service framework: how replies and notifications
// reach the objects that wait for them.
//
// A WexSignalHandler (reference counted) owns slots, each bound to one of its
// member functions returning WexErr. A sender (a bus request, a message's
// cancel notification) holds a WexSignal, connects it to a slot and fires it
// for each delivery:
//
//   class Getter : public WexSignalHandler {
//       WexErr Result(WexObject& reply, WexErr err);
//       WexSignal2<WexObject&, WexErr>::Slot m_slot{this, &Getter::Result};
//   };
//   request.replySignal().connect(getter->m_slot);    // sender side
//   request.replySignal().fire(reply, WexErrNone);      // on each reply
//
// Rules:
// - While connected, the sender's signal keeps the handler alive: a reply
//   still pending keeps its handler. The reference goes when either side ends
//   the connection.
// - Slot::cancel() stops delivery at once: a slot cancelled before a delivery
//   begins never runs. The sender hears of it through the hook it set with
//   onSlotCancel() (a subscription then ends). A handler may cancel its own
//   slot from inside the slot. cancel() may drop the last reference to the
//   handler, so call it while holding one.
// - A slot may be connected again after cancel() (a new request); a slot can
//   serve several senders at once, and cancel() ends them all.
// - WexSignal::disconnect() ends a connection quietly (the last reply went
//   out); WexSignal::cancel() is the sender giving up without delivering,
//   which calls the handler's handleCancel(slot) first.
// - Delivery runs on the thread that fires, with no lock held: the handler
//   may drop the sender (and its signal) during the call. A signal object is
//   driven by one sender at a time; slots may be cancelled from any thread.
// - Connect only once the handler has an owner: a connection that ends while
//   it holds the only reference deletes the handler.
#pragma once

#include "platform/core/wex_err.h"
#include "platform/core/wex_ref_counted.h"

#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

class WexObject;
class WexSlotBase;

class WexSignalHandler : public WexRefCounted {
public:
    // A sender gave up a connection to `slot` without delivering (the request
    // was dropped). Does nothing unless overridden.
    virtual void handleCancel(const WexSlotBase& slot);

protected:
    ~WexSignalHandler() override;
};

// The identity of a slot, as handleCancel sees it.
class WexSlotBase {
protected:
    WexSlotBase() = default;
    ~WexSlotBase() = default;
};

template <class... Args>
class WexSignal;

namespace wex_signal_detail {

// One connection between a signal and a slot.
template <class... Args>
struct Link {
    std::mutex mutex;
    bool live = true;
    WexRefCountedPtr<WexSignalHandler> handler;  // held while live
    const WexSlotBase* slot = nullptr;
    std::function<WexErr(Args...)> call;         // fixed at creation
    std::function<void()> onSlotCancel;          // the sender's hook
};

} // namespace wex_signal_detail

template <class... Args>
class WexSlot : public WexSlotBase {
public:
    template <class H>
    WexSlot(H* handler, WexErr (H::*method)(Args...))
        : m_handler(handler), m_call([handler, method](Args... args) { return (handler->*method)(std::forward<Args>(args)...); })
    {
        static_assert(std::is_base_of_v<WexSignalHandler, H>, "slots belong to a WexSignalHandler");
    }
    ~WexSlot() { end(false); }
    WexSlot(const WexSlot&) = delete;
    WexSlot& operator=(const WexSlot&) = delete;

    // Stops every pending delivery to this slot and tells the senders.
    void cancel() { end(true); }

    bool isConnected() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& weak : m_links)
            if (auto link = weak.lock()) {
                std::lock_guard<std::mutex> linkLock(link->mutex);
                if (link->live)
                    return true;
            }
        return false;
    }

private:
    friend class WexSignal<Args...>;
    using Link = wex_signal_detail::Link<Args...>;

    std::shared_ptr<Link> newLink()
    {
        try {
            auto link = std::make_shared<Link>();
            link->handler = WexRefCountedPtr<WexSignalHandler>(m_handler);
            link->slot = this;
            link->call = m_call;
            std::lock_guard<std::mutex> lock(m_mutex);
            std::erase_if(m_links, [](const std::weak_ptr<Link>& weak) { return weak.expired(); });
            m_links.push_back(link);
            return link;
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }

    void end(bool release)
    {
        std::vector<std::weak_ptr<Link>> links;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            links.swap(m_links);
        }
        std::vector<WexRefCountedPtr<WexSignalHandler>> handlers;
        std::vector<std::function<void()>> hooks;
        for (const auto& weak : links) {
            auto link = weak.lock();
            if (!link)
                continue;
            std::lock_guard<std::mutex> lock(link->mutex);
            if (!link->live)
                continue;
            link->live = false;
            if (release) {
                handlers.push_back(std::move(link->handler));
                if (link->onSlotCancel)
                    hooks.push_back(std::move(link->onSlotCancel));
            } else {
                // The handler is being destroyed: its count no longer matters.
                link->handler.detach();
            }
        }
        for (auto& hook : hooks)
            hook();
        // Last: this may delete the handler, and this slot with it.
        handlers.clear();
    }

    WexSignalHandler* m_handler;
    std::function<WexErr(Args...)> m_call;
    mutable std::mutex m_mutex;
    std::vector<std::weak_ptr<Link>> m_links;
};

template <class... Args>
class WexSignal {
public:
    using Slot = WexSlot<Args...>;

    WexSignal() = default;
    ~WexSignal() { disconnect(); }
    WexSignal(const WexSignal&) = delete;
    WexSignal& operator=(const WexSignal&) = delete;
    WexSignal(WexSignal&& other) noexcept : m_link(std::move(other.m_link)) {}
    WexSignal& operator=(WexSignal&& other) noexcept
    {
        if (this != &other) {
            disconnect();
            m_link = std::move(other.m_link);
        }
        return *this;
    }

    // Connects to `slot`, ending an earlier connection of this signal.
    WexErr connect(Slot& slot)
    {
        disconnect();
        m_link = slot.newLink();
        return m_link ? WexErrNone : WexErrNoMemory;
    }

    // Called (once, on the cancelling thread) when the slot cancels.
    void onSlotCancel(std::function<void()> hook)
    {
        if (!m_link)
            return;
        std::lock_guard<std::mutex> lock(m_link->mutex);
        if (m_link->live)
            m_link->onSlotCancel = std::move(hook);
    }

    bool isConnected() const
    {
        if (!m_link)
            return false;
        std::lock_guard<std::mutex> lock(m_link->mutex);
        return m_link->live;
    }

    // Delivers to the slot and returns its result; does nothing and returns
    // WexErrNone when not connected (never connected, or cancelled).
    WexErr fire(Args... args)
    {
        std::shared_ptr<Link> link = m_link;  // this signal may go away during the call
        if (!link)
            return WexErrNone;
        WexRefCountedPtr<WexSignalHandler> keep;
        {
            std::lock_guard<std::mutex> lock(link->mutex);
            if (!link->live)
                return WexErrNone;
            keep = link->handler;
        }
        return link->call(std::forward<Args>(args)...);
    }

    // Ends the connection quietly.
    void disconnect() { end(false); }
    // Ends the connection without delivering, telling the handler.
    void cancel() { end(true); }

private:
    using Link = wex_signal_detail::Link<Args...>;

    void end(bool tellHandler)
    {
        std::shared_ptr<Link> link = std::move(m_link);
        if (!link)
            return;
        WexRefCountedPtr<WexSignalHandler> handler;
        const WexSlotBase* slot = nullptr;
        {
            std::lock_guard<std::mutex> lock(link->mutex);
            if (!link->live)
                return;
            link->live = false;
            handler = std::move(link->handler);
            slot = link->slot;
            link->onSlotCancel = nullptr;
        }
        if (tellHandler && handler)
            handler->handleCancel(*slot);
    }

    std::shared_ptr<Link> m_link;
};

// The shapes the service uses: the one-argument cancel notification and the
// two-argument reply (reply object, error).
template <class A>
using WexSignal1 = WexSignal<A>;
template <class A, class B>
using WexSignal2 = WexSignal<A, B>;
using WexReplySignal = WexSignal2<WexObject&, WexErr>;
using WexReplySlot = WexReplySignal::Slot;
