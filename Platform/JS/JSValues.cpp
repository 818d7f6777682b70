#include "JSValues.hpp"

#include <cmath>
#include <limits>

namespace JS {

namespace {

template <typename To>
To ClampToInteger(double value) noexcept {
    if (std::isnan(value)) return 0;
    constexpr double low = static_cast<double>(std::numeric_limits<To>::min());
    constexpr double high = static_cast<double>(std::numeric_limits<To>::max());
    if (value <= low) return std::numeric_limits<To>::min();
    if (value >= high) return std::numeric_limits<To>::max();
    return static_cast<To>(value);
}

const GS::UniString EmptyString;

} // namespace

Base::~Base() = default;
Value::~Value() = default;
Array::~Array() = default;
Function::~Function() = default;
Object::~Object() = default;

bool Value::GetBool() const noexcept {
    const bool* value = std::get_if<bool>(&data);
    return value != nullptr && *value;
}

Int32 Value::GetInteger() const noexcept {
    switch (GetType()) {
    case INTEGER:
        return std::get<Int32>(data);
    case UINTEGER:
    case DOUBLE:
        return ClampToInteger<Int32>(GetDouble());
    default:
        return 0;
    }
}

UInt32 Value::GetUInteger() const noexcept {
    switch (GetType()) {
    case UINTEGER:
        return std::get<UInt32>(data);
    case INTEGER:
    case DOUBLE:
        return ClampToInteger<UInt32>(GetDouble());
    default:
        return 0;
    }
}

double Value::GetDouble() const noexcept {
    switch (GetType()) {
    case INTEGER:
        return std::get<Int32>(data);
    case UINTEGER:
        return std::get<UInt32>(data);
    case DOUBLE:
        return std::get<double>(data);
    default:
        return 0.0;
    }
}

const GS::UniString& Value::GetString() const noexcept {
    const GS::UniString* value = std::get_if<GS::UniString>(&data);
    return value != nullptr ? *value : EmptyString;
}

Function::Function(const GS::UniString& name, Callable callable) : name(name), callable(std::move(callable)) {
    if (!this->callable) throw GS::IllegalArgumentException("A script function needs a callable.");
}

void Object::AddItem(const GS::Ref<Function>& function) {
    AddItem(function->GetName(), function);
}

void Object::AddItem(const GS::UniString& itemName, const GS::Ref<Base>& value) {
    for (Item& item : items) {
        if (item.first == itemName) {
            item.second = value;
            return;
        }
    }
    items.Push(Item(itemName, value));
}

GS::Ref<Base> Object::GetItem(const GS::UniString& itemName) const {
    for (const Item& item : items) {
        if (item.first == itemName) return item.second;
    }
    return GS::Ref<Base>();
}

} // namespace JS
