#ifndef GSROOT_OWNER_HPP
#define GSROOT_OWNER_HPP

#include "GSException.hpp"

#include <memory>
#include <type_traits>
#include <utility>

namespace GS {

// Sole owner of an object; move-only. Reaching through an empty owner throws GS::NullPointerException.
template <typename T>
class Owner {
public:
    Owner() noexcept = default;
    Owner(std::nullptr_t) noexcept {}
    explicit Owner(T* object) noexcept : ptr(object) {}
    template <typename U>
    requires std::is_convertible_v<U*, T*> Owner(Owner<U>&& other)
    noexcept : ptr(other.Release()) {}

    Owner(Owner&&) noexcept = default;
    Owner& operator=(Owner&&) noexcept = default;
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;

    T* operator->() const {
        if (ptr == nullptr) throw NullPointerException();
        return ptr.get();
    }
    T& operator*() const {
        if (ptr == nullptr) throw NullPointerException();
        return *ptr;
    }

    T* Get() const noexcept { return ptr.get(); }
    bool IsNull() const noexcept { return ptr == nullptr; }
    explicit operator bool() const noexcept { return ptr != nullptr; }
    // Gives up ownership: the caller deletes the object.
    T* Release() noexcept { return ptr.release(); }
    void Reset(T* object = nullptr) noexcept { ptr.reset(object); }

private:
    std::unique_ptr<T> ptr;
};

template <typename T, typename... Args>
Owner<T> NewOwned(Args&&... args) {
    return Owner<T>(new T(std::forward<Args>(args)...));
}

} // namespace GS

#endif
