#include "IfcFileWriter.hpp"

#include "IfcGlobalId.hpp"
#include "ScriptValues.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

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

// GlobalIds of the objects the writer adds (project, property sets, relations), the same in every run.
std::string MadeGlobalId(UInt32 kind, UInt32 number) {
    API_Guid guid;
    guid.time_low = number;
    guid.time_mid = 0x4946; // "IF"
    guid.time_hi_and_version = static_cast<UInt16>(0x4000 | kind);
    guid.clock_seq_hi_and_reserved = 0x80;
    return MakeIfcGlobalId(guid);
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
    std::ostringstream out;
    out << "ISO-10303-21;\nHEADER;\n";
    out << "FILE_DESCRIPTION(('ViewDefinition [ReferenceView]'),'2;1');\n";
    out << "FILE_NAME(" << StepString(file.filename().string()) << ",'2024-01-01T00:00:00',(''),(''),"
        << "'HostSim IFC writer'," << StepString("HostSim " + translatorName) << ",'');\n";
    out << "FILE_SCHEMA(('IFC4'));\nENDSEC;\nDATA;\n";

    UInt32 next = 1;
    out << '#' << next++ << "=IFCPROJECT(" << StepString(MadeGlobalId(1, 1)) << ",$,"
        << StepString(project.name.value_or("")) << ",$,$,$,$,$,$);\n";

    std::map<std::string, std::vector<UInt32>> entitiesByType; // lower-case entity type -> entity numbers
    for (const ProjectElement* element : elements) {
        const std::string type = EntityTypeOf(*element);
        const UInt32 number = next++;
        out << '#' << number << '=' << Upper(type) << '(' << StepString(element->globalId) << ",$,"
            << StepString(element->elementId) << (type == "IfcDoor" ? ",$,$,$,$,$,$,$,$,$,$);\n" : ",$,$,$,$,$,$);\n");
        entitiesByType[Lower(type)].push_back(number);
    }

    // Property sets by (entity type, set name), in the order of their first mapping.
    std::vector<std::pair<std::string, std::string>> setOrder;
    std::map<std::pair<std::string, std::string>, std::vector<const IFCAPI::Property*>> sets;
    for (const PresetMapping& mapping : mappings) {
        if (!mapping.property) continue;
        const auto key = std::make_pair(Lower(mapping.ifcType), ToUtf8(mapping.property->GetPropertySetName()));
        if (!entitiesByType.contains(key.first)) continue;
        if (!sets.contains(key)) setOrder.push_back(key);
        sets[key].push_back(&*mapping.property);
    }
    UInt32 setNumber = 0;
    for (const auto& key : setOrder) {
        ++setNumber;
        std::string properties;
        for (const IFCAPI::Property* property : sets[key]) {
            const UInt32 number = next++;
            out << '#' << number << '=' << StepProperty(*property) << ";\n";
            properties += (properties.empty() ? "#" : ",#") + std::to_string(number);
        }
        const UInt32 setEntity = next++;
        out << '#' << setEntity << "=IFCPROPERTYSET(" << StepString(MadeGlobalId(2, setNumber)) << ",$,"
            << StepString(key.second) << ",$,(" << properties << "));\n";
        std::string related;
        for (UInt32 element : entitiesByType[key.first])
            related += (related.empty() ? "#" : ",#") + std::to_string(element);
        out << '#' << next++ << "=IFCRELDEFINESBYPROPERTIES(" << StepString(MadeGlobalId(3, setNumber)) << ",$,$,$,("
            << related << "),#" << setEntity << ");\n";
    }
    out << "ENDSEC;\nEND-ISO-10303-21;\n";

    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    if (!stream) return false;
    const std::string bytes = out.str();
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(stream.flush());
}

} // namespace HostSim
