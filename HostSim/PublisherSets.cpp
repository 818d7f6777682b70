#include "PublisherSets.hpp"

#include "ScriptValues.hpp"

#include <algorithm>
#include <stdexcept>

namespace HostSim {

namespace {

// Deeper trees are typing accidents; reading them would recurse without bound.
constexpr std::size_t MaxItemDepth = 512;

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error("project description: " + what);
}

void CheckKeys(const nlohmann::json& object, std::initializer_list<const char*> known, const std::string& where) {
    if (!object.is_object()) Fail(where + " is not an object");
    for (const auto& [key, value] : object.items()) {
        if (std::none_of(known.begin(), known.end(), [&key](const char* k) { return key == k; }))
            Fail(where + " has an unknown key \"" + key + "\"");
    }
}

std::string StringMember(const nlohmann::json& object, const char* key, const std::string& where) {
    const auto it = object.find(key);
    if (it == object.end()) Fail(where + " has no \"" + key + "\"");
    if (!it->is_string()) Fail(where + ": \"" + key + "\" is not a string");
    return it->get<std::string>();
}

API_Guid GuidMember(const nlohmann::json& object, const char* key, const std::string& where) {
    const std::string text = StringMember(object, key, where);
    GS::Guid guid;
    if (!GS::Guid::TryParse(ToUniString(text), guid) || guid.IsNull())
        Fail(where + ": \"" + key + "\" \"" + text + "\" is not a GUID");
    return GSGuid2APIGuid(guid);
}

std::string GuidText(const API_Guid& guid) {
    return ToUtf8(APIGuid2GSGuid(guid).ToUniString());
}

class Reader {
public:
    explicit Reader(std::vector<PublisherItem>& items) : items(items) {}

    // Reads the items of an array, each named `prefix` and its position, and returns their GUIDs; items are
    // appended depth first.
    std::vector<API_Guid> ReadItems(const nlohmann::json& array, const API_Guid& set, const std::string& prefix,
                                    std::size_t depth) {
        if (depth > MaxItemDepth)
            Fail(prefix + "1: items nest deeper than " + std::to_string(MaxItemDepth) + " levels");
        std::vector<API_Guid> guids;
        for (std::size_t i = 0; i < array.size(); ++i)
            guids.push_back(ReadItem(array[i], set, prefix + std::to_string(i + 1), depth));
        return guids;
    }

private:
    API_Guid ReadItem(const nlohmann::json& item, const API_Guid& set, const std::string& where, std::size_t depth) {
        CheckKeys(item, {"name", "guid", "kind", "format", "children", "childrenOf"}, where);
        PublisherItem result;
        result.set = set;
        result.name = StringMember(item, "name", where);
        result.guid = GuidMember(item, "guid", where);
        const std::string kind = item.contains("kind") ? StringMember(item, "kind", where) : "view";
        if (kind == "view") {
            result.kind = PublisherItemKind::View;
        } else if (kind == "layout") {
            result.kind = PublisherItemKind::Layout;
            result.format = PublishFormat::Pdf;
        } else if (kind == "folder") {
            result.kind = PublisherItemKind::Folder;
        } else {
            Fail(where + ": \"kind\" is not \"view\", \"layout\" or \"folder\"");
        }
        if (item.contains("format")) {
            const std::string format = StringMember(item, "format", where);
            if (result.kind == PublisherItemKind::Folder) Fail(where + ": a folder has no \"format\"");
            if (format == "pdf") {
                result.format = PublishFormat::Pdf;
            } else if (format == "png" && result.kind == PublisherItemKind::View) {
                result.format = PublishFormat::Png;
            } else if (format == "dxf" && result.kind == PublisherItemKind::View) {
                result.format = PublishFormat::Dxf;
            } else {
                Fail(where + ": \"format\" of a " + kind + " is not " +
                     (result.kind == PublisherItemKind::View ? "\"pdf\", \"png\" or \"dxf\"" : "\"pdf\""));
            }
        }
        if (item.contains("childrenOf")) {
            if (item.contains("children")) Fail(where + " has both \"children\" and \"childrenOf\"");
            result.childrenOf = GuidMember(item, "childrenOf", where);
        }
        // The item's place is taken before its children, so that the order is depth first.
        const std::size_t index = items.size();
        items.push_back(std::move(result));
        if (const auto children = item.find("children"); children != item.end()) {
            if (!children->is_array()) Fail(where + ": \"children\" is not an array");
            std::vector<API_Guid> guids = ReadItems(*children, set, where + ".", depth + 1);
            items[index].children = std::move(guids);
        }
        return items[index].guid;
    }

