#ifndef QUILLMAR_MAPPING_MAPPINGSTATE_HPP
#define QUILLMAR_MAPPING_MAPPINGSTATE_HPP

#include "Array.hpp"
#include "Owner.hpp"
#include "UniString.hpp"

namespace IO {
class Location;
}

// How an IFC property holds its value; the mapping file gives the number.
enum class PropertyKind : UInt32 {
    SingleValue = 0,
    EnumeratedValue = 1,
    BoundedValue = 2,
    ListValue = 3,
    TableValue = 4,
};

// One property of a mapping file that the IFC export adds.
struct PropertyMapData {
    GS::UniString propertyDefinitionGroupName; // may be empty
    GS::UniString propertyDefinitionName;      // may be empty
    GS::UniString name;                        // the IFC property name
    GS::UniString dataType;                    // an IFC value type name; may be empty
    PropertyKind propertyKind = PropertyKind::SingleValue;
};

// One IFC entity type and property set with its mapped properties, in file order.
struct SchemeProperty {
    GS::UniString ifcEntityType;   // never empty
    GS::UniString propertySetName; // never empty
    GS::Owner<GS::Array<PropertyMapData>> properties;
};

// The loaded property mapping. [main-thread] only: the IFC export and the page's calls read it.
class MappingState {
public:
    // Replaces the list with the file's when its root is "SchemeItemList" and returns true; otherwise (also for a
    // missing or malformed file) returns false and leaves the list as it was.
    bool Load(const IO::Location& file);
    // No two entries share both entity type and property set name.
    const GS::Array<SchemeProperty>& GetList() const noexcept { return list; }

private:
    GS::Array<SchemeProperty> list;
};

#endif
