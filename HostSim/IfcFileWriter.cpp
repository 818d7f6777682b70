#include "IfcFileWriter.hpp"

#include "IfcGlobalId.hpp"
#include "ScriptValues.hpp"

#include "Guid.hpp"
#include "Time.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <unordered_set>

namespace HostSim {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return text;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
    return text;
}

// The entity type an element is written as, in the schema's spelling.
std::string EntityTypeOf(const ProjectElement& element) {
    const std::string type = Lower(element.ifcType);
    if (type == "ifcwall") return "IfcWall";
    if (type == "ifcslab") return "IfcSlab";
    if (type == "ifcdoor") return "IfcDoor";
    return "IfcBuildingElementProxy";
}

std::string StepReal(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", value);
    std::string result = text;
    if (result.find_first_of(".eEn") == std::string::npos) result += '.';
    return result;
}

std::string StepValue(const IFCAPI::Value& value) {
    if (value.IsEmpty()) return "$";
    std::string content;
    std::visit(
        [&content](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>) {
                content = v ? ".T." : ".F.";
            } else if constexpr (std::is_same_v<T, Int64>) {
                content = std::to_string(v);
            } else if constexpr (std::is_same_v<T, double>) {
                content = StepReal(v);
            } else if constexpr (std::is_same_v<T, GS::UniString>) {
                content = StepString(ToUtf8(v));
            }
        },
        value.GetContent());
    return Upper(ToUtf8(value.GetTypeName())) + "(" + content + ")";
}

std::string StepList(const GS::Array<IFCAPI::Value>& values) {
    if (values.IsEmpty()) return "$"; // the schema's lists hold at least one item; an empty one is left out
    std::string result = "(";
    for (UIndex i = 0; i < values.GetSize(); ++i) {
        if (i != 0) result += ',';
        result += StepValue(values[i]);
    }
    return result + ")";
}

std::string StepProperty(const IFCAPI::Property& property) {
    const std::string name = StepString(ToUtf8(property.GetName()));
    const GS::Array<IFCAPI::Value>& values = property.GetValues();
    const auto at = [&values](UIndex i) { return i < values.GetSize() ? StepValue(values[i]) : std::string("$"); };
    switch (property.GetKind()) {
    case IFCAPI::Property::Kind::SingleValue:
        return "IFCPROPERTYSINGLEVALUE(" + name + ",$," + at(0) + ",$)";
    case IFCAPI::Property::Kind::EnumeratedValue:
        return "IFCPROPERTYENUMERATEDVALUE(" + name + ",$," + StepList(values) + ",$)";
    case IFCAPI::Property::Kind::BoundedValue:
        return "IFCPROPERTYBOUNDEDVALUE(" + name + ",$," + at(0) + "," + at(1) + ",$," + at(2) + ")";
    case IFCAPI::Property::Kind::ListValue:
        return "IFCPROPERTYLISTVALUE(" + name + ",$," + StepList(values) + ",$)";
    case IFCAPI::Property::Kind::TableValue:
        return "IFCPROPERTYTABLEVALUE(" + name + ",$," + StepList(values) + "," + StepList(property.GetSecondValues()) +
               ",$,$,$,$)";
    }
    return "";
}

// A new GlobalId for an object the export makes (the project, its spatial structure, sets and relations): every
// export makes its own, as a file written again is a new file for the tools that read it.
std::string FreshGlobalId() {
    GS::Guid guid;
    guid.Generate();
    return MakeIfcGlobalId(GSGuid2APIGuid(guid));
}

// The element's own value in the type of the mapping's default where that type can carry it, otherwise in the
// type its kind gives: text IfcLabel, whole number IfcInteger, other number IfcReal, true or false IfcBoolean.
IFCAPI::Value ConvertValue(const nlohmann::json& value, const IFCAPI::Value& like) {
    const GS::UniString type = like.GetTypeName();
    const IFCAPI::Value::Content& content = like.GetContent();
    if (!like.IsEmpty()) {
        if (std::holds_alternative<bool>(content) && value.is_boolean()) return {type, value.get<bool>()};
        if (std::holds_alternative<Int64>(content) && value.is_number_integer()) return {type, value.get<Int64>()};
        if (std::holds_alternative<double>(content) && value.is_number()) return {type, value.get<double>()};
        if (std::holds_alternative<GS::UniString>(content))
            return {type, ToUniString(value.is_string() ? value.get<std::string>() : value.dump())};
    }
    if (value.is_string()) return {GS::UniString("IfcLabel"), ToUniString(value.get<std::string>())};
    if (value.is_boolean()) return {GS::UniString("IfcBoolean"), value.get<bool>()};
    if (value.is_number_integer()) return {GS::UniString("IfcInteger"), value.get<Int64>()};
    return {GS::UniString("IfcReal"), value.get<double>()};
}

