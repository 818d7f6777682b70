#include "ScriptArguments.hpp"

#include "GSException.hpp"

#include <utility>

namespace {

// Empty for a missing argument; throws "Bad cast." for an argument that is not a plain value.
GS::Ref<JS::Value> AsPlainValue(const GS::Ref<JS::Base>& argument) {
    return GS::CheckedCast<JS::Value>(argument);
}

} // namespace

GS::UniString DecodeStringArgument(const GS::Ref<JS::Base>& argument) {
    const GS::Ref<JS::Value> value = AsPlainValue(argument);
    if (value == nullptr || value->GetType() != JS::Value::STRING) return GS::UniString();
    return value->GetString();
}

bool DecodeBoolArgument(const GS::Ref<JS::Base>& argument, bool* value) {
    const GS::Ref<JS::Value> plain = AsPlainValue(argument);
    if (plain == nullptr || plain->GetType() != JS::Value::BOOL) return false;
    *value = plain->GetBool();
    return true;
}

bool DecodeIntegerArgument(const GS::Ref<JS::Base>& argument, Int32* value) {
    const GS::Ref<JS::Value> plain = AsPlainValue(argument);
    if (plain == nullptr || plain->GetType() != JS::Value::INTEGER) return false;
    *value = plain->GetInteger();
    return true;
}

GS::Array<GS::UniString> DecodeStringListArgument(const GS::Ref<JS::Base>& argument) {
    GS::Array<GS::UniString> result;
    if (const GS::Ref<JS::Array> array = GS::DynamicCast<JS::Array>(argument); array != nullptr) {
        try {
            for (const GS::Ref<JS::Base>& item : array->GetItemArray()) {
                const GS::UniString text = DecodeStringArgument(item);
                if (!text.IsEmpty()) result.Push(text);
            }
            return result;
        } catch (const GS::ClassCastException&) {
            // An item that is not a plain value: the whole argument is then read as one value, which fails again.
            result.Clear();
        }
    }
    const GS::UniString text = DecodeStringArgument(argument);
    if (!text.IsEmpty()) result.Push(text);
    return result;
}

GS::Ref<JS::Base> MakeStringResult(const GS::UniString& value) {
    return GS::NewRef<JS::Value>(value);
}

GS::Ref<JS::Base> MakeBoolResult(bool value) {
    return GS::NewRef<JS::Value>(value);
}

GS::Ref<JS::Base> MakeStringListResult(const GS::Array<GS::UniString>& values) {
    GS::Ref<JS::Array> array = GS::NewRef<JS::Array>();
    for (const GS::UniString& value : values)
        array->AddItem(GS::NewRef<JS::Value>(value));
    return array;
}

GS::Ref<JS::Base> MakeStringListResult(GS::Array<GS::UniString>&& values) {
    GS::Ref<JS::Array> array = GS::NewRef<JS::Array>();
    for (GS::UniString& value : values)
        array->AddItem(GS::NewRef<JS::Value>(std::move(value)));
    return array;
}
