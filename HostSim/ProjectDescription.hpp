#ifndef HOSTSIM_PROJECTDESCRIPTION_HPP
#define HOSTSIM_PROJECTDESCRIPTION_HPP

#include "IfcGlobalId.hpp"
#include "PublisherSets.hpp"

#include "APIDefinitions.hpp"

#include <nlohmann/json.hpp>

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace HostSim {

// One model element of the simulated project.
// What the element queries read comes first, so that one element costs the fewest cache lines.
struct ProjectElement {
    API_Guid guid;
    std::string globalId;                        // the one the host assigns, in the 22-character IFC form
    std::optional<std::string> externalGlobalId; // kept from the IFC file the element was imported from
    std::string elementId;                       // may be empty
    API_ElemTypeID typeID = 1;
    bool shownIn3D = true;
    bool locked = false;  // a locked element cannot be changed: queries for editable elements leave it out
    std::string guidText; // as written in the description
    std::string ifcType;  // the IFC entity the IFC export writes ("IfcWall"); empty: a building element proxy
    std::optional<API_Box3D> bounds; // none: the host cannot give the element's 3D bounds
    // The element's values of the project's property definitions, by definition GUID: each a string, number or
    // boolean, or a non-empty array of them. A vector, not a map, so that a large model without values stays small.
    std::vector<std::pair<API_Guid, nlohmann::json>> propertyValues;

    // The value of a property definition; nullptr when the element has none.
    const nlohmann::json* FindPropertyValue(const API_Guid& definition) const;
};

// An object of the model's IFC view that stands for no element (a space, a storey, an opening...).
struct ProjectObject {
    std::string globalId;
    std::string type; // a label only, e.g. "IfcBuildingStorey"
};

// A property group of the project and its definitions, in the description's order.
struct ProjectPropertyDefinition {
    API_Guid guid;
    std::string name;
};

struct ProjectPropertyGroup {
    API_Guid guid;
    std::string name;
    Int32 type = 2; // the group type code: 0 static built-in, 1 dynamic built-in, 2 custom
    std::vector<ProjectPropertyDefinition> definitions;
};

// Numbers of the objects of the IFC view: element i (0-based) is i + 1, other object j is FirstObjectNumber + j.
using ObjectNumber = UInt64;
inline constexpr ObjectNumber FirstObjectNumber = ObjectNumber{1} << 32;

struct ApiGuidHash {
    std::size_t operator()(const API_Guid& guid) const noexcept;
};

// The project open in the host: its name (none when it was never saved), its elements and its other IFC objects.
// Lookups by GUID and by GlobalId go through hash indexes that Reindex builds; after changing `elements` or
// `objects` directly, call Reindex (until then lookups fall back to a linear search when the counts differ).
struct ProjectDescription {
    std::optional<std::string> name;
    std::vector<ProjectElement> elements;
    std::vector<ProjectObject> objects;
    std::vector<ProjectPropertyGroup> propertyGroups;
    // The host's IFC export translators by name, in order.
    std::vector<std::string> ifcTranslators{"General Translator"};
    // The navigator's publisher sets with their item trees.
    PublisherSets publisherSets;

    // Throws std::runtime_error when a GUID appears twice.
    void Reindex();
    // Appends an element and adds it to current indexes in constant time, so that many appends stay linear (a
    // project whose indexes are stale is reindexed whole). Throws std::runtime_error when its GUID is taken; then
    // nothing changes.
    void AppendElement(ProjectElement element);
    // How many times the indexes were built from scratch: a check that appends do not rebuild them.
    std::size_t GetIndexBuildCount() const noexcept { return indexBuilds; }

    const ProjectElement* FindElement(const API_Guid& guid) const;
    std::optional<std::size_t> FindElementIndex(const API_Guid& guid) const;

    // Every object whose host GlobalId or external GlobalId is `globalId`: other objects first, then elements, each
    // in the order of the description; an object matching by both GlobalIds is listed once.
    std::vector<ObjectNumber> FindObjects(std::string_view globalId) const;
    // The same objects handed to `visit` one by one, without a list.
    void ForEachObject(std::string_view globalId, const std::function<void(ObjectNumber)>& visit) const;
    // The element an object number stands for; nullptr for other objects and unknown numbers.
    const ProjectElement* ElementOfObject(ObjectNumber object) const;
    const ProjectObject* OtherObject(ObjectNumber object) const;
    // The object number of the element with that GUID.
    std::optional<ObjectNumber> ObjectOfElement(const API_Guid& guid) const;

private:
    // An entry of the open-addressed GlobalId index: the upper half of the key's hash, so that most probes never
    // touch the elements, and what the key names. Both indexes are flat arrays, at most half full: a lookup on a
    // large model costs one memory access besides the element it finds.
    struct IndexSlot {
        UInt32 tag = 0;
        UInt32 entry = 0; // 0: empty
    };
    // The GUID index keeps the GUID in the slot itself: one memory access per lookup.
    struct GuidSlot {
        API_Guid guid{};
        UInt32 entry = 0; // the element's index + 1; 0: empty
    };

    bool IsIndexCurrent() const noexcept;
    void BuildIndexes(std::size_t elementCapacity);
    bool AddToGuidIndex(std::size_t element);
    void AddToGlobalIdIndex(std::string_view globalId, UInt32 entry);
    const std::string* GlobalIdOfEntry(UInt32 entry) const noexcept;
    static ObjectNumber ObjectOfEntry(UInt32 entry) noexcept;

    // The element the last GUID lookup found. Callers walk the element list in order, or ask several things of one
    // element in turn: checking it and its successor first spares those the index. Atomic, since lookups are const;
    // copies start afresh.
    struct LookupHint {
        mutable std::atomic<std::size_t> element{0};
        LookupHint() = default;
        LookupHint(const LookupHint&) noexcept {}
        LookupHint& operator=(const LookupHint&) noexcept { return *this; }
    };

    LookupHint lookupHint;
    // The elements' GUIDs by index, densely: lookups compare against these, not against the large elements.
    std::vector<API_Guid> indexedGuids;
    std::vector<GuidSlot> guidSlots;
    std::vector<IndexSlot> globalIdSlots;
    std::size_t globalIdEntries = 0;
    std::size_t indexedElements = 0;
    std::size_t indexedObjects = 0;
    std::size_t indexBuilds = 0;
};

// Reads a description (keys in README.md): {"name": "..." | null, "elements": [{"guid", "elementId"?, "globalId"?,
// "externalGlobalId"?, "typeID"?, "shownIn3D"?, "locked"?, "ifcType"?, "bounds"?: {"xMin", "yMin", "zMin", "xMax",
// "yMax", "zMax"}, "propertyValues"?: {"{definition GUID}": value}}], "objects": [{"globalId", "type"?}],
// "propertyGroups"?: [{"guid", "name", "type"?, "definitions"?: [{"guid", "name"}]}], "ifcTranslators"?: ["name",
// ...], "publisherSets"?: [{"name", "guid", "rootGuid", "items"?: [{"name", "guid", "kind"?, "format"?,
// "children"? | "childrenOf"?}]}]}. A missing GlobalId is computed from the GUID. Throws std::runtime_error naming what
// is wrong (also for unknown keys and for values of no definition).
ProjectDescription ParseProjectDescription(const nlohmann::json& description);
ProjectDescription LoadProjectDescription(const std::filesystem::path& file);

// A project named "Synthetic" with `count` elements and no other objects, the same in every run: element n
// (1-based) has the GUID {nnnnnnnn-5359-4E54-8000-0000nnnnnnnn} (n in hex), the element ID "SYN-n" (n in decimal),
// the GlobalId of its GUID, type 1 + (n - 1) % 3 and the unit box at (n % 100, n / 100 % 100, n / 10000).
ProjectDescription MakeSyntheticProject(std::size_t count);

} // namespace HostSim

#endif