// The mapped property with the element's value of its property definition in place of the default: a single value
// takes a plain value; an enumerated or list value takes a plain value or a list as its values. Bounded and table
// values, and properties whose definition the element has no value of, keep their defaults.
IFCAPI::Property WithElementValue(const PresetMapping& mapping, const ProjectElement& element) {
    const IFCAPI::Property& property = *mapping.property;
    GS::Guid definition;
    if (!GS::Guid::TryParse(ToUniString(mapping.acPropertyGuid), definition)) return property;
    const nlohmann::json* value = element.FindPropertyValue(GSGuid2APIGuid(definition));
    if (value == nullptr) return property;
    const GS::Array<IFCAPI::Value>& defaults = property.GetValues();
    const IFCAPI::Value like = defaults.IsEmpty() ? IFCAPI::Value() : defaults[0];
    GS::Array<IFCAPI::Value> values;
    switch (property.GetKind()) {
    case IFCAPI::Property::Kind::SingleValue:
        if (value->is_array()) return property;
        values.Push(ConvertValue(*value, like));
        break;
    case IFCAPI::Property::Kind::EnumeratedValue:
    case IFCAPI::Property::Kind::ListValue:
        if (value->is_array()) {
            for (const nlohmann::json& item : *value)
                values.Push(ConvertValue(item, like));
        } else {
            values.Push(ConvertValue(*value, like));
        }
        break;
    case IFCAPI::Property::Kind::BoundedValue:
    case IFCAPI::Property::Kind::TableValue:
        return property;
    }
    return IFCAPI::Property(property.GetPropertySetName(), property.GetName(), property.GetKind(), std::move(values),
                            property.GetSecondValues());
}

// Numbers the entities of the DATA section as they are written.
class StepData {
public:
    UInt32 Add(const std::string& entity) {
        out << '#' << next << '=' << entity << ";\n";
        return next++;
    }
    std::string Text() const { return out.str(); }

private:
    std::ostringstream out;
    UInt32 next = 1;
};

std::string Reference(UInt32 entity) {
    return "#" + std::to_string(entity);
}

std::string References(const std::vector<UInt32>& entities) {
    std::string result = "(";
    for (std::size_t i = 0; i < entities.size(); ++i)
        result += (i == 0 ? "#" : ",#") + std::to_string(entities[i]);
    return result + ")";
}

} // namespace

std::string StepString(const std::string& utf8) {
    const GS::UniString text = ToUniString(utf8);
    std::string result = "'";
    bool wide = false;
    for (UIndex i = 0; i < text.GetLength(); ++i) {
        const auto unit = static_cast<UInt32>(text[i]);
        const bool plain = unit >= 0x20 && unit <= 0x7E;
        if (plain && wide) {
            result += "\\X0\\";
            wide = false;
        }
        if (!plain) {
            if (!wide) result += "\\X2\\";
            wide = true;
            char hex[5];
            std::snprintf(hex, sizeof hex, "%04X", unit);
            result += hex;
        } else if (unit == '\'') {
            result += "''";
        } else if (unit == '\\') {
            result += "\\\\";
        } else {
            result += static_cast<char>(unit);
        }
    }
    if (wide) result += "\\X0\\";
    return result + "'";
}

