#include "ProjectDescription.hpp"

#include "ScriptValues.hpp"

#include "Guid.hpp"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <unordered_set>

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

std::string StringValue(const nlohmann::json& value, const char* key, const std::string& where) {
    if (!value.is_string()) Fail(where + ": \"" + key + "\" is not a string");
    return value.get<std::string>();
}

std::string StringMember(const nlohmann::json& object, const char* key, const std::string& where) {
    return StringValue(Member(object, key, where), key, where);
}

// Typos in a hand-written description would otherwise pass unseen.
void CheckKeys(const nlohmann::json& object, std::initializer_list<const char*> known, const std::string& where) {
    for (const auto& [key, value] : object.items()) {
        if (std::none_of(known.begin(), known.end(), [&key](const char* k) { return key == k; }))
            Fail(where + " has an unknown key \"" + key + "\"");
    }
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

std::string ParseGlobalId(const nlohmann::json& value, const std::string& where) {
    std::string globalId = StringValue(value, "globalId", where);
    if (!IsIfcGlobalId(globalId)) Fail(where + ": \"" + globalId + "\" is not an IFC GlobalId");
    return globalId;
}

bool IsPropertyScalar(const nlohmann::json& value) {
    return value.is_string() || value.is_boolean() || value.is_number();
}

std::vector<std::pair<API_Guid, nlohmann::json>> ParsePropertyValues(const nlohmann::json& values,
                                                                     const std::string& where) {
    if (!values.is_object()) Fail(where + ": \"propertyValues\" is not an object");
    std::vector<std::pair<API_Guid, nlohmann::json>> result;
    for (const auto& [key, value] : values.items()) {
        GS::Guid guid;
        if (!GS::Guid::TryParse(ToUniString(key), guid) || guid.IsNull())
            Fail(where + ": property value key \"" + key + "\" is not a GUID");
        const API_Guid definition = GSGuid2APIGuid(guid);
        // Two spellings of one GUID would leave it open which value counts.
        if (std::any_of(result.begin(), result.end(), [&](const auto& known) { return known.first == definition; }))
            Fail(where + ": property " + key + " has two values");
        const bool list =
            value.is_array() && !value.empty() && std::all_of(value.begin(), value.end(), IsPropertyScalar);
        if (!IsPropertyScalar(value) && !list)
            Fail(where + ": the value of property " + key +
                 " is neither a string, number or boolean nor a non-empty array of them");
        result.emplace_back(definition, value);
    }
    return result;
}

ProjectElement ParseElement(const nlohmann::json& element, std::size_t index) {
    const std::string where = "element " + std::to_string(index + 1);
    if (!element.is_object()) Fail(where + " is not an object");
    CheckKeys(element,
              {"guid", "elementId", "globalId", "externalGlobalId", "typeID", "shownIn3D", "locked", "ifcType",
               "bounds", "propertyValues"},
              where);
    ProjectElement result;
    result.guidText = StringMember(element, "guid", where);
    GS::Guid guid;
    if (!GS::Guid::TryParse(ToUniString(result.guidText), guid) || guid.IsNull())
        Fail(where + ": \"" + result.guidText + "\" is not a GUID");
    result.guid = GSGuid2APIGuid(guid);
    if (const auto id = element.find("elementId"); id != element.end())
        result.elementId = StringValue(*id, "elementId", where);
    const auto globalId = element.find("globalId");
    result.globalId = globalId != element.end() ? ParseGlobalId(*globalId, where) : MakeIfcGlobalId(result.guid);
    if (const auto external = element.find("externalGlobalId"); external != element.end()) {
        // Files from other applications do not always keep to the IFC form, so any text but the empty one goes.
        result.externalGlobalId = StringValue(*external, "externalGlobalId", where);
        if (result.externalGlobalId->empty()) Fail(where + ": \"externalGlobalId\" is empty");
    }
    if (const auto type = element.find("typeID"); type != element.end()) {
        if (!type->is_number_integer() || type->get<std::int64_t>() <= 0 || type->get<std::int64_t>() > INT32_MAX)
            Fail(where + ": \"typeID\" is not a positive integer");
        result.typeID = type->get<API_ElemTypeID>();
    }
    if (const auto shown = element.find("shownIn3D"); shown != element.end()) {
        if (!shown->is_boolean()) Fail(where + ": \"shownIn3D\" is not a boolean");
        result.shownIn3D = shown->get<bool>();
    }
    if (const auto locked = element.find("locked"); locked != element.end()) {
        if (!locked->is_boolean()) Fail(where + ": \"locked\" is not a boolean");
        result.locked = locked->get<bool>();
    }
    if (const auto ifcType = element.find("ifcType"); ifcType != element.end())
        result.ifcType = StringValue(*ifcType, "ifcType", where);
    if (const auto bounds = element.find("bounds"); bounds != element.end())
        result.bounds = ParseBounds(*bounds, where);
    if (const auto values = element.find("propertyValues"); values != element.end())
        result.propertyValues = ParsePropertyValues(*values, where);
    return result;
}

API_Guid ParseGuid(const nlohmann::json& object, const std::string& where) {
    const std::string text = StringMember(object, "guid", where);
    GS::Guid guid;
    if (!GS::Guid::TryParse(ToUniString(text), guid) || guid.IsNull()) Fail(where + ": \"" + text + "\" is not a GUID");
    return GSGuid2APIGuid(guid);
}

ProjectPropertyGroup ParsePropertyGroup(const nlohmann::json& group, std::size_t index) {
    const std::string where = "property group " + std::to_string(index + 1);
    if (!group.is_object()) Fail(where + " is not an object");
    CheckKeys(group, {"guid", "name", "type", "definitions"}, where);
    ProjectPropertyGroup result;
    result.guid = ParseGuid(group, where);
    result.name = StringMember(group, "name", where);
    if (const auto type = group.find("type"); type != group.end()) {
        if (!type->is_number_integer() || type->get<std::int64_t>() < 0 || type->get<std::int64_t>() > 2)
            Fail(where + ": \"type\" is not 0, 1 or 2");
        result.type = type->get<Int32>();
    }
    if (const auto definitions = group.find("definitions"); definitions != group.end()) {
        if (!definitions->is_array()) Fail(where + ": \"definitions\" is not an array");
        for (std::size_t i = 0; i < definitions->size(); ++i) {
            const nlohmann::json& definition = (*definitions)[i];
            const std::string at = where + " definition " + std::to_string(i + 1);
            if (!definition.is_object()) Fail(at + " is not an object");
            CheckKeys(definition, {"guid", "name"}, at);
            result.definitions.push_back({ParseGuid(definition, at), StringMember(definition, "name", at)});
        }
    }
    return result;
}

ProjectObject ParseObject(const nlohmann::json& object, std::size_t index) {
    const std::string where = "object " + std::to_string(index + 1);
    if (!object.is_object()) Fail(where + " is not an object");
    CheckKeys(object, {"globalId", "type"}, where);
    ProjectObject result;
    result.globalId = ParseGlobalId(Member(object, "globalId", where), where);
    if (const auto type = object.find("type"); type != object.end()) result.type = StringValue(*type, "type", where);
    return result;
}

const nlohmann::json* ArrayMember(const nlohmann::json& description, const char* key) {
    const auto it = description.find(key);
    if (it == description.end()) return nullptr;
    if (!it->is_array()) Fail(std::string("\"") + key + "\" is not an array");
    return &*it;
}

} // namespace

