// The navigator's publisher sets: counting and reading sets, the children of their items, and publishing items into
// files.

#include "HostServices.hpp"

#include "PlanDrawing.hpp"
#include "ScriptValues.hpp"

#include "CH.hpp"

#include <system_error>

namespace HostSim {

namespace {

std::string GuidText(const API_Guid& guid) {
    return ToUtf8(APIGuid2GSGuid(guid).ToUniString());
}

API_NavigatorItemTypeID ItemType(PublisherItemKind kind) {
    switch (kind) {
    case PublisherItemKind::View:
        return API_ViewNavItem;
    case PublisherItemKind::Layout:
        return API_LayoutNavItem;
    case PublisherItemKind::Folder:
        return API_FolderNavItem;
    }
    return API_UndefinedNavItem;
}

// A name as a file or folder name: characters that no file system takes become "_"; a name of dots or nothing
// becomes "_"; long names are cut (never inside a character).
std::string FileNameOf(const std::string& name) {
    constexpr std::size_t MaxBytes = 120;
    std::string result;
    for (const char ch : name) {
        const bool illegal =
            static_cast<unsigned char>(ch) < 0x20 || std::string_view("/\\:*?\"<>|").find(ch) != std::string_view::npos;
        result += illegal ? '_' : ch;
    }
    if (result.size() > MaxBytes) {
        std::size_t cut = MaxBytes;
        while (cut > 0 && (static_cast<unsigned char>(result[cut]) & 0xC0) == 0x80)
            --cut;
        result.resize(cut);
    }
    if (result.find_first_not_of('.') == std::string::npos) result.assign(1, '_');
    return result;
}

// The picture and paper a publish uses: what a user's publisher set would hold by default.
API_SavePars_Picture PublishPicture() {
    API_SavePars_Picture picture;
    picture.colorDepth = APIColorDepth_TC24;
    picture.view2D = 1;
    return picture;
}

API_SavePars_Pdf PublishPaper() {
    // A3 landscape, as a layout sheet.
    API_SavePars_Pdf paper;
    paper.sizeX = 1190.0f;
    paper.sizeY = 842.0f;
    paper.leftMargin = paper.topMargin = paper.rightMargin = paper.bottomMargin = 28.0f;
    return paper;
}

} // namespace

void HostServices::RegisterPublisherCommands() {
    // Arguments as APIDefinitions.hpp gives them for each code. Unknown sets and items are no misuse: they only fail.
    RegisterCommand(APICmd_GetNavigatorSetNum, [this](void* arg1, void*, void*, void*) {
        auto* count = static_cast<Int32*>(arg1);
        if (count == nullptr) {
            transcript->Error("GNSN: no count to fill");
            return APIERR_BADPARS;
        }
        *count = static_cast<Int32>(state.project.publisherSets.GetSets().size());
        return NoError;
    });
    RegisterCommand(APICmd_GetNavigatorSet, [this](void* arg1, void* arg2, void*, void*) {
        auto* record = static_cast<API_NavigatorSet*>(arg1);
        const auto* index = static_cast<const Int32*>(arg2);
        if (record == nullptr || index == nullptr) {
            transcript->Error("GNSE: no set record or no index");
            return APIERR_BADPARS;
        }
        if (record->mapId != API_PublisherSets) {
            transcript->Error("GNSE: map " + std::to_string(record->mapId) + " is not simulated");
            return APIERR_BADPARS;
        }
        const std::vector<PublisherSet>& sets = state.project.publisherSets.GetSets();
        if (*index < 0 || static_cast<std::size_t>(*index) >= sets.size()) return APIERR_BADPARS;
        const PublisherSet& set = sets[static_cast<std::size_t>(*index)];
        if (FindPublishFault(state.publishFaults, APICmd_GetNavigatorSet, set.guid) != nullptr) {
            transcript->Write(Line{{"failed", "GNSE"}, {"guid", GuidText(set.guid)}});
            return APIERR_GENERAL;
        }
        const GS::UniString name = ToUniString(set.name);
        CHTruncate(name.ToCStr(CC_Default).Get(), record->name, API_LongNameLen);
        record->guid = set.guid;
        record->rootGuid = set.rootGuid;
        return NoError;
    });
    RegisterCommand(APICmd_GetNavigatorChildrenItems, [this](void* arg1, void* arg2, void*, void*) {
        const auto* parent = static_cast<const API_NavigatorItem*>(arg1);
        auto* children = static_cast<GS::Array<API_NavigatorItem>*>(arg2);
        if (parent == nullptr || children == nullptr) {
            transcript->Error("GNCI: no parent item or no list to fill");
            return APIERR_BADPARS;
        }
        if (parent->mapId != API_PublisherSets) {
            transcript->Error("GNCI: map " + std::to_string(parent->mapId) + " is not simulated");
            return APIERR_BADPARS;
        }
        const std::optional<std::vector<const PublisherItem*>> found =
            state.project.publisherSets.ChildrenOf(parent->guid);
        if (!found) return APIERR_BADPARS;
        if (FindPublishFault(state.publishFaults, APICmd_GetNavigatorChildrenItems, parent->guid) != nullptr) {
            transcript->Write(Line{{"failed", "GNCI"}, {"guid", GuidText(parent->guid)}});
            return APIERR_GENERAL;
        }
        children->Clear();
        children->SetCapacity(static_cast<USize>(found->size()));
        for (const PublisherItem* child : *found) {
            API_NavigatorItem item;
            item.uName = ToUniString(child->name);
            item.guid = child->guid;
            item.mapId = API_PublisherSets;
            item.itemType = ItemType(child->kind);
            children->Push(item);
        }
        return NoError;
    });
    RegisterCommand(APICmd_Publish, [this](void* arg1, void* arg2, void*, void*) {
        const auto* params = static_cast<const API_PublishPars*>(arg1);
        const auto* selected = static_cast<const GS::Array<API_Guid>*>(arg2);
        if (params == nullptr || params->path == nullptr || selected == nullptr || selected->IsEmpty()) {
            transcript->Error("PUBL: no parameters, no output folder or no item to publish");
            return APIERR_BADPARS;
        }
        const PublisherSets& sets = state.project.publisherSets;
        const PublisherSet* set = sets.FindSet(params->guid);
        if (set == nullptr) return APIERR_BADPARS;
        std::vector<const PublisherItem*> items;
        for (const API_Guid& guid : *selected) {
            const PublisherItem* item = sets.FindItem(guid);
            if (item == nullptr || !(item->set == set->guid)) return APIERR_BADPARS;
            items.push_back(item);
        }
        // The host writes into a folder that is there; it makes only its own subfolders.
        const std::filesystem::path folder = params->path->ToFileSystemPath();
        std::error_code error;
        if (folder.empty() || !std::filesystem::is_directory(folder, error)) return APIERR_GENERAL;
        for (const PublisherItem* item : items) {
            const GSErrCode result = PublishItem(*set, *item, folder / FileNameOf(set->name));
            if (result != NoError) return result;
        }
        return NoError;
    });
}

GSErrCode HostServices::PublishItem(const PublisherSet& set, const PublisherItem& item,
                                    const std::filesystem::path& folder) {
    const PublishFault* fault = FindPublishFault(state.publishFaults, APICmd_Publish, item.guid);
    if (fault != nullptr && fault->kind == PublishFaultKind::Fail) {
        transcript->Write(Line{{"failed", "PUBL"}, {"guid", GuidText(item.guid)}});
        return APIERR_GENERAL;
    }
    std::vector<std::filesystem::path> files;
    if (fault == nullptr || fault->kind != PublishFaultKind::NoFile) {
        if (!PublishFiles(item, folder, fault != nullptr ? 2 : 1, files)) {
            transcript->Write(Line{{"published", Line{{"set", set.name}, {"item", item.name}, {"error", true}}}});
            return APIERR_GENERAL;
        }
    }
    Line written = Line::array();
    for (const std::filesystem::path& file : files)
        written.push_back(file.string());
    transcript->Write(Line{{"published", Line{{"set", set.name}, {"item", item.name}, {"files", std::move(written)}}}});
    return NoError;
}

bool HostServices::PublishFiles(const PublisherItem& item, const std::filesystem::path& folder, int copies,
                                std::vector<std::filesystem::path>& files) {
    std::error_code error;
    if (item.kind == PublisherItemKind::Folder) {
        // A folder publishes what it holds, in a folder of its name.
        const std::filesystem::path inner = folder / FileNameOf(item.name);
        std::filesystem::create_directories(inner, error);
        if (error) return false;
        for (const API_Guid& guid : item.children) {
            const PublisherItem* child = state.project.publisherSets.FindItem(guid);
            if (child == nullptr || !PublishFiles(*child, inner, copies, files)) return false;
        }
        return true;
    }
    std::filesystem::create_directories(folder, error);
    if (error) return false;
    const std::string base = FileNameOf(item.name);
    const std::string extension = FormatExtension(item.format);
    for (int copy = 1; copy <= copies; ++copy) {
        const std::filesystem::path file =
            folder / (base + (copy == 1 ? "" : " (" + std::to_string(copy) + ")") + "." + extension);
        bool written = false;
        switch (item.format) {
        case PublishFormat::Pdf:
            written = WritePlanPdf(file, state.project, PublishPaper());
            break;
        case PublishFormat::Png:
            written = WritePlanPicture(file, state.project, PublishPicture(), PlanPictureFormat::Png);
            break;
        case PublishFormat::Dxf:
            written = WritePlanDxf(file, state.project);
            break;
        }
        if (!written) return false;
        files.push_back(file);
    }
    return true;
}

} // namespace HostSim
