#ifndef JSON_JSONVALUES_HPP
#define JSON_JSONVALUES_HPP

#include "JSONExport.hpp"

#include "Array.hpp"
#include "Definitions.hpp"
#include "Ref.hpp"
#include "UniString.hpp"

#include <concepts>
#include <cstddef>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace JSON {

// The document tree. Values are held through ValueRef and form a tree: a value may sit in several containers,
// but a container must not contain itself. Not synchronised: share a tree between threads only for reading.
// Containers never hold empty references; adding one throws GS::NullPointerException.
class JSON_DLL_EXPORT Value {
public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    Value() = default;
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;
    virtual ~Value();

    virtual Type GetType() const noexcept = 0;
};

using ValueRef = GS::Ref<Value>;

class JSON_DLL_EXPORT NullValue final : public Value {
public:
    ~NullValue() override;
    Type GetType() const noexcept override { return Type::Null; }
};

class JSON_DLL_EXPORT BoolValue final : public Value {
public:
    // Only a real bool: a pointer or a number must not turn into a flag.
    template <std::same_as<bool> B>
    explicit BoolValue(B value) noexcept : value(value) {}
    ~BoolValue() override;

    Type GetType() const noexcept override { return Type::Bool; }
    bool Get() const noexcept { return value; }

private:
    bool value;
};

class JSON_DLL_EXPORT NumberValue final : public Value {
public:
    explicit NumberValue(double value) noexcept : value(value) {}
    // Integers beyond 2^53 are rounded to the nearest double.
    template <std::integral I>
    requires(!std::same_as<I, bool>) explicit NumberValue(I value) noexcept : value(static_cast<double>(value)) {}
    // A flag is not a number.
    template <std::same_as<bool> B>
    NumberValue(B) = delete;
    ~NumberValue() override;

    Type GetType() const noexcept override { return Type::Number; }
    double Get() const noexcept { return value; }

private:
    double value;
};

class JSON_DLL_EXPORT StringValue final : public Value {
public:
    explicit StringValue(const GS::UniString& value) : value(value) {}
    // 8-bit text in the default character code; a null pointer gives the empty string.
    explicit StringValue(const char* value) : value(value) {}
    ~StringValue() override;

    Type GetType() const noexcept override { return Type::String; }
    const GS::UniString& Get() const noexcept { return value; }

private:
    GS::UniString value;
};

class JSON_DLL_EXPORT ArrayValue final : public Value {
public:
    using const_iterator = GS::Array<ValueRef>::const_iterator;

    ArrayValue() = default;
    // Takes the tree apart without recursion, so any depth is safe.
    ~ArrayValue() override;

    Type GetType() const noexcept override { return Type::Array; }

    // Throws GS::NullPointerException for an empty reference.
    void Add(const ValueRef& value);
    USize GetSize() const noexcept { return items.GetSize(); }
    bool IsEmpty() const noexcept { return items.IsEmpty(); }
    // Throws GS::IndexOutOfRangeException outside [0, size).
    const ValueRef& Get(UIndex index) const { return items[index]; }

    const_iterator begin() const noexcept { return items.begin(); }
    const_iterator end() const noexcept { return items.end(); }

private:
    friend struct TreeTeardown;

    GS::Array<ValueRef> items;
};

class JSON_DLL_EXPORT ObjectValue final : public Value {
public:
    struct Member {
        GS::UniString key;
        ValueRef value;
    };
    using const_iterator = std::vector<Member>::const_iterator;

    ObjectValue() = default;
    // Takes the tree apart without recursion, so any depth is safe.
    ~ObjectValue() override;

    Type GetType() const noexcept override { return Type::Object; }

    // Members keep the order of their first addition; adding an existing key replaces its value in place.
    // Throws GS::NullPointerException for an empty reference.
    void Add(const GS::UniString& key, const ValueRef& value);
    // 8-bit text in the default character code, as GS::UniString reads it.
    void Add(const GS::UniString& key, const char* value);
    void Add(const GS::UniString& key, const GS::UniString& value);
    void Add(const GS::UniString& key, double value);
    // Adds a JSON null.
    void Add(const GS::UniString& key, std::nullptr_t);
    template <std::same_as<bool> B>
    void Add(const GS::UniString& key, B value) {
        Add(key, ValueRef(GS::NewRef<BoolValue>(value)));
    }
    template <std::integral I>
    requires(!std::same_as<I, bool>) void Add(const GS::UniString& key, I value) {
        Add(key, ValueRef(GS::NewRef<NumberValue>(value)));
    }

    // Empty when the object has no such member.
    ValueRef Get(const GS::UniString& key) const;
    // The member as T (StringValue, NumberValue, ...); empty when absent or of another type.
    template <typename T>
    requires std::derived_from<T, Value> GS::Ref<T> GetAs(const GS::UniString& key)
    const { return GS::DynamicCast<T>(Get(key)); }
    bool Contains(const GS::UniString& key) const { return index.find(key) != index.end(); }

    USize GetSize() const noexcept { return static_cast<USize>(members.size()); }
    bool IsEmpty() const noexcept { return members.empty(); }

    const_iterator begin() const noexcept { return members.begin(); }
    const_iterator end() const noexcept { return members.end(); }

private:
    friend struct TreeTeardown;

    std::vector<Member> members;
    std::unordered_map<GS::UniString, std::size_t> index;
};

} // namespace JSON

#endif
