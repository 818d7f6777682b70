#include "JSONValues.hpp"

#include <utility>

namespace JSON {

// Deep trees would overflow the stack if each container destroyed its children recursively. Instead a dying
// container hands its children to a work list; a child that nobody else holds gives up its own children to the
// list before it goes, so every destructor stays shallow.
struct TreeTeardown {
    static void TakeChildren(Value& value, std::vector<ValueRef>& into) {
        if (value.GetType() == Value::Type::Array) {
            auto& array = static_cast<ArrayValue&>(value);
            for (ValueRef& item : array.items)
                into.push_back(std::move(item));
            array.items.Clear();
        } else if (value.GetType() == Value::Type::Object) {
            auto& object = static_cast<ObjectValue&>(value);
            for (ObjectValue::Member& member : object.members)
                into.push_back(std::move(member.value));
            object.members.clear();
            object.index.clear();
        }
    }

    static void Dismantle(Value& root) noexcept {
        std::vector<ValueRef> pending;
        TakeChildren(root, pending);
        while (!pending.empty()) {
            ValueRef value = std::move(pending.back());
            pending.pop_back();
            if (value.GetRefCount() == 1) TakeChildren(*value, pending);
        }
    }
};

Value::~Value() = default;
NullValue::~NullValue() = default;
BoolValue::~BoolValue() = default;
NumberValue::~NumberValue() = default;
StringValue::~StringValue() = default;

ArrayValue::~ArrayValue() {
    TreeTeardown::Dismantle(*this);
}

void ArrayValue::Add(const ValueRef& value) {
    if (value.IsNull()) throw GS::NullPointerException();
    items.Push(value);
}

ObjectValue::~ObjectValue() {
    TreeTeardown::Dismantle(*this);
}

void ObjectValue::Add(const GS::UniString& key, const ValueRef& value) {
    if (value.IsNull()) throw GS::NullPointerException();
    const auto found = index.find(key);
    if (found != index.end()) {
        members[found->second].value = value;
        return;
    }
    members.push_back(Member{key, value});
    try {
        index.emplace(key, members.size() - 1);
    } catch (...) {
        members.pop_back();
        throw;
    }
}

void ObjectValue::Add(const GS::UniString& key, const char* value) {
    Add(key, ValueRef(GS::NewRef<StringValue>(value)));
}

void ObjectValue::Add(const GS::UniString& key, const GS::UniString& value) {
    Add(key, ValueRef(GS::NewRef<StringValue>(value)));
}

void ObjectValue::Add(const GS::UniString& key, double value) {
    Add(key, ValueRef(GS::NewRef<NumberValue>(value)));
}

void ObjectValue::Add(const GS::UniString& key, std::nullptr_t) {
    Add(key, ValueRef(GS::NewRef<NullValue>()));
}

ValueRef ObjectValue::Get(const GS::UniString& key) const {
    const auto found = index.find(key);
    return found == index.end() ? ValueRef() : members[found->second].value;
}

} // namespace JSON
