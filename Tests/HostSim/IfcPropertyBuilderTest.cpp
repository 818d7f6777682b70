// The IFC property builder over the simulated host's model: its token check, default values and properties.

#include "HostServices.hpp"

#include "IFCProperty.hpp"

#include <gtest/gtest.h>

namespace {

using HostSim::HostServices;
using IFCAPI::Property;
using IFCAPI::PropertyBuilder;
using IFCAPI::Value;

class IfcPropertyBuilderTest : public ::testing::Test {
protected:
    IfcPropertyBuilderTest()
        : services(std::make_shared<HostSim::Transcript>(), std::make_shared<HostSim::MainThread>()) {
        EXPECT_TRUE(services.Activate());
        services.SetTokenPhase(HostServices::TokenPhase::Issued);
        services.GetState().ownToken.time_low = 42;
    }

    PropertyBuilder Builder() { return PropertyBuilder::GetPropertyBuilder(services.GetState().ownToken).Unwrap(); }

    HostServices services;
};

TEST_F(IfcPropertyBuilderTest, OnlyTheAddOnsTokenGetsABuilder) {
    EXPECT_TRUE(PropertyBuilder::GetPropertyBuilder(services.GetState().ownToken).IsOk());
    EXPECT_TRUE(PropertyBuilder::GetPropertyBuilder(APINULLGuid).IsErr());
    services.Deactivate();
    EXPECT_TRUE(PropertyBuilder::GetPropertyBuilder(services.GetState().ownToken).IsErr());
}

TEST_F(IfcPropertyBuilderTest, DefaultValuesFollowTheValueTypesKind) {
    const PropertyBuilder builder = Builder();
    EXPECT_EQ(builder.CreateDefaultValue("IfcLabel").Unwrap(), Value("IfcLabel", GS::UniString()));
    EXPECT_EQ(builder.CreateDefaultValue("IfcIdentifier").Unwrap(), Value("IfcIdentifier", GS::UniString()));
    EXPECT_EQ(builder.CreateDefaultValue("IfcBoolean").Unwrap(), Value("IfcBoolean", false));
    EXPECT_EQ(builder.CreateDefaultValue("IfcReal").Unwrap(), Value("IfcReal", 0.0));
    EXPECT_EQ(builder.CreateDefaultValue("IfcLengthMeasure").Unwrap(), Value("IfcLengthMeasure", 0.0));
    EXPECT_EQ(builder.CreateDefaultValue("IfcCountMeasure").Unwrap(), Value("IfcCountMeasure", Int64{0}));
    EXPECT_EQ(builder.CreateDefaultValue("IfcInteger").Unwrap(), Value("IfcInteger", Int64{0}));
    for (const char* unknown : {"", "IfcNoSuchMeasure", "ifclabel", "IfcLabel "}) {
        const auto result = builder.CreateDefaultValue(unknown);
        ASSERT_TRUE(result.IsErr()) << unknown;
        EXPECT_EQ(result.GetError(), APIERR_BADNAME);
    }
    EXPECT_TRUE(builder.CreateEmptyValue().IsEmpty());
    EXPECT_TRUE(builder.CreateEmptyValue().GetTypeName().IsEmpty());
}

TEST_F(IfcPropertyBuilderTest, TheFiveConstructorsKeepSetNameKindAndValues) {
    const PropertyBuilder builder = Builder();
    const Value label = builder.CreateDefaultValue("IfcLabel").Unwrap();
    const Value empty = builder.CreateEmptyValue();

    const Property single = builder.CreatePropertySingleValue("Pset", "A", label).Unwrap();
    EXPECT_EQ(single.GetPropertySetName(), GS::UniString("Pset"));
    EXPECT_EQ(single.GetKind(), Property::Kind::SingleValue);
    EXPECT_EQ(single.GetValues(), GS::Array<Value>{label});

    const Property enumerated = builder.CreatePropertyEnumeratedValue("Pset", "B", {}, {}).Unwrap();
    EXPECT_EQ(enumerated.GetKind(), Property::Kind::EnumeratedValue);
    EXPECT_TRUE(enumerated.GetValues().IsEmpty() && enumerated.GetSecondValues().IsEmpty());

    const Property bounded = builder.CreatePropertyBoundedValue("Pset", "C", label, empty, empty).Unwrap();
    EXPECT_EQ(bounded.GetKind(), Property::Kind::BoundedValue);
    EXPECT_EQ(bounded.GetValues(), (GS::Array<Value>{label, empty, empty})); // upper, lower, set point

    EXPECT_EQ(builder.CreatePropertyListValue("Pset", "D", {}).Unwrap().GetKind(), Property::Kind::ListValue);
    const Property table = builder.CreatePropertyTableValue("Pset", "E", {label}, {}).Unwrap();
    EXPECT_EQ(table.GetKind(), Property::Kind::TableValue);
    EXPECT_EQ(table.GetValues().GetSize(), 1u);
    EXPECT_TRUE(table.GetSecondValues().IsEmpty());

    EXPECT_TRUE(builder.CreatePropertySingleValue("Pset", "", label).IsErr()); // nameless properties are refused
    const Property copy = single;                                              // a plain copyable value
    EXPECT_EQ(copy.GetName(), GS::UniString("A"));
    EXPECT_STREQ(IFCAPI::KindEntityName(Property::Kind::TableValue), "IfcPropertyTableValue");
}

} // namespace
