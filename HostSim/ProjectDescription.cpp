#include "ProjectDescription.hpp"

#include "ScriptValues.hpp"

#include "Guid.hpp"

#include <fstream>
#include <stdexcept>

namespace HostSim {

namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error("project description: " + what);
}

const nlohmann::json& Member(const nlohmann::json& object, const char* key, const std::string& where) {
    const auto it = object.find(key);
    if (it == object.end()) Fail(where + " has no \"" + key + "\"");
    return *it;
}

std::string StringMember(const nlohmann::json& object, const char* key, const std::string& where) {
    const nlohmann::json& value = Member(object, key, where);
    if (!value.is_string()) Fail(where + ": \"" + key + "\" is not a string");
    return value.get<std::string>();
}

API_Box3D ParseBounds(const nlohmann::json& bounds, const std::string& where) {
    if (!bounds.is_object()) Fail(where + ": \"bounds\" is not an object");
    API_Box3D box;
    const std::pair<const char*, double API_Box3D::*> fields[] = {
        {"xMin", &API_Box3D::xMin}, {"yMin", &API_Box3D::yMin}, {"zMin", &API_Box3D::zMin},
        {"xMax", &API_Box3D::xMax}, {"yMax", &API_Box3D::yMax}, {"zMax", &API_Box3D::zMax}};
    for (const auto& [key, field] : fields) {
        const nlohmann::json& value = Member(bounds, key, where + " bounds");
        if (!value.is_number()) Fail(where + ": bound \"" + key + "\" is not a number");
        box.*field = value.get<double>();
    }
    if (box.xMin > box.xMax || box.yMin > box.yMax || box.zMin > box.zMax)
        Fail(where + ": a minimum of the bounds exceeds its maximum");
    return box;
}

ProjectElement ParseElement(const nlohmann::json& element, std::size_t index) {
    const std::string where = "element " + std::to_string(index + 1);
    if (!element.is_object()) Fail(where + " is not an object");
    ProjectElement result;
    result.guidText = StringMember(element, "guid", where);
    GS::Guid guid;
    if (!GS::Guid::TryParse(ToUniString(result.guidText), guid) || guid.IsNull())
        Fail(where + ": \"" + result.guidText + "\" is not a GUID");
    result.guid = GSGuid2APIGuid(guid);
    result.elementId = StringMember(element, "elementId", where);
    result.globalId = StringMember(element, "globalId", where);
    if (!IsIfcGlobalId(result.globalId)) Fail(where + ": \"" + result.globalId + "\" is not an IFC GlobalId");
    if (const auto type = element.find("typeID"); type != element.end()) {
        if (!type->is_number_integer() || type->get<std::int64_t>() <= 0 || type->get<std::int64_t>() > INT32_MAX)
            Fail(where + ": \"typeID\" is not a positive integer");
        result.typeID = type->get<API_ElemTypeID>();
    }
    if (const auto bounds = element.find("bounds"); bounds != element.end())
        result.bounds = ParseBounds(*bounds, where);
    return result;
}

} // namespace

const ProjectElement* ProjectDescription::FindElement(const API_Guid& guid) const {
    for (const ProjectElement& element : elements)
        if (element.guid == guid) return &element;
    return nullptr;
}

bool IsIfcGlobalId(const std::string& text) {
    if (text.size() != 22) return false;
    for (const char ch : text) {
        const bool ok =
            (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || ch == '_' || ch == '$';
        if (!ok) return false;
    }
    return true;
}

ProjectDescription ParseProjectDescription(const nlohmann::json& description) {
    if (!description.is_object()) Fail("the document is not an object");
    ProjectDescription result;
    const nlohmann::json& name = Member(description, "name", "the document");
    if (name.is_string()) {
        result.name = name.get<std::string>();
    } else if (!name.is_null()) {
        Fail("\"name\" is neither a string nor null");
    }
    if (const auto elements = description.find("elements"); elements != description.end()) {
        if (!elements->is_array()) Fail("\"elements\" is not an array");
        for (std::size_t i = 0; i < elements->size(); ++i) {
            ProjectElement element = ParseElement((*elements)[i], i);
            if (result.FindElement(element.guid) != nullptr) Fail("GUID " + element.guidText + " appears twice");
            result.elements.push_back(std::move(element));
        }
    }
    return result;
}

ProjectDescription LoadProjectDescription(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in) Fail("cannot read " + file.string());
    nlohmann::json document = nlohmann::json::parse(in, nullptr, false);
    if (document.is_discarded()) Fail(file.filename().string() + " is not valid JSON");
    return ParseProjectDescription(document);
}

} // namespace HostSim
