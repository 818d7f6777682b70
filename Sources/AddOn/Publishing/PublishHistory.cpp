#include "PublishHistory.hpp"

#include "FileContent.hpp"
#include "HostEnvironment.hpp"
#include "PlainFileName.hpp"
#include "PublishState.hpp"
#include "PublishWorkFolders.hpp"
#include "QuillmarPalette.hpp"
#include "ScriptArguments.hpp"
#include "Transfer/FolderFiles.hpp"

#include "JDOMStringParser.hpp"
#include "JDOMStringWriter.hpp"
#include "JSONValues.hpp"
#include "Location.hpp"
#include "Name.hpp"

#include <cstring>
#include <optional>

namespace {

// The keys a prepared item may hold beside "filePath", "key" and "title", in the order a rebuilt item has them.
const char* const OptionalItemKeys[] = {"ext",     "isLeaf",     "folder",   "isImport",
                                        "docName", "discipline", "building", "floor"};

std::optional<IO::Location> HistoryFile(const GS::UniString& projectId) {
    if (!IsPlainFileName(projectId)) return std::nullopt;
    const GS::UniString folder = GetDataSubfolder("Publish History");
    if (folder.IsEmpty()) return std::nullopt;
    IO::Location file(folder);
    if (file.AppendToLocal(IO::Name(projectId + ".phs")) != NoError) return std::nullopt;
    return file;
}

GS::UniString ToText(const JSON::ValueRef& value) {
    JSON::JDOMStringWriter writer(false, 0);
    writer.Write(value);
    return writer.GetString();
}

// The stored items whose prepared file is still in "PreparePublish", rebuilt with that file's path; "" when the
// text is no array of objects, an item is unreadable or the folder cannot be had.
GS::UniString RebuildItems(const GS::UniString& storedItems) {
    const GS::Ref<JSON::ArrayValue> stored =
        GS::DynamicCast<JSON::ArrayValue>(JSON::JDOMStringParser().Parse(storedItems));
    if (stored == nullptr) return GS::UniString();
    const std::optional<IO::Location> folder = OpenWorkFolder(PreparePublishFolder, false);
    if (!folder) return GS::UniString();
    PreparedNames prepared(ListFolderFiles(*folder, false));

    const GS::Ref<JSON::ArrayValue> rebuilt = GS::NewRef<JSON::ArrayValue>();
    for (UIndex i = 0; i < stored->GetSize(); ++i) {
        const GS::Ref<JSON::ObjectValue> item = GS::DynamicCast<JSON::ObjectValue>(stored->Get(i));
        if (item == nullptr) return GS::UniString();
        const JSON::ValueRef keyValue = item->Get("key");
        const GS::Ref<JSON::StringValue> key = GS::DynamicCast<JSON::StringValue>(keyValue);
        if (keyValue != nullptr && key == nullptr) return GS::UniString();
        const std::optional<GS::UniString> name = key != nullptr ? prepared.Find(key->Get()) : std::nullopt;
        if (!name) continue; // its file has gone (or it names none): the document must be published again
        const GS::Ref<JSON::StringValue> title = item->GetAs<JSON::StringValue>("title");
        IO::Location file = *folder;
        GS::UniString path;
        if (title == nullptr || file.AppendToLocal(IO::Name(*name)) != NoError || file.ToPath(&path) != NoError)
            return GS::UniString();

        const GS::Ref<JSON::ObjectValue> kept = GS::NewRef<JSON::ObjectValue>();
        kept->Add("filePath", path);
        kept->Add("key", key->Get());
        kept->Add("title", title->Get());
        for (const char* optional : OptionalItemKeys)
            if (const JSON::ValueRef value = item->Get(optional); value != nullptr) kept->Add(optional, value);
        rebuilt->Add(kept);
    }
    return ToText(rebuilt);
}

GS::Ref<JSON::ObjectValue> ParseObject(const GS::UniString& text) {
    // Not an object, or a key of another type, counts as unreadable rather than raising "Bad cast.".
    return GS::DynamicCast<JSON::ObjectValue>(JSON::JDOMStringParser().Parse(text));
}

} // namespace

GS::Ref<JS::Base> SavePublishHistory(const GS::Ref<JS::Base>&) {
    if (!QuillmarPalette::HasInstance()) return MakeBoolResult(true);
    const PublishRecord& record = QuillmarPalette::GetInstance().GetPublishState().publishRecord;
    if (record.projectId.IsEmpty()) return MakeBoolResult(true);
    const std::optional<IO::Location> file = HistoryFile(record.projectId);
    if (!file) return MakeBoolResult(true);

    const GS::Ref<JSON::ObjectValue> content = GS::NewRef<JSON::ObjectValue>();
    content->Add("publishSet", record.publishSet);
    content->Add("publishItems", record.publishItems);
    const GS::UniString::CStr bytes = ToText(content).ToCStr(CC_Default);
    // A failed write is not reported; the earlier history stays whole.
    (void)ReplaceFileContent(*file, bytes.Get(), static_cast<USize>(std::strlen(bytes.Get())));
    return MakeBoolResult(true);
}

GS::Ref<JS::Base> GetPublishHistory(const GS::Ref<JS::Base>& argument) {
    if (!QuillmarPalette::HasInstance()) return MakeBoolResult(true);
    PublishRecord& record = QuillmarPalette::GetInstance().GetPublishState().publishRecord;
    const GS::UniString projectId = DecodeStringArgument(argument);
    if (record.projectId == projectId) return MakeBoolResult(true);
    const std::optional<IO::Location> file = HistoryFile(projectId);
    if (!file) return MakeBoolResult(true);
    const std::optional<GS::UniString> text = ReadFileText(*file);
    if (!text) return MakeBoolResult(true);

    const GS::Ref<JSON::ObjectValue> content = ParseObject(*text);
    if (content == nullptr) return MakeBoolResult(true);
    const GS::Ref<JSON::StringValue> storedItems = content->GetAs<JSON::StringValue>("publishItems");
    const GS::Ref<JSON::StringValue> publishSet = content->GetAs<JSON::StringValue>("publishSet");
    if (storedItems == nullptr || publishSet == nullptr) return MakeBoolResult(true);
    const GS::UniString items = RebuildItems(storedItems->Get());
    if (items.IsEmpty()) return MakeBoolResult(true);
    record = PublishRecord{projectId, publishSet->Get(), items};
    return MakeBoolResult(true);
}

GS::Ref<JS::Base> SetPublishHistory(const GS::Ref<JS::Base>& argument) {
    if (!QuillmarPalette::HasInstance()) return MakeBoolResult(true);
    const GS::Ref<JSON::ObjectValue> request = ParseObject(DecodeStringArgument(argument));
    if (request == nullptr) return MakeBoolResult(true);
    const GS::Ref<JSON::StringValue> projectId = request->GetAs<JSON::StringValue>("projectId");
    const GS::Ref<JSON::StringValue> publishItems = request->GetAs<JSON::StringValue>("publishItems");
    const JSON::ValueRef publishSetValue = request->Get("publishSet");
    const GS::Ref<JSON::StringValue> publishSet = GS::DynamicCast<JSON::StringValue>(publishSetValue);
    if (projectId == nullptr || publishItems == nullptr || (publishSetValue != nullptr && publishSet == nullptr))
        return MakeBoolResult(true);
    PublishRecord& record = QuillmarPalette::GetInstance().GetPublishState().publishRecord;
    record.projectId = projectId->Get();
    record.publishItems = publishItems->Get();
    if (publishSet != nullptr) record.publishSet = publishSet->Get();
    return MakeBoolResult(true);
}
