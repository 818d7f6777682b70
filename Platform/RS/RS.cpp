#include "RS.hpp"

#include "ModuleFile.hpp"
#include "ResourceImage.hpp"

#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>

namespace {

// One opened module, converted once into the host's types; readers copy out of it.
struct ModuleResources {
    std::map<GSResID, GS::Array<GS::UniString>> stringLists;
    std::map<GSResID, RS::DialogDescription> dialogs;
    std::map<GSResID, GS::Array<RS::IconImage>> icons;
    std::map<GSResID, RS::AddOnIdentification> identifications;
};

struct OpenModule {
    std::shared_ptr<const ModuleResources> resources;
    bool closed = false;
};

class ModuleRegistry {
public:
    GSResModule Add(std::shared_ptr<const ModuleResources> resources) {
        std::unique_lock lock(mutex);
        const GSResModule id = nextId++;
        modules.emplace(id, OpenModule{std::move(resources), false});
        return id;
    }

    void Remove(GSResModule id) {
        std::unique_lock lock(mutex);
        modules.erase(id);
    }

    void MarkClosed(GSResModule id) {
        std::unique_lock lock(mutex);
        if (const auto it = modules.find(id); it != modules.end()) it->second.closed = true;
    }

    // Null when the module is unknown or closed. The caller reads without the lock: the resources never change.
    std::shared_ptr<const ModuleResources> Find(GSResModule id) const {
        std::shared_lock lock(mutex);
        const auto it = modules.find(id);
        if (it == modules.end() || it->second.closed) return nullptr;
        return it->second.resources;
    }

private:
    mutable std::shared_mutex mutex;
    std::map<GSResModule, OpenModule> modules;
    GSResModule nextId = 1;
};

// Never destroyed: a module may close its resources from its own unload code, after this library's statics are gone.
ModuleRegistry& Registry() {
    static ModuleRegistry* const registry = new ModuleRegistry;
    return *registry;
}

GS::UniString FromUtf8(const std::string& text) {
    return GS::UniString(text.c_str(), static_cast<USize>(text.size()), CC_UTF8);
}

std::shared_ptr<const ModuleResources> Convert(const RS::Image::Contents& contents) {
    auto resources = std::make_shared<ModuleResources>();
    for (const auto& list : contents.stringLists) {
        GS::Array<GS::UniString>& strings = resources->stringLists[list.id];
        for (const std::string& text : list.strings)
            strings.Push(FromUtf8(text));
    }
    for (const auto& dialog : contents.dialogs) {
        RS::DialogDescription& description = resources->dialogs[dialog.id];
        description.type = static_cast<RS::DialogType>(dialog.kind);
        description.title = FromUtf8(dialog.title);
        description.x = dialog.rect.x;
        description.y = dialog.rect.y;
        description.width = dialog.rect.width;
        description.height = dialog.rect.height;
        description.name = FromUtf8(dialog.name);
        description.displayName = FromUtf8(dialog.displayName);
        Int32 index = 0;
        for (const auto& item : dialog.items) {
            RS::DialogItemDescription& itemDescription = description.items.PushNew();
            itemDescription.index = ++index;
            itemDescription.type = static_cast<RS::DialogItemType>(item.kind);
            itemDescription.name = FromUtf8(item.name);
            itemDescription.text = FromUtf8(item.text);
            itemDescription.lengthLimit = item.lengthLimit;
            itemDescription.x = item.rect.x;
            itemDescription.y = item.rect.y;
            itemDescription.width = item.rect.width;
            itemDescription.height = item.rect.height;
        }
    }
    for (const auto& icon : contents.icons) {
        GS::Array<RS::IconImage>& images = resources->icons[icon.id];
        for (const auto& image : icon.images)
            images.Push(RS::IconImage{image.width, image.height, image.dpi, image.png});
    }
    for (const auto& identification : contents.identifications)
        resources->identifications[identification.id] = {identification.developerId, identification.localId};
    return resources;
}

template <typename T>
bool CopyResource(T* result, const std::map<GSResID, T> ModuleResources::*table, GSResID id, GSResModule module) {
    if (result == nullptr) return false;
    const auto resources = Registry().Find(module);
    if (resources == nullptr) return false;
    const auto& map = (*resources).*table;
    const auto it = map.find(id);
    if (it == map.end()) return false;
    *result = it->second;
    return true;
}

} // namespace

GSResModule RSInitModuleImageCache(const void* addressInModule) {
    const auto path = RS::Impl::FindModuleFile(addressInModule);
    if (!path) return InvalidResModule;
    const auto section = RS::Impl::ReadElfSection(*path, RS::Image::SectionName);
    if (!section) return InvalidResModule;
    const auto contents = RS::Image::Read(*section);
    if (!contents) return InvalidResModule;
    return Registry().Add(Convert(*contents));
}

void RSRemoveModuleImageCache(GSResModule module) {
    Registry().Remove(module);
}

bool RSGetIndString(GS::UniString* str, GSResID listId, Int32 index, GSResModule module) {
    if (str == nullptr) return false;
    const auto resources = Registry().Find(module);
    if (resources == nullptr) return false;
    const auto it = resources->stringLists.find(listId);
    if (it == resources->stringLists.end()) return false;
    const GS::Array<GS::UniString>& strings = it->second;
    if (index < 1 || static_cast<UInt32>(index) > strings.GetSize()) return false;
    *str = strings[static_cast<UIndex>(index - 1)];
    return true;
}

bool RSGetIndString_ParamAdapter(GS::UniString* str, GSResID listId, Int32 index, GSResModule module) {
    return RSGetIndString(str, listId, index, module);
}

namespace RS {

void ResModuleClosed(GSResModule module) {
    Registry().MarkClosed(module);
}

bool GetStringList(GS::Array<GS::UniString>* result, GSResID listId, GSResModule module) {
    return CopyResource(result, &ModuleResources::stringLists, listId, module);
}

bool GetDialogDescription(DialogDescription* result, GSResID dialogId, GSResModule module) {
    return CopyResource(result, &ModuleResources::dialogs, dialogId, module);
}

bool GetIconImages(GS::Array<IconImage>* result, GSResID iconId, GSResModule module) {
    return CopyResource(result, &ModuleResources::icons, iconId, module);
}

bool GetAddOnIdentification(AddOnIdentification* result, GSResID resId, GSResModule module) {
    return CopyResource(result, &ModuleResources::identifications, resId, module);
}

} // namespace RS
