#include "IFCProperty.hpp"

#include "IFCObjectAccessor.hpp"

#include <array>
#include <string_view>

namespace IFCAPI {

HostModel* GetInstalledHostModel() noexcept;

namespace {

enum class Base { Text, Boolean, Logical, Real, Integer };

struct TypeEntry {
    std::string_view name;
    Base base;
};

// The IFC4 value types the builder knows, by their underlying kind.
constexpr std::array<TypeEntry, 33> KnownTypes{{
    {"IfcLabel", Base::Text},
    {"IfcText", Base::Text},
    {"IfcIdentifier", Base::Text},
    {"IfcDescriptiveMeasure", Base::Text},
    {"IfcURIReference", Base::Text},
    {"IfcDateTime", Base::Text},
    {"IfcDate", Base::Text},
    {"IfcTime", Base::Text},
    {"IfcBoolean", Base::Boolean},
    {"IfcLogical", Base::Logical},
    {"IfcReal", Base::Real},
    {"IfcNumericMeasure", Base::Real},
    {"IfcLengthMeasure", Base::Real},
    {"IfcPositiveLengthMeasure", Base::Real},
    {"IfcAreaMeasure", Base::Real},
    {"IfcVolumeMeasure", Base::Real},
    {"IfcMassMeasure", Base::Real},
    {"IfcPlaneAngleMeasure", Base::Real},
    {"IfcPositivePlaneAngleMeasure", Base::Real},
    {"IfcRatioMeasure", Base::Real},
    {"IfcPositiveRatioMeasure", Base::Real},
    {"IfcNormalisedRatioMeasure", Base::Real},
    {"IfcThermodynamicTemperatureMeasure", Base::Real},
    {"IfcThermalTransmittanceMeasure", Base::Real},
    {"IfcPowerMeasure", Base::Real},
    {"IfcMassDensityMeasure", Base::Real},
    {"IfcVolumetricFlowRateMeasure", Base::Real},
    {"IfcTimeMeasure", Base::Real},
    {"IfcMonetaryMeasure", Base::Real},
    {"IfcPressureMeasure", Base::Real},
    {"IfcInteger", Base::Integer},
    {"IfcCountMeasure", Base::Integer},
    {"IfcTimeStamp", Base::Integer},
}};

const TypeEntry* FindType(const std::string_view name) {
    for (const TypeEntry& entry : KnownTypes)
        if (entry.name == name) return &entry;
    return nullptr;
}

ACAPI::Result<Property> Make(const GS::UniString& setName, const GS::UniString& name, Property::Kind kind,
                             GS::Array<Value> values, GS::Array<Value> secondValues = GS::Array<Value>()) {
    // A property without a name cannot be written.
    if (name.IsEmpty()) return ACAPI::Result<Property>::Error(APIERR_BADNAME);
    return ACAPI::Result<Property>::Ok(Property(setName, name, kind, std::move(values), std::move(secondValues)));
}

} // namespace

const char* KindEntityName(Property::Kind kind) noexcept {
    switch (kind) {
    case Property::Kind::SingleValue:
        return "IfcPropertySingleValue";
    case Property::Kind::EnumeratedValue:
        return "IfcPropertyEnumeratedValue";
    case Property::Kind::BoundedValue:
        return "IfcPropertyBoundedValue";
    case Property::Kind::ListValue:
        return "IfcPropertyListValue";
    case Property::Kind::TableValue:
        return "IfcPropertyTableValue";
    }
    return "?";
}

ACAPI::Result<PropertyBuilder> PropertyBuilder::GetPropertyBuilder(const API_Guid& addOnToken) {
    HostModel* model = GetInstalledHostModel();
    if (model == nullptr || !model->IsAddOnToken(addOnToken)) return ACAPI::Result<PropertyBuilder>::Error(Error);
    return ACAPI::Result<PropertyBuilder>::Ok(PropertyBuilder());
}

Value PropertyBuilder::CreateEmptyValue() const {
    return Value();
}

ACAPI::Result<Value> PropertyBuilder::CreateDefaultValue(const GS::UniString& typeName) const {
    const std::string name(typeName.ToCStr(0, MaxUSize, CC_UTF8).Get());
    const TypeEntry* entry = FindType(name);
    if (entry == nullptr) return ACAPI::Result<Value>::Error(APIERR_BADNAME);
    switch (entry->base) {
    case Base::Text:
        return ACAPI::Result<Value>::Ok(Value(typeName, GS::UniString()));
    case Base::Boolean:
    case Base::Logical:
        return ACAPI::Result<Value>::Ok(Value(typeName, false));
    case Base::Real:
        return ACAPI::Result<Value>::Ok(Value(typeName, 0.0));
    case Base::Integer:
        return ACAPI::Result<Value>::Ok(Value(typeName, Int64{0}));
    }
    return ACAPI::Result<Value>::Error(APIERR_BADNAME);
}

ACAPI::Result<Property> PropertyBuilder::CreatePropertySingleValue(const GS::UniString& setName,
                                                                   const GS::UniString& name,
                                                                   const Value& nominalValue) const {
    GS::Array<Value> values;
    values.Push(nominalValue);
    return Make(setName, name, Property::Kind::SingleValue, std::move(values));
}

ACAPI::Result<Property> PropertyBuilder::CreatePropertyEnumeratedValue(const GS::UniString& setName,
                                                                       const GS::UniString& name,
                                                                       const GS::Array<Value>& values,
                                                                       const GS::Array<Value>& references) const {
    return Make(setName, name, Property::Kind::EnumeratedValue, values, references);
}

ACAPI::Result<Property> PropertyBuilder::CreatePropertyBoundedValue(const GS::UniString& setName,
                                                                    const GS::UniString& name, const Value& upper,
                                                                    const Value& lower, const Value& setPoint) const {
    GS::Array<Value> values;
    values.Push(upper);
    values.Push(lower);
    values.Push(setPoint);
    return Make(setName, name, Property::Kind::BoundedValue, std::move(values));
}

ACAPI::Result<Property> PropertyBuilder::CreatePropertyListValue(const GS::UniString& setName,
                                                                 const GS::UniString& name,
                                                                 const GS::Array<Value>& values) const {
    return Make(setName, name, Property::Kind::ListValue, values);
}

ACAPI::Result<Property> PropertyBuilder::CreatePropertyTableValue(const GS::UniString& setName,
                                                                  const GS::UniString& name,
                                                                  const GS::Array<Value>& definingValues,
                                                                  const GS::Array<Value>& definedValues) const {
    return Make(setName, name, Property::Kind::TableValue, definingValues, definedValues);
}

} // namespace IFCAPI
