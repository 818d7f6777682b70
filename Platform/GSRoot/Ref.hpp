#ifndef GSROOT_REF_HPP
#define GSROOT_REF_HPP

#include "GSException.hpp"

#include <cstddef>
#include <memory>
#include <type_traits>
#include <utility>

namespace GS {

// Counted reference. Copies share the object; the last one destroys it. The count is thread-safe.
// Reaching through an empty reference throws GS::NullPointerException.
template <typename T>
class Ref {
public:
    Ref() noexcept = default;
    Ref(std::nullptr_t) noexcept {}
    // Takes ownership of an object allocated with new.
    explicit Ref(T* object) : ptr(object) {}
    template <typename U>
    requires std::is_convertible_v<U*, T*> Ref(const Ref<U>& other)
    noexcept : ptr(other.ptr) {}
    template <typename U>
    requires std::is_convertible_v<U*, T*> Ref(Ref<U>&& other)
    noexcept : ptr(std::move(other.ptr)) {}

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
    void Clear() noexcept { ptr.reset(); }
    long GetRefCount() const noexcept { return ptr.use_count(); }

    friend bool operator==(const Ref& a, const Ref& b) noexcept { return a.ptr == b.ptr; }
    friend bool operator==(const Ref& a, std::nullptr_t) noexcept { return a.ptr == nullptr; }

private:
    template <typename U>
    friend class Ref;
    template <typename U, typename... Args>
    friend Ref<U> NewRef(Args&&... args);
    template <typename To, typename From>
    friend Ref<To> DynamicCast(const Ref<From>& from) noexcept;

    explicit Ref(std::shared_ptr<T> p) noexcept : ptr(std::move(p)) {}

    std::shared_ptr<T> ptr;
};

template <typename T, typename... Args>
Ref<T> NewRef(Args&&... args) {
    return Ref<T>(std::make_shared<T>(std::forward<Args>(args)...));
}

// Empty when `from` is empty or does not hold a To.
template <typename To, typename From>
Ref<To> DynamicCast(const Ref<From>& from) noexcept {
    return Ref<To>(std::dynamic_pointer_cast<To>(from.ptr));
}

// Type-testing cast: an empty reference stays empty, an object of another type throws GS::ClassCastException.
template <typename To, typename From>
Ref<To> CheckedCast(const Ref<From>& from) {
    if (from.IsNull()) return Ref<To>();
    Ref<To> result = DynamicCast<To>(from);
    if (result.IsNull()) throw ClassCastException();
    return result;
}

} // namespace GS

#endif