    std::vector<PublisherItem>& items;
};

} // namespace

const PublisherSet* PublisherSets::FindSet(const API_Guid& guid) const {
    const auto it = setIndex.find(APIGuid2GSGuid(guid));
    return it != setIndex.end() ? &sets[it->second] : nullptr;
}

const PublisherItem* PublisherSets::FindItem(const API_Guid& guid) const {
    const auto it = itemIndex.find(APIGuid2GSGuid(guid));
    return it != itemIndex.end() ? &items[it->second] : nullptr;
}

const PublisherSet* PublisherSets::FindRoot(const API_Guid& guid) const {
    const auto it = rootIndex.find(APIGuid2GSGuid(guid));
    return it != rootIndex.end() ? &sets[it->second] : nullptr;
}

std::optional<std::vector<const PublisherItem*>> PublisherSets::ChildrenOf(const API_Guid& node) const {
    const std::vector<API_Guid>* guids = nullptr;
    if (const PublisherSet* set = FindRoot(node)) {
        guids = &set->items;
    } else if (const PublisherItem* item = FindItem(node)) {
        // Parse made sure the node named is a root or an item without a link of its own.
        if (item->childrenOf) return ChildrenOf(*item->childrenOf);
        guids = &item->children;
    } else {
        return std::nullopt;
    }
    std::vector<const PublisherItem*> children;
    children.reserve(guids->size());
    for (const API_Guid& guid : *guids)
        children.push_back(FindItem(guid));
    return children;
}

PublisherSets PublisherSets::Parse(const nlohmann::json& value) {
    if (!value.is_array()) Fail("\"publisherSets\" is not an array");
    PublisherSets result;
    Reader reader(result.items);
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::string where = "publisher set " + std::to_string(i + 1);
        const nlohmann::json& set = value[i];
        CheckKeys(set, {"name", "guid", "rootGuid", "items"}, where);
        PublisherSet parsed;
        parsed.name = StringMember(set, "name", where);
        parsed.guid = GuidMember(set, "guid", where);
        parsed.rootGuid = GuidMember(set, "rootGuid", where);
        if (const auto items = set.find("items"); items != set.end()) {
            if (!items->is_array()) Fail(where + ": \"items\" is not an array");
            parsed.items = reader.ReadItems(*items, parsed.guid, where + " item ", 1);
        }
        result.sets.push_back(std::move(parsed));
    }

    // One GUID names one thing, whatever kind: queries and faults find nodes by GUID alone.
    std::unordered_map<GS::Guid, std::size_t> seen;
    const auto take = [&seen](const API_Guid& guid, std::size_t index, std::unordered_map<GS::Guid, std::size_t>& map) {
        if (!seen.emplace(APIGuid2GSGuid(guid), index).second) Fail("GUID " + GuidText(guid) + " appears twice");
        map.emplace(APIGuid2GSGuid(guid), index);
    };
    for (std::size_t i = 0; i < result.sets.size(); ++i) {
        take(result.sets[i].guid, i, result.setIndex);
        take(result.sets[i].rootGuid, i, result.rootIndex);
    }
    for (std::size_t i = 0; i < result.items.size(); ++i)
        take(result.items[i].guid, i, result.itemIndex);

    for (const PublisherItem& item : result.items) {
        if (!item.childrenOf) continue;
        const PublisherItem* target = result.FindItem(*item.childrenOf);
        if (target == nullptr && result.FindRoot(*item.childrenOf) == nullptr)
            Fail("item " + GuidText(item.guid) + ": \"childrenOf\" names no root or item");
        if (target != nullptr && target->childrenOf)
            Fail("item " + GuidText(item.guid) + ": \"childrenOf\" names an item that has \"childrenOf\" itself");
    }
    return result;
}