const nlohmann::json* ProjectElement::FindPropertyValue(const API_Guid& definition) const {
    const auto it = std::find_if(propertyValues.begin(), propertyValues.end(),
                                 [&definition](const auto& value) { return value.first == definition; });
    return it != propertyValues.end() ? &it->second : nullptr;
}

std::size_t ApiGuidHash::operator()(const API_Guid& guid) const noexcept {
    return GS::GenerateHashValue(APIGuid2GSGuid(guid));
}

namespace {

// Entries of the GlobalId index say which GlobalId of what they stand for: another object's, or an element's own
// or external one. The index of the object or element is in the lower 30 bits.
constexpr UInt32 EntryKindShift = 30;
constexpr UInt32 EntryIndexMask = (UInt32{1} << EntryKindShift) - 1;
constexpr UInt32 OtherObjectEntry = 1;
constexpr UInt32 ElementEntry = 2;
constexpr UInt32 ExternalEntry = 3;
constexpr std::size_t MaxIndexed = EntryIndexMask - 1;

UInt32 MakeEntry(UInt32 kind, std::size_t index) {
    return kind << EntryKindShift | static_cast<UInt32>(index + 1);
}

// A power of two at least twice `count`, so that the indexes stay at most half full.
std::size_t SlotCountFor(std::size_t count) {
    std::size_t slots = 16;
    while (slots < 2 * count)
        slots *= 2;
    return slots;
}

// Spreads every bit of a hash over both halves: GUIDs made in sequence differ in few bits.
std::size_t Mix(std::size_t hash) noexcept {
    const UInt64 product = static_cast<UInt64>(hash) * 0x9E3779B97F4A7C15ULL;
    return static_cast<std::size_t>(product ^ (product >> 29));
}

std::size_t HashText(std::string_view text) noexcept {
    return Mix(std::hash<std::string_view>{}(text));
}

std::size_t HashGuid(const API_Guid& guid) noexcept {
    return Mix(ApiGuidHash{}(guid));
}

// The tag is the hash's upper half; the lower bits choose the slot.
UInt32 TagOf(std::size_t hash) noexcept {
    return static_cast<UInt32>(static_cast<UInt64>(hash) >> 32) | 1;
}

} // namespace

