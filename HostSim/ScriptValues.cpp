#include "ScriptValues.hpp"

#include "CharCodeConversion.hpp"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>
#include <vector>

namespace HostSim {

GS::UniString ToUniString(const std::string& utf8) {
    return GS::UniString(utf8, CC_UTF8);
}

std::string ToUtf8(const GS::UniString& text) {
    return GS::EncodeText(text.ToU16String(), CC_UTF8);
}

std::size_t NestingDepth(const Line& value, std::size_t limit) {
    // Depth-first with a stack of its own: the values it measures are the ones too deep to recurse on.
    std::vector<std::pair<const Line*, std::size_t>> pending{{&value, 0}};
    std::size_t deepest = 0;
    while (!pending.empty()) {
        const auto [item, depth] = pending.back();
        pending.pop_back();
        if (!item->is_array() && !item->is_object()) continue;
        deepest = std::max(deepest, depth + 1);
        if (deepest > limit) return deepest;
        for (const Line& child : *item)
            pending.emplace_back(&child, depth + 1);
    }
    return deepest;
}

namespace {

GS::Ref<JS::Base> Convert(const Line& value) {
    using Type = Line::value_t;
    switch (value.type()) {
    case Type::null:
    case Type::discarded:
        return {};
    case Type::boolean:
        return GS::NewRef<JS::Value>(value.get<bool>());
    case Type::number_integer: {
        const auto number = value.get<std::int64_t>();
        if (number >= std::numeric_limits<Int32>::min() && number <= std::numeric_limits<Int32>::max())
            return GS::NewRef<JS::Value>(static_cast<Int32>(number));
        return GS::NewRef<JS::Value>(static_cast<double>(number));
    }
    case Type::number_unsigned: {
        const auto number = value.get<std::uint64_t>();
        if (number <= static_cast<std::uint64_t>(std::numeric_limits<Int32>::max()))
            return GS::NewRef<JS::Value>(static_cast<Int32>(number));
        return GS::NewRef<JS::Value>(static_cast<double>(number));
    }
    case Type::number_float:
        return GS::NewRef<JS::Value>(value.get<double>());
    case Type::string:
        return GS::NewRef<JS::Value>(ToUniString(value.get<std::string>()));
    case Type::array: {
        auto array = GS::NewRef<JS::Array>();
        for (const Line& item : value)
            array->AddItem(Convert(item));
        return array;
    }
    case Type::object: {
        auto object = GS::NewRef<JS::Object>();
        for (const auto& [name, item] : value.items())
            object->AddItem(ToUniString(name), Convert(item));
        return object;
    }
    case Type::binary:
        break;
    }
    return {};
}

} // namespace

GS::Ref<JS::Base> ToScriptValue(const Line& value) {
    if (NestingDepth(value) > MaxScriptValueDepth)
        throw std::invalid_argument("the value nests deeper than " + std::to_string(MaxScriptValueDepth) + " levels");
    return Convert(value);
}

Line FromScriptValue(const GS::Ref<JS::Base>& value) {
    if (value.IsNull()) return nullptr;
    if (const auto plain = GS::DynamicCast<JS::Value>(value)) {
        switch (plain->GetType()) {
        case JS::Value::UNDEFINED:
            return nullptr;
        case JS::Value::BOOL:
            return plain->GetBool();
        case JS::Value::INTEGER:
            return plain->GetInteger();
        case JS::Value::UINTEGER:
            return plain->GetUInteger();
        case JS::Value::DOUBLE:
            return plain->GetDouble();
        case JS::Value::STRING:
            return ToUtf8(plain->GetString());
        }
        return nullptr;
    }
    if (const auto array = GS::DynamicCast<JS::Array>(value)) {
        Line result = Line::array();
        for (const GS::Ref<JS::Base>& item : array->GetItemArray())
            result.push_back(FromScriptValue(item));
        return result;
    }
    if (const auto object = GS::DynamicCast<JS::Object>(value)) {
        Line result = Line::object();
        for (const JS::Object::Item& item : object->GetItemTable())
            result[ToUtf8(item.first)] = FromScriptValue(item.second);
        return result;
    }
    if (const auto function = GS::DynamicCast<JS::Function>(value))
        return Line{{"function", ToUtf8(function->GetName())}};
    return nullptr;
}

} // namespace HostSim