const char* FormatExtension(PublishFormat format) {
    switch (format) {
    case PublishFormat::Pdf:
        return "pdf";
    case PublishFormat::Png:
        return "png";
    case PublishFormat::Dxf:
        return "dxf";
    }
    return "";
}

const PublishFault* FindPublishFault(const PublishFaults& faults, UInt32 command, const API_Guid& guid) {
    const auto it = std::find_if(faults.begin(), faults.end(), [&](const PublishFault& fault) {
        return fault.command == command && fault.guid == guid;
    });
    return it != faults.end() ? &*it : nullptr;
}

PublishFaults ParsePublishFaults(const nlohmann::json& value, const PublisherSets& sets) {
    const auto fail = [](const std::string& what) { throw std::invalid_argument("\"publishFaults\": " + what); };
    if (!value.is_array()) fail("must be an array of {\"command\", \"guid\", \"fault\"?}");
    PublishFaults faults;
    for (const nlohmann::json& entry : value) {
        if (!entry.is_object()) fail("each entry is an object {\"command\", \"guid\", \"fault\"?}");
        for (const auto& [key, member] : entry.items())
            if (key != "command" && key != "guid" && key != "fault") fail("unknown key \"" + key + "\"");
        const auto command = entry.find("command");
        const auto guidText = entry.find("guid");
        if (command == entry.end() || !command->is_string() || guidText == entry.end() || !guidText->is_string())
            fail("each entry names a \"command\" and a \"guid\"");
        PublishFault fault;
        const std::string code = command->get<std::string>();
        GS::Guid guid;
        if (!GS::Guid::TryParse(ToUniString(guidText->get<std::string>()), guid))
            fail("\"" + guidText->get<std::string>() + "\" is not a GUID");
        fault.guid = GSGuid2APIGuid(guid);
        bool known = false;
        if (code == "GNSE") {
            fault.command = APICmd_GetNavigatorSet;
            known = sets.FindSet(fault.guid) != nullptr;
        } else if (code == "GNCI") {
            fault.command = APICmd_GetNavigatorChildrenItems;
            known = sets.FindRoot(fault.guid) != nullptr || sets.FindItem(fault.guid) != nullptr;
        } else if (code == "PUBL") {
            fault.command = APICmd_Publish;
            known = sets.FindItem(fault.guid) != nullptr;
        } else {
            fail("\"command\" is \"GNSE\", \"GNCI\" or \"PUBL\", not \"" + code + "\"");
        }
        if (!known)
            fail(code + " " + guidText->get<std::string>() + " names no " +
                 (code == "GNSE"   ? "publisher set"
                  : code == "GNCI" ? "root or item"
                                   : "item") +
                 " of the project");
        if (const auto kind = entry.find("fault"); kind != entry.end()) {
            if (*kind == "noFile" && code == "PUBL") {
                fault.kind = PublishFaultKind::NoFile;
            } else if (*kind == "twoFiles" && code == "PUBL") {
                fault.kind = PublishFaultKind::TwoFiles;
            } else if (*kind != "fail") {
                fail("\"fault\" is \"fail\"" + std::string(code == "PUBL" ? ", \"noFile\" or \"twoFiles\"" : ""));
            }
        }
        // A later entry for the same command and GUID replaces the earlier one.
        std::erase_if(faults, [&fault](const PublishFault& earlier) {
            return earlier.command == fault.command && earlier.guid == fault.guid;
        });
        faults.push_back(fault);
    }
    return faults;
}

} // namespace HostSim