void ProjectDescription::Reindex() {
    BuildIndexes(elements.size());
    ++indexBuilds;
}

void ProjectDescription::BuildIndexes(std::size_t elementCapacity) {
    if (elements.size() > MaxIndexed || objects.size() > MaxIndexed) Fail("the project has too many objects");
    guidSlots.assign(SlotCountFor(elementCapacity), GuidSlot{});
    // Sized for the entries there are, not for two per element: a smaller index stays in the cache.
    std::size_t externals = 0;
    for (const ProjectElement& element : elements)
        externals += element.externalGlobalId && *element.externalGlobalId != element.globalId ? 1 : 0;
    globalIdSlots.assign(SlotCountFor(elementCapacity + externals + objects.size()), IndexSlot{});
    globalIdEntries = 0;
    indexedGuids.clear();
    indexedGuids.reserve(elementCapacity);
    indexedElements = 0;
    indexedObjects = 0;
    // Objects first, then the elements in order: a lookup meets the entries of one GlobalId in this order.
    for (std::size_t i = 0; i < objects.size(); ++i)
        AddToGlobalIdIndex(objects[i].globalId, MakeEntry(OtherObjectEntry, i));
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const ProjectElement& element = elements[i];
        if (!AddToGuidIndex(i)) {
            guidSlots.clear();
            globalIdSlots.clear();
            indexedGuids.clear();
            Fail("GUID " + ToUtf8(APIGuid2GSGuid(element.guid).ToUniString()) + " appears twice");
        }
        AddToGlobalIdIndex(element.globalId, MakeEntry(ElementEntry, i));
        if (element.externalGlobalId && *element.externalGlobalId != element.globalId)
            AddToGlobalIdIndex(*element.externalGlobalId, MakeEntry(ExternalEntry, i));
    }
    indexedElements = elements.size();
    indexedObjects = objects.size();
}

bool ProjectDescription::AddToGuidIndex(std::size_t element) {
    const API_Guid guid = elements[element].guid;
    const std::size_t mask = guidSlots.size() - 1;
    for (std::size_t slot = HashGuid(guid) & mask;; slot = (slot + 1) & mask) {
        GuidSlot& entry = guidSlots[slot];
        if (entry.entry == 0) {
            entry = GuidSlot{guid, static_cast<UInt32>(element + 1)};
            indexedGuids.push_back(guid);
            return true;
        }
        if (entry.guid == guid) return false;
    }
}

void ProjectDescription::AddToGlobalIdIndex(std::string_view globalId, UInt32 entry) {
    const std::size_t hash = HashText(globalId);
    const std::size_t mask = globalIdSlots.size() - 1;
    std::size_t slot = hash & mask;
    while (globalIdSlots[slot].entry != 0)
        slot = (slot + 1) & mask;
    globalIdSlots[slot] = IndexSlot{TagOf(hash), entry};
    ++globalIdEntries;
}

const std::string* ProjectDescription::GlobalIdOfEntry(UInt32 entry) const noexcept {
    const std::size_t index = (entry & EntryIndexMask) - 1;
    switch (entry >> EntryKindShift) {
    case OtherObjectEntry:
        return &objects[index].globalId;
    case ElementEntry:
        return &elements[index].globalId;
    default:
        return &*elements[index].externalGlobalId;
    }
}

ObjectNumber ProjectDescription::ObjectOfEntry(UInt32 entry) noexcept {
    const std::size_t index = (entry & EntryIndexMask) - 1;
    return (entry >> EntryKindShift) == OtherObjectEntry ? FirstObjectNumber + index : index + 1;
}

