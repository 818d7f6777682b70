#include "FileTypeManager.hpp"

#include <algorithm>
#include <map>
#include <mutex>

namespace FTM {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<TypeID, FileType> types; // ordered by identifier, so searches see types in registration order
    TypeID nextId = 1;
};

Registry& GetRegistry() {
    static Registry registry;
    return registry;
}

GS::UniString OrEmpty(const char* text) {
    return text == nullptr ? GS::UniString() : GS::UniString(text);
}

} // namespace

ContentRecognizer::~ContentRecognizer() = default;

FileType::FileType(const char* descriptionText, const char* extensionText, UInt32 type, UInt32 creator, Int32 icon,
                   const ContentRecognizer* contentRecognizer, const char* mime, bool recognizeByExtension)
    : description(OrEmpty(descriptionText)), extension(OrEmpty(extensionText)), typeCode(type), creatorCode(creator),
      iconId(icon), recognizer(contentRecognizer), mimeType(OrEmpty(mime)), byExtension(recognizeByExtension) {}

bool FileType::Matches(const FileType& other) const {
    return extension.IsEqual(other.extension, GS::CaseInsensitive) && typeCode == other.typeCode &&
           creatorCode == other.creatorCode;
}

FileTypeManager::FileTypeManager(const char* managerName) : name(OrEmpty(managerName)) {}

FileTypeManager::~FileTypeManager() {
    Registry& registry = GetRegistry();
    std::lock_guard lock(registry.mutex);
    for (TypeID id : ownTypes)
        registry.types.erase(id);
}

TypeID FileTypeManager::SearchForType(const FileType& type, GroupID group) {
    if (group != RootGroup) return UnknownType;
    Registry& registry = GetRegistry();
    std::lock_guard lock(registry.mutex);
    const auto it = std::find_if(registry.types.begin(), registry.types.end(),
                                 [&](const auto& entry) { return entry.second.Matches(type); });
    return it == registry.types.end() ? UnknownType : it->first;
}

TypeID FileTypeManager::AddType(const FileType& type, GroupID group) {
    if (group != RootGroup) return UnknownType;
    Registry& registry = GetRegistry();
    std::lock_guard lock(registry.mutex);
    const TypeID id = registry.nextId++;
    registry.types.emplace(id, type);
    ownTypes.Push(id);
    return id;
}

bool FileTypeManager::GetType(TypeID id, FileType* type) {
    Registry& registry = GetRegistry();
    std::lock_guard lock(registry.mutex);
    const auto it = registry.types.find(id);
    if (it == registry.types.end() || type == nullptr) return false;
    *type = it->second;
    return true;
}

} // namespace FTM
