#ifndef HOSTSIM_PUBLISHERSETS_HPP
#define HOSTSIM_PUBLISHERSETS_HPP

#include "APIDefinitions.hpp"
#include "Guid.hpp"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace HostSim {

enum class PublisherItemKind { View, Layout, Folder };
// What publishing an item writes: layouts are always PDF, views one of the three.
enum class PublishFormat { Pdf, Png, Dxf };

// One node of a publisher set's tree below its root.
struct PublisherItem {
    API_Guid guid;
    std::string name; // UTF-8
    PublisherItemKind kind = PublisherItemKind::View;
    PublishFormat format = PublishFormat::Png;
    std::vector<API_Guid> children; // its own children, in order
    // The host answers a children query for this item with the children of that node (a set's root or another
    // item): a tree that repeats or loops, as a damaged project can have. Only for items without own children.
    std::optional<API_Guid> childrenOf;
    API_Guid set; // the set the item belongs to
};

struct PublisherSet {
    API_Guid guid;
    std::string name; // UTF-8; the host hands it out as narrow text in the default character code
    API_Guid rootGuid;
    std::vector<API_Guid> items; // the root's children, in order
};

// The publisher sets of a project, in the host's order, with their items found by GUID in constant time. Every GUID
// (of a set, a root or an item) appears once.
class PublisherSets {
public:
    const std::vector<PublisherSet>& GetSets() const noexcept { return sets; }
    const PublisherSet* FindSet(const API_Guid& guid) const;
    const PublisherItem* FindItem(const API_Guid& guid) const;
    // The set whose root has that GUID.
    const PublisherSet* FindRoot(const API_Guid& guid) const;
    // The children a query for `node` (a root or an item) answers, in order; nullopt for a GUID of neither.
    std::optional<std::vector<const PublisherItem*>> ChildrenOf(const API_Guid& node) const;

    // Builds the sets from a description's "publisherSets" value. Throws std::runtime_error naming the fault: a
    // value of the wrong type, an unknown or missing key, a GUID that is no GUID or appears twice, "childrenOf"
    // naming no node, a node with "childrenOf" itself, or an item that also has "children".
    static PublisherSets Parse(const nlohmann::json& value);

private:
    std::vector<PublisherSet> sets;
    std::vector<PublisherItem> items;
    std::unordered_map<GS::Guid, std::size_t> setIndex;
    std::unordered_map<GS::Guid, std::size_t> rootIndex;
    std::unordered_map<GS::Guid, std::size_t> itemIndex;
};

// The file extension of a format, without the dot.
const char* FormatExtension(PublishFormat format);

// A planned fault of a publisher-set command for one set, node or item.
enum class PublishFaultKind {
    Fail,     // the command answers APIERR_GENERAL and changes nothing
    NoFile,   // 'PUBL' succeeds and writes nothing
    TwoFiles, // 'PUBL' succeeds and writes a second file beside the item's
};

struct PublishFault {
    UInt32 command = 0; // 'GNSE' (a set's GUID), 'GNCI' (a root's or an item's) or 'PUBL' (an item's)
    API_Guid guid;
    PublishFaultKind kind = PublishFaultKind::Fail;
};

using PublishFaults = std::vector<PublishFault>;

// The fault planned for that command and GUID; nullptr when none.
const PublishFault* FindPublishFault(const PublishFaults& faults, UInt32 command, const API_Guid& guid);

// Reads {"host": {"publishFaults": [{"command": "GNCI", "guid": "{...}", "fault": "fail"}, ...]}}: each GUID must
// name a set (GNSE), a root or an item (GNCI) or an item (PUBL) of `sets`; "fault" is "fail" (the default) or, for
// PUBL, "noFile" or "twoFiles". Throws std::invalid_argument naming the fault.
PublishFaults ParsePublishFaults(const nlohmann::json& value, const PublisherSets& sets);

} // namespace HostSim

#endif