void ProjectDescription::AppendElement(ProjectElement element) {
    if (!IsIndexCurrent()) Reindex();
    // Growing by doubling keeps many appends linear; a growth is no rebuild of stale indexes.
    if (2 * (elements.size() + 1) > guidSlots.size() || 2 * (globalIdEntries + 2) > globalIdSlots.size())
        BuildIndexes(2 * (elements.size() + 1));
    const std::size_t index = elements.size();
    elements.push_back(std::move(element));
    if (index > MaxIndexed || !AddToGuidIndex(index)) {
        const ProjectElement refused = std::move(elements.back());
        elements.pop_back();
        Fail("GUID " + ToUtf8(APIGuid2GSGuid(refused.guid).ToUniString()) + " appears twice");
    }
    // Its number is above every other element's, so the entries of each GlobalId keep their order.
    const ProjectElement& added = elements.back();
    AddToGlobalIdIndex(added.globalId, MakeEntry(ElementEntry, index));
    if (added.externalGlobalId && *added.externalGlobalId != added.globalId)
        AddToGlobalIdIndex(*added.externalGlobalId, MakeEntry(ExternalEntry, index));
    indexedElements = elements.size();
}

bool ProjectDescription::IsIndexCurrent() const noexcept {
    return indexedElements == elements.size() && indexedObjects == objects.size() && !guidSlots.empty();
}

std::optional<std::size_t> ProjectDescription::FindElementIndex(const API_Guid& guid) const {
    if (IsIndexCurrent()) {
        const std::size_t hint = lookupHint.element.load(std::memory_order_relaxed);
        // The hinted element itself is likely at hand; its successor is compared in the dense GUID list.
        if (hint < elements.size() && elements[hint].guid == guid) return hint;
        if (hint + 1 < indexedGuids.size() && indexedGuids[hint + 1] == guid) {
            lookupHint.element.store(hint + 1, std::memory_order_relaxed);
            return hint + 1;
        }
        const std::size_t mask = guidSlots.size() - 1;
        for (std::size_t slot = HashGuid(guid) & mask;; slot = (slot + 1) & mask) {
            const GuidSlot& entry = guidSlots[slot];
            if (entry.entry == 0) return std::nullopt;
            if (entry.guid == guid) {
                lookupHint.element.store(entry.entry - 1, std::memory_order_relaxed);
                return entry.entry - 1;
            }
        }
    }
    for (std::size_t i = 0; i < elements.size(); ++i)
        if (elements[i].guid == guid) return i;
    return std::nullopt;
}

const ProjectElement* ProjectDescription::FindElement(const API_Guid& guid) const {
    const std::optional<std::size_t> index = FindElementIndex(guid);
    return index ? &elements[*index] : nullptr;
}

std::vector<ObjectNumber> ProjectDescription::FindObjects(std::string_view globalId) const {
    std::vector<ObjectNumber> found;
    ForEachObject(globalId, [&found](ObjectNumber object) { found.push_back(object); });
    return found;
}

void ProjectDescription::ForEachObject(std::string_view globalId,
                                       const std::function<void(ObjectNumber)>& visit) const {
    if (IsIndexCurrent()) {
        const std::size_t hash = HashText(globalId);
        const UInt32 tag = TagOf(hash);
        const std::size_t mask = globalIdSlots.size() - 1;
        for (std::size_t slot = hash & mask; globalIdSlots[slot].entry != 0; slot = (slot + 1) & mask) {
            const IndexSlot& entry = globalIdSlots[slot];
            if (entry.tag == tag && *GlobalIdOfEntry(entry.entry) == globalId) visit(ObjectOfEntry(entry.entry));
        }
        return;
    }
    for (std::size_t i = 0; i < objects.size(); ++i)
        if (objects[i].globalId == globalId) visit(FirstObjectNumber + i);
    for (std::size_t i = 0; i < elements.size(); ++i)
        if (elements[i].globalId == globalId || elements[i].externalGlobalId == globalId) visit(i + 1);
}

const ProjectElement* ProjectDescription::ElementOfObject(ObjectNumber object) const {
    if (object == 0 || object > elements.size()) return nullptr;
    // The element of a GlobalId is usually asked about by GUID next.
    lookupHint.element.store(static_cast<std::size_t>(object - 1), std::memory_order_relaxed);
    return &elements[static_cast<std::size_t>(object - 1)];
}

const ProjectObject* ProjectDescription::OtherObject(ObjectNumber object) const {
    if (object < FirstObjectNumber || object - FirstObjectNumber >= objects.size()) return nullptr;
    return &objects[static_cast<std::size_t>(object - FirstObjectNumber)];
}

