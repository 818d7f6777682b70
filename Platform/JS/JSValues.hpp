#ifndef JS_JSVALUES_HPP
#define JS_JSVALUES_HPP

#include "JSExport.hpp"

#include "Array.hpp"
#include "Definitions.hpp"
#include "Ref.hpp"
#include "UniString.hpp"

#include <concepts>
#include <cstddef>
#include <functional>
#include <utility>
#include <variant>

namespace JS {

// Script values exchanged with the browser's page, always held through GS::Ref. Used on the main thread only;
// nothing here is synchronised. An empty GS::Ref<Base> stands for a missing value (no argument, no result).
class JS_DLL_EXPORT Base {
public:
    Base() = default;
    Base(const Base&) = delete;
    Base& operator=(const Base&) = delete;
    virtual ~Base() = 0;
};

// A plain value. Each getter gives the held value when the type is its own; see each for other types.
class JS_DLL_EXPORT Value final : public Base {
public:
    enum Type { UNDEFINED = 0, BOOL = 1, INTEGER = 2, UINTEGER = 3, DOUBLE = 4, STRING = 5 };

    Value() noexcept = default;
    // Only a real bool: pointers and numbers must not become flags.
    template <std::same_as<bool> B>
    explicit Value(B value) noexcept : data(std::in_place_type<bool>, value) {}
    // Narrower integers widen to Int32; char, short and their unsigned forms become INTEGER.
    explicit Value(Int32 value) noexcept : data(std::in_place_type<Int32>, value) {}
    explicit Value(UInt32 value) noexcept : data(std::in_place_type<UInt32>, value) {}
    explicit Value(double value) noexcept : data(std::in_place_type<double>, value) {}
    explicit Value(const GS::UniString& value) : data(std::in_place_type<GS::UniString>, value) {}
    explicit Value(GS::UniString&& value) noexcept : data(std::in_place_type<GS::UniString>, std::move(value)) {}
    // 8-bit text in the default character code.
    explicit Value(const char* value) : data(std::in_place_type<GS::UniString>, value) {}
    // 64-bit integers do not fit a script integer; say which type is meant.
    template <std::integral I>
    requires(sizeof(I) > sizeof(Int32)) Value(I)
    = delete;
    Value(std::nullptr_t) = delete;
    ~Value() override;

    Type GetType() const noexcept { return static_cast<Type>(data.index()); }

    // False for any other type.
    bool GetBool() const noexcept;
    // Numbers of the other numeric types are converted, truncated toward zero and clamped to the range;
    // NaN and non-numbers give 0.
    Int32 GetInteger() const noexcept;
    UInt32 GetUInteger() const noexcept;
    // Any numeric type; 0.0 for the others.
    double GetDouble() const noexcept;
    // The empty string for any other type.
    const GS::UniString& GetString() const noexcept;

private:
    // The alternatives are in the order of Type, so the index is the type code.
    std::variant<std::monostate, bool, Int32, UInt32, double, GS::UniString> data;
};

class JS_DLL_EXPORT Array final : public Base {
public:
    Array() = default;
    ~Array() override;

    // The item may be empty (a missing value).
    void AddItem(const GS::Ref<Base>& item) { items.Push(item); }
    // Items in the order they were added.
    const GS::Array<GS::Ref<Base>>& GetItemArray() const noexcept { return items; }

private:
    GS::Array<GS::Ref<Base>> items;
};

// A named native function the page can call. Call runs the callable on the caller's thread; whatever the callable
// throws reaches the caller of Call unchanged.
class JS_DLL_EXPORT Function final : public Base {
public:
    using Callable = std::function<GS::Ref<Base>(GS::Ref<Base>)>;

    // Throws GS::IllegalArgumentException when the callable is empty.
    Function(const GS::UniString& name, Callable callable);
    ~Function() override;

    const GS::UniString& GetName() const noexcept { return name; }
    // The argument may be empty (called without one); so may the result.
    GS::Ref<Base> Call(const GS::Ref<Base>& argument) const { return callable(argument); }

private:
    GS::UniString name;
    Callable callable;
};

// Named items in the order of their first addition; adding a name again replaces its value in place.
class JS_DLL_EXPORT Object final : public Base {
public:
    using Item = std::pair<GS::UniString, GS::Ref<Base>>;
    using ItemTable = GS::Array<Item>;

    Object() = default;
    // The name under which the object is registered in the page; empty for a plain object.
    explicit Object(const GS::UniString& name) : name(name) {}
    ~Object() override;

    const GS::UniString& GetName() const noexcept { return name; }

    // Adds the function under its own name. Throws GS::NullPointerException for an empty reference.
    void AddItem(const GS::Ref<Function>& function);
    // The value may be empty (a missing value).
    void AddItem(const GS::UniString& itemName, const GS::Ref<Base>& value);

    const ItemTable& GetItemTable() const noexcept { return items; }
    // Empty when there is no such item.
    GS::Ref<Base> GetItem(const GS::UniString& itemName) const;

private:
    GS::UniString name;
    ItemTable items;
};

} // namespace JS

#endif
