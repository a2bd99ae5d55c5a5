// Intrusive, thread-safe reference counting of the service framework.
//
// An object derived from WexRefCounted starts with no owner; the first
// WexRefCountedPtr to it takes the first reference and the last one deletes
// it. Such objects must live on the heap and be owned only by these pointers.
#pragma once

#include <atomic>
#include <new>
#include <type_traits>
#include <utility>

class WexRefCounted {
public:
    void ref() const noexcept { m_refs.fetch_add(1, std::memory_order_relaxed); }
    void unref() const noexcept
    {
        if (m_refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete this;
    }
    int refCount() const noexcept { return m_refs.load(std::memory_order_acquire); }

protected:
    WexRefCounted() = default;
    // A copy is a new object with owners of its own.
    WexRefCounted(const WexRefCounted&) noexcept {}
    WexRefCounted& operator=(const WexRefCounted&) noexcept { return *this; }
    virtual ~WexRefCounted() = default;

private:
    mutable std::atomic<int> m_refs{0};
};

template <class T>
class WexRefCountedPtr {
public:
    WexRefCountedPtr() noexcept = default;
    WexRefCountedPtr(std::nullptr_t) noexcept {}
    // Takes a reference to `object` (which may already have owners).
    explicit WexRefCountedPtr(T* object) noexcept : m_ptr(object)
    {
        if (m_ptr)
            m_ptr->ref();
    }
    WexRefCountedPtr(const WexRefCountedPtr& other) noexcept : WexRefCountedPtr(other.m_ptr) {}
    WexRefCountedPtr(WexRefCountedPtr&& other) noexcept : m_ptr(std::exchange(other.m_ptr, nullptr)) {}
    template <class U>
        requires std::is_convertible_v<U*, T*>
    WexRefCountedPtr(const WexRefCountedPtr<U>& other) noexcept : WexRefCountedPtr(static_cast<T*>(other.get()))
    {
    }
    template <class U>
        requires std::is_convertible_v<U*, T*>
    WexRefCountedPtr(WexRefCountedPtr<U>&& other) noexcept : m_ptr(other.detach())
    {
    }
    ~WexRefCountedPtr()
    {
        if (m_ptr)
            m_ptr->unref();
    }

    WexRefCountedPtr& operator=(WexRefCountedPtr other) noexcept
    {
        std::swap(m_ptr, other.m_ptr);
        return *this;
    }

    T* get() const noexcept { return m_ptr; }
    T* operator->() const noexcept { return m_ptr; }
    T& operator*() const noexcept { return *m_ptr; }
    explicit operator bool() const noexcept { return m_ptr != nullptr; }

    // Drops this pointer's reference (which may delete the object).
    void reset() noexcept { WexRefCountedPtr().swap(*this); }
    void swap(WexRefCountedPtr& other) noexcept { std::swap(m_ptr, other.m_ptr); }
    // Gives up the pointer without dropping its reference.
    T* detach() noexcept { return std::exchange(m_ptr, nullptr); }

    template <class U>
    friend bool operator==(const WexRefCountedPtr& a, const WexRefCountedPtr<U>& b) noexcept
    {
        return a.get() == b.get();
    }
    friend bool operator==(const WexRefCountedPtr& a, std::nullptr_t) noexcept { return a.m_ptr == nullptr; }

private:
    T* m_ptr = nullptr;
};

// Creates a reference-counted object; null when memory runs out (callers
// return WexErrNoMemory), so construction needs no exception handling.
template <class T, class... Args>
WexRefCountedPtr<T> wexMakeRefCounted(Args&&... args)
{
    return WexRefCountedPtr<T>(new (std::nothrow) T(std::forward<Args>(args)...));
}