std::optional<ObjectNumber> ProjectDescription::ObjectOfElement(const API_Guid& guid) const {
    const std::optional<std::size_t> index = FindElementIndex(guid);
    if (!index) return std::nullopt;
    return ObjectNumber{*index} + 1;
}

ProjectDescription ParseProjectDescription(const nlohmann::json& description) {
    if (!description.is_object()) Fail("the document is not an object");
    CheckKeys(description, {"name", "elements", "objects", "propertyGroups", "ifcTranslators", "publisherSets"},
              "the document");
    ProjectDescription result;
    const nlohmann::json& name = Member(description, "name", "the document");
    if (name.is_string()) {
        result.name = name.get<std::string>();
    } else if (!name.is_null()) {
        Fail("\"name\" is neither a string nor null");
    }
    if (const nlohmann::json* elements = ArrayMember(description, "elements")) {
        result.elements.reserve(elements->size());
        for (std::size_t i = 0; i < elements->size(); ++i)
            result.elements.push_back(ParseElement((*elements)[i], i));
    }
    if (const nlohmann::json* objects = ArrayMember(description, "objects")) {
        for (std::size_t i = 0; i < objects->size(); ++i)
            result.objects.push_back(ParseObject((*objects)[i], i));
    }
    if (const nlohmann::json* groups = ArrayMember(description, "propertyGroups")) {
        for (std::size_t i = 0; i < groups->size(); ++i)
            result.propertyGroups.push_back(ParsePropertyGroup((*groups)[i], i));
    }
    // Values belong to definitions the project has.
    std::unordered_set<API_Guid, ApiGuidHash> definitions;
    for (const ProjectPropertyGroup& group : result.propertyGroups)
        for (const ProjectPropertyDefinition& definition : group.definitions)
            definitions.insert(definition.guid);
    for (std::size_t i = 0; i < result.elements.size(); ++i) {
        for (const auto& [definition, value] : result.elements[i].propertyValues) {
            if (!definitions.contains(definition))
                Fail("element " + std::to_string(i + 1) + ": property " +
                     ToUtf8(APIGuid2GSGuid(definition).ToUniString()) + " is no property definition of the project");
        }
    }
    if (const nlohmann::json* translators = ArrayMember(description, "ifcTranslators")) {
        result.ifcTranslators.clear();
        for (const nlohmann::json& translator : *translators)
            result.ifcTranslators.push_back(StringValue(translator, "ifcTranslators", "the document"));
    }
    if (const auto sets = description.find("publisherSets"); sets != description.end())
        result.publisherSets = PublisherSets::Parse(*sets);
    result.Reindex();
    return result;
}

ProjectDescription LoadProjectDescription(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in) Fail("cannot read " + file.string());
    nlohmann::json document = nlohmann::json::parse(in, nullptr, false);
    if (document.is_discarded()) Fail(file.filename().string() + " is not valid JSON");
    return ParseProjectDescription(document);
}

ProjectDescription MakeSyntheticProject(std::size_t count) {
    if (count > UINT32_MAX) throw std::length_error("a synthetic project has at most 2^32 - 1 elements");
    ProjectDescription result;
    result.name = "Synthetic";
    result.elements.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto n = static_cast<UInt32>(i + 1);
        ProjectElement& element = result.elements[i];
        element.guid.time_low = n;
        element.guid.time_mid = 0x5359;            // "SY"
        element.guid.time_hi_and_version = 0x4E54; // "NT"
        element.guid.clock_seq_hi_and_reserved = 0x80;
        element.guid.node[2] = static_cast<UInt8>(n >> 24);
        element.guid.node[3] = static_cast<UInt8>(n >> 16);
        element.guid.node[4] = static_cast<UInt8>(n >> 8);
        element.guid.node[5] = static_cast<UInt8>(n);
        char text[40];
        std::snprintf(text, sizeof text, "{%08X-5359-4E54-8000-0000%08X}", n, n);
        element.guidText = text;
        element.elementId = "SYN-" + std::to_string(n);
        element.globalId = MakeIfcGlobalId(element.guid);
        element.typeID = static_cast<API_ElemTypeID>(1 + i % 3);
        const auto x = static_cast<double>(n % 100);
        const auto y = static_cast<double>(n / 100 % 100);
        const auto z = static_cast<double>(n / 10000);
        element.bounds = API_Box3D{.xMin = x, .yMin = y, .xMax = x + 1.0, .yMax = y + 1.0, .zMin = z, .zMax = z + 1.0};
    }
    result.Reindex();
    return result;
}

} // namespace HostSim