bool WriteIfcFile(const std::filesystem::path& file, const ProjectDescription& project,
                  const std::vector<const ProjectElement*>& elements, const std::vector<PresetMapping>& mappings,
                  const std::string& translatorName) {
    const GSTime now = TIGetTime();
    // Floor division: the owner history counts whole seconds, also before 1970.
    const GSTime seconds = now / 1000 - (now % 1000 < 0 ? 1 : 0);
    const std::string stamp = std::to_string(seconds);

    std::ostringstream out;
    out << "ISO-10303-21;\nHEADER;\n";
    out << "FILE_DESCRIPTION(('ViewDefinition [ReferenceView]'),'2;1');\n";
    out << "FILE_NAME(" << StepString(file.filename().string()) << ','
        << StepString(ToUtf8(TIGetISO8601TimeString(now, false))) << ",(''),(''),'HostSim IFC writer',"
        << StepString("HostSim " + translatorName) << ",'');\n";
    out << "FILE_SCHEMA(('IFC4'));\nENDSEC;\nDATA;\n";

    StepData data;
    const UInt32 person = data.Add("IFCPERSON($,$,'User',$,$,$,$,$)");
    const UInt32 organisation = data.Add("IFCORGANIZATION($,'HostSim',$,$,$)");
    const UInt32 user =
        data.Add("IFCPERSONANDORGANIZATION(" + Reference(person) + ',' + Reference(organisation) + ",$)");
    const UInt32 application =
        data.Add("IFCAPPLICATION(" + Reference(organisation) + ",'29.0','HostSim (simulated Archicad 29)','HostSim')");
    const std::string history =
        Reference(data.Add("IFCOWNERHISTORY(" + Reference(user) + ',' + Reference(application) + ",$,.ADDED.," + stamp +
                           ',' + Reference(user) + ',' + Reference(application) + ',' + stamp + ")"));

    const std::vector<UInt32> units{
        data.Add("IFCSIUNIT(*,.LENGTHUNIT.,$,.METRE.)"), data.Add("IFCSIUNIT(*,.AREAUNIT.,$,.SQUARE_METRE.)"),
        data.Add("IFCSIUNIT(*,.VOLUMEUNIT.,$,.CUBIC_METRE.)"), data.Add("IFCSIUNIT(*,.PLANEANGLEUNIT.,$,.RADIAN.)")};
    const UInt32 unitAssignment = data.Add("IFCUNITASSIGNMENT(" + References(units) + ")");
    const UInt32 origin = data.Add("IFCCARTESIANPOINT((0.,0.,0.))");
    const UInt32 axes = data.Add("IFCAXIS2PLACEMENT3D(" + Reference(origin) + ",$,$)");
    const UInt32 context = data.Add("IFCGEOMETRICREPRESENTATIONCONTEXT($,'Model',3,1.E-05," + Reference(axes) + ",$)");
    const UInt32 projectEntity = data.Add("IFCPROJECT(" + StepString(FreshGlobalId()) + ',' + history + ',' +
                                          StepString(project.name.value_or("Untitled")) + ",$,$,$,$,(" +
                                          Reference(context) + ")," + Reference(unitAssignment) + ")");

    // One site, building and storey, each placed at the origin of the one above it; every element is on the storey.
    const UInt32 sitePlacement = data.Add("IFCLOCALPLACEMENT($," + Reference(axes) + ")");
    const UInt32 site = data.Add("IFCSITE(" + StepString(FreshGlobalId()) + ',' + history + ",'Site',$,$," +
                                 Reference(sitePlacement) + ",$,$,.ELEMENT.,$,$,$,$,$)");
    const UInt32 buildingPlacement =
        data.Add("IFCLOCALPLACEMENT(" + Reference(sitePlacement) + ',' + Reference(axes) + ")");
    const UInt32 building = data.Add("IFCBUILDING(" + StepString(FreshGlobalId()) + ',' + history + ",'Building',$,$," +
                                     Reference(buildingPlacement) + ",$,$,.ELEMENT.,$,$,$)");
    const UInt32 storeyPlacement =
        data.Add("IFCLOCALPLACEMENT(" + Reference(buildingPlacement) + ',' + Reference(axes) + ")");
    const UInt32 storey = data.Add("IFCBUILDINGSTOREY(" + StepString(FreshGlobalId()) + ',' + history +
                                   ",'Storey',$,$," + Reference(storeyPlacement) + ",$,$,.ELEMENT.,0.)");
    const std::pair<UInt32, UInt32> decomposition[] = {{projectEntity, site}, {site, building}, {building, storey}};
    for (const auto& [whole, part] : decomposition)
        data.Add("IFCRELAGGREGATES(" + StepString(FreshGlobalId()) + ',' + history + ",$,$," + Reference(whole) + ",(" +
                 Reference(part) + "))");

    // Each element once, in the order first listed, with its own GlobalId; with bounds it is placed at their lowest
    // corner and, when they have a volume, has them as a bounding box for its shape.
    const UInt32 storeyOrigin =
        data.Add("IFCLOCALPLACEMENT(" + Reference(storeyPlacement) + ',' + Reference(axes) + ")");
    std::unordered_set<const ProjectElement*> written;
    std::vector<std::pair<const ProjectElement*, UInt32>> entities;
    for (const ProjectElement* element : elements) {
        if (!written.insert(element).second) continue;
        UInt32 placement = storeyOrigin;
        std::string shape = "$";
        if (const std::optional<API_Box3D>& b = element->bounds) {
            const UInt32 corner = data.Add("IFCCARTESIANPOINT((" + StepReal(b->xMin) + ',' + StepReal(b->yMin) + ',' +
                                           StepReal(b->zMin) + "))");
            const UInt32 position = data.Add("IFCAXIS2PLACEMENT3D(" + Reference(corner) + ",$,$)");
            placement = data.Add("IFCLOCALPLACEMENT(" + Reference(storeyPlacement) + ',' + Reference(position) + ")");
            if (b->xMax > b->xMin && b->yMax > b->yMin && b->zMax > b->zMin) {
                const UInt32 box =
                    data.Add("IFCBOUNDINGBOX(" + Reference(origin) + ',' + StepReal(b->xMax - b->xMin) + ',' +
                             StepReal(b->yMax - b->yMin) + ',' + StepReal(b->zMax - b->zMin) + ")");
                const UInt32 representation = data.Add("IFCSHAPEREPRESENTATION(" + Reference(context) +
                                                       ",'Box','BoundingBox',(" + Reference(box) + "))");
                shape = Reference(data.Add("IFCPRODUCTDEFINITIONSHAPE($,$,(" + Reference(representation) + "))"));
            }
        }
        const std::string type = EntityTypeOf(*element);
        const std::string common = StepString(element->globalId) + ',' + history + ',' +
                                   StepString(element->elementId) + ",$,$," + Reference(placement) + ',' + shape + ",$";
        entities.emplace_back(element,
                              data.Add(Upper(type) + '(' + common + (type == "IfcDoor" ? ",$,$,$,$,$)" : ",$)")));
    }
    if (!entities.empty()) {
        std::vector<UInt32> contained;
        for (const auto& [element, entity] : entities)
            contained.push_back(entity);
        data.Add("IFCRELCONTAINEDINSPATIALSTRUCTURE(" + StepString(FreshGlobalId()) + ',' + history + ",$,$," +
                 References(contained) + ',' + Reference(storey) + ")");
    }

    // The mappings by (entity type, set name), in the order of their first mapping; within a set a name counts
    // once, the first mapping of it.
    std::vector<std::pair<std::string, std::string>> setOrder;
    std::map<std::pair<std::string, std::string>, std::vector<const PresetMapping*>> sets;
    for (const PresetMapping& mapping : mappings) {
        if (!mapping.property) continue;
        const auto key = std::make_pair(Lower(mapping.ifcType), ToUtf8(mapping.property->GetPropertySetName()));
        std::vector<const PresetMapping*>& set = sets[key];
        if (set.empty()) setOrder.push_back(key);
        const GS::UniString& name = mapping.property->GetName();
        if (std::none_of(set.begin(), set.end(),
                         [&name](const PresetMapping* m) { return m->property->GetName() == name; }))
            set.push_back(&mapping);
    }
    // Elements whose properties come out alike share one set.
    for (const auto& key : setOrder) {
        std::vector<std::vector<std::string>> contents;
        std::map<std::vector<std::string>, std::vector<UInt32>> related;
        for (const auto& [element, entity] : entities) {
            if (Lower(EntityTypeOf(*element)) != key.first) continue;
            std::vector<std::string> properties;
            for (const PresetMapping* mapping : sets[key])
                properties.push_back(StepProperty(WithElementValue(*mapping, *element)));
            std::vector<UInt32>& sharing = related[properties];
            if (sharing.empty()) contents.push_back(properties);
            sharing.push_back(entity);
        }
        for (const std::vector<std::string>& properties : contents) {
            std::vector<UInt32> propertyEntities;
            for (const std::string& property : properties)
                propertyEntities.push_back(data.Add(property));
            const UInt32 set = data.Add("IFCPROPERTYSET(" + StepString(FreshGlobalId()) + ',' + history + ',' +
                                        StepString(key.second) + ",$," + References(propertyEntities) + ")");
            data.Add("IFCRELDEFINESBYPROPERTIES(" + StepString(FreshGlobalId()) + ',' + history + ",$,$," +
                     References(related[properties]) + ',' + Reference(set) + ")");
        }
    }
    out << data.Text() << "ENDSEC;\nEND-ISO-10303-21;\n";

    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    if (!stream) return false;
    const std::string bytes = out.str();
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(stream.flush());
}

} // namespace HostSim
