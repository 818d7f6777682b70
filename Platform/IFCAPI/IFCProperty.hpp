#ifndef IFCAPI_IFCPROPERTY_HPP
#define IFCAPI_IFCPROPERTY_HPP

#include "ACAPIResult.hpp"
#include "IFCAPIExport.hpp"

#include "APIDefinitions.hpp"
#include "Array.hpp"
#include "UniString.hpp"

#include <variant>

namespace IFCAPI {

// One IFC value: its IFC type name ("IfcLabel", "IfcReal"...) and its value, or nothing (an empty value has no
// type either). Plain copyable data.
class IFCAPI_DLL_EXPORT Value {
public:
    using Content = std::variant<std::monostate, bool, Int64, double, GS::UniString>;

    Value() = default;
    Value(const GS::UniString& typeName, Content content) : typeName(typeName), content(std::move(content)) {}

    bool IsEmpty() const noexcept { return std::holds_alternative<std::monostate>(content); }
    const GS::UniString& GetTypeName() const noexcept { return typeName; }
    const Content& GetContent() const noexcept { return content; }

    friend bool operator==(const Value&, const Value&) = default;

private:
    GS::UniString typeName;
    Content content;
};

// An IFC property of a property set, as the IFC writer adds it to entities. Plain copyable data; the meaning of
// the value lists follows the kind:
//   SingleValue: values = {nominal}
//   EnumeratedValue: values = enumeration values, secondValues = enumeration references
//   BoundedValue: values = {upper, lower, set point}
//   ListValue: values = list
//   TableValue: values = defining values, secondValues = defined values
class IFCAPI_DLL_EXPORT Property {
public:
    enum class Kind { SingleValue, EnumeratedValue, BoundedValue, ListValue, TableValue };

    Property() = default;
    Property(const GS::UniString& setName, const GS::UniString& name, Kind kind, GS::Array<Value> values,
             GS::Array<Value> secondValues)
        : setName(setName), name(name), kind(kind), values(std::move(values)), secondValues(std::move(secondValues)) {}

    const GS::UniString& GetPropertySetName() const noexcept { return setName; }
    const GS::UniString& GetName() const noexcept { return name; }
    Kind GetKind() const noexcept { return kind; }
    const GS::Array<Value>& GetValues() const noexcept { return values; }
    const GS::Array<Value>& GetSecondValues() const noexcept { return secondValues; }

private:
    GS::UniString setName;
    GS::UniString name;
    Kind kind = Kind::SingleValue;
    GS::Array<Value> values;
    GS::Array<Value> secondValues;
};

// The name of a kind as the IFC schema spells its entity ("IfcPropertySingleValue"...).
IFCAPI_DLL_EXPORT const char* KindEntityName(Property::Kind kind) noexcept;

// Makes IFC values and properties for the add-on whose token it was given. [main-thread]
class IFCAPI_DLL_EXPORT PropertyBuilder {
public:
    // An error for a token that is not the add-on's or when no host model is installed.
    static ACAPI::Result<PropertyBuilder> GetPropertyBuilder(const API_Guid& addOnToken);

    Value CreateEmptyValue() const;
    // The default of an IFC value type (empty text, false, 0); APIERR_BADNAME for a type name it does not know
    // (names are case-sensitive).
    ACAPI::Result<Value> CreateDefaultValue(const GS::UniString& typeName) const;

    ACAPI::Result<Property> CreatePropertySingleValue(const GS::UniString& setName, const GS::UniString& name,
                                                      const Value& nominalValue) const;
    ACAPI::Result<Property> CreatePropertyEnumeratedValue(const GS::UniString& setName, const GS::UniString& name,
                                                          const GS::Array<Value>& values,
                                                          const GS::Array<Value>& references) const;
    ACAPI::Result<Property> CreatePropertyBoundedValue(const GS::UniString& setName, const GS::UniString& name,
                                                       const Value& upper, const Value& lower,
                                                       const Value& setPoint) const;
    ACAPI::Result<Property> CreatePropertyListValue(const GS::UniString& setName, const GS::UniString& name,
                                                    const GS::Array<Value>& values) const;
    ACAPI::Result<Property> CreatePropertyTableValue(const GS::UniString& setName, const GS::UniString& name,
                                                     const GS::Array<Value>& definingValues,
                                                     const GS::Array<Value>& definedValues) const;

private:
    PropertyBuilder() = default;
};

} // namespace IFCAPI

#endif
