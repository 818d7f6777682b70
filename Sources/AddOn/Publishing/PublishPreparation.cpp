#include "PublishPreparation.hpp"

#include "HostBinding/AddOnProcess.hpp"
#include "HostBinding/HostOperations.hpp"
#include "HostEnvironment.hpp"
#include "PlainFileName.hpp"
#include "PublishFolderEnumerator.hpp"
#include "PublishReportDialog.hpp"
#include "PublishState.hpp"
#include "PublishWorkFolders.hpp"
#include "QuillmarPalette.hpp"
#include "ScriptArguments.hpp"
#include "Transfer/FolderFiles.hpp"

#include "DGAlert.hpp"
#include "FileSystem.hpp"
#include "Guid.hpp"
#include "JDOMStringParser.hpp"
#include "JDOMStringWriter.hpp"
#include "JSONValues.hpp"
#include "Name.hpp"

#include <optional>

namespace {

const char* const PublishingGerman = "Jetzt wird Archicad einige Artikel veröffentlichen.Es dauert einige Minuten.";
const char* const PublishingEnglish = "Now Archicad is going to publish the some items.It will take several minutes.";

// Keys of a request's item that return to the page unchanged, in the order a prepared item has them, with the JSON
// type each must have.
struct PassedKey {
    const char* name;
    JSON::Value::Type type;
};
const PassedKey PassedKeys[] = {
    {"isLeaf", JSON::Value::Type::Bool},       {"folder", JSON::Value::Type::String},
    {"isImport", JSON::Value::Type::Bool},     {"docName", JSON::Value::Type::String},
    {"discipline", JSON::Value::Type::String}, {"building", JSON::Value::Type::String},
    {"floor", JSON::Value::Type::String},
};

// A request read whole before anything is published: a key of the wrong type, or an item that is no object or
// lacks "key" or "title", makes it unreadable (a sound answer instead of "Bad cast." half-way through).
struct Request {
    GS::Ref<JSON::StringValue> guid;
    GS::Ref<JSON::ArrayValue> items;
    GS::Ref<JSON::StringValue> projectId;
    GS::Ref<JSON::StringValue> publishSet;
};

bool HasType(const JSON::ValueRef& value, JSON::Value::Type type) {
    return value == nullptr || value->GetType() == type;
}

std::optional<Request> ReadRequest(const GS::UniString& text) {
    const GS::Ref<JSON::ObjectValue> object = GS::DynamicCast<JSON::ObjectValue>(JSON::JDOMStringParser().Parse(text));
    if (object == nullptr) return std::nullopt;
    Request request{object->GetAs<JSON::StringValue>("guid"), object->GetAs<JSON::ArrayValue>("publishItems"),
                    object->GetAs<JSON::StringValue>("projectId"), object->GetAs<JSON::StringValue>("publishSet")};
    if (request.guid == nullptr || request.items == nullptr ||
        !HasType(object->Get("projectId"), JSON::Value::Type::String) ||
        !HasType(object->Get("publishSet"), JSON::Value::Type::String))
        return std::nullopt;
    for (UIndex i = 0; i < request.items->GetSize(); ++i) {
        const GS::Ref<JSON::ObjectValue> item = GS::DynamicCast<JSON::ObjectValue>(request.items->Get(i));
        if (item == nullptr || item->GetAs<JSON::StringValue>("key") == nullptr ||
            item->GetAs<JSON::StringValue>("title") == nullptr)
            return std::nullopt;
        for (const PassedKey& key : PassedKeys)
            if (!HasType(item->Get(key.name), key.type)) return std::nullopt;
    }
    return request;
}

GS::UniString PathOf(const IO::Location& location) {
    GS::UniString path;
    if (location.ToPath(&path) != NoError) return GS::UniString();
    return path;
}

// Has the host publish one item into its own folder and moves what it produced into "PreparePublish" under the
// key; returns the prepared file's name there, nullopt when any step failed.
std::optional<GS::UniString> PublishItem(const API_Guid& publisherSet, const GS::UniString& key, UIndex position,
                                         const IO::Location& tempFolder, const IO::Location& preparedFolder) {
    IO::Location itemFolder = tempFolder;
    if (itemFolder.AppendToLocal(IO::Name(GS::UniString::Printf("%u", position))) != NoError ||
        IO::fileSystem.CreateFolderTree(itemFolder) != NoError || PathOf(itemFolder).IsEmpty())
        return std::nullopt;

    API_PublishPars params;
    params.guid = publisherSet;
    params.path = &itemFolder;
    const GS::Array<API_Guid> item{GSGuid2APIGuid(GS::Guid(key))};
    if (ACAPI_ProjectOperation_Publish(&params, &item) != NoError) return std::nullopt;

    PublishFolderEnumerator enumerator;
    if (enumerator.Do(itemFolder) != NoError || enumerator.GetFoundPath().IsEmpty()) return std::nullopt;
    const IO::Location produced(enumerator.GetFoundPath());
    IO::Name producedName;
    if (produced.GetLastLocalName(&producedName) != NoError) return std::nullopt;
    const GS::UniString extension = producedName.GetExtension();
    const GS::UniString preparedName = extension.IsEmpty() ? key : key + "." + extension;
    IO::Location prepared = preparedFolder;
    if (prepared.AppendToLocal(IO::Name(preparedName)) != NoError || IO::fileSystem.Move(produced, prepared) != NoError)
        return std::nullopt;
    return preparedName;
}

// The prepared items' JSON text, and the titles of the items that failed, in request order.
GS::UniString PrepareItems(const Request& request, GS::Array<GS::UniString>* failedTitles) {
    const std::optional<IO::Location> tempFolder = OpenWorkFolder(TempPublishFolder, true);
    const std::optional<IO::Location> preparedFolder = OpenWorkFolder(PreparePublishFolder, false);
    if (!tempFolder || !preparedFolder) return GS::UniString();
    // Read once: files this run moves in are not served to its later items.
    PreparedNames cached(ListFolderFiles(*preparedFolder, false));
    const API_Guid publisherSet = GSGuid2APIGuid(GS::Guid(request.guid->Get()));

    const GS::Ref<JSON::ArrayValue> prepared = GS::NewRef<JSON::ArrayValue>();
    for (UIndex i = 0; i < request.items->GetSize(); ++i) {
        const GS::Ref<JSON::ObjectValue> item = GS::DynamicCast<JSON::ObjectValue>(request.items->Get(i));
        const GS::UniString key = item->GetAs<JSON::StringValue>("key")->Get();
        const GS::UniString title = item->GetAs<JSON::StringValue>("title")->Get();
        // The key names a file of "PreparePublish": one that could leave it, or match every file, fails.
        std::optional<GS::UniString> name;
        if (IsPlainFileName(key)) {
            name = cached.Find(key);
            if (!name) name = PublishItem(publisherSet, key, i, *tempFolder, *preparedFolder);
        }
        IO::Location file = *preparedFolder;
        if (!name || file.AppendToLocal(IO::Name(*name)) != NoError || PathOf(file).IsEmpty()) {
            failedTitles->Push(title);
            continue;
        }
        const GS::Ref<JSON::ObjectValue> preparedItem = GS::NewRef<JSON::ObjectValue>();
        preparedItem->Add("filePath", PathOf(file));
        preparedItem->Add("key", key);
        preparedItem->Add("ext", IO::Name(*name).GetExtension());
        preparedItem->Add("title", title);
        for (const PassedKey& passed : PassedKeys)
            if (const JSON::ValueRef value = item->Get(passed.name); value != nullptr)
                preparedItem->Add(passed.name, value);
        prepared->Add(preparedItem);
    }
    JSON::JDOMStringWriter writer(false, 0);
    writer.Write(prepared);
    return writer.GetString();
}

} // namespace

GS::Ref<JS::Base> PreparePublishDocs(const GS::Ref<JS::Base>& argument) {
    if (!QuillmarPalette::HasInstance()) return MakeStringResult(GS::UniString());
    const GS::UniString text = DecodeStringArgument(argument);
    const bool german = IsGermanLanguage();
    (void)DG::InformationAlert(german ? PublishingGerman : PublishingEnglish, GS::UniString(), "OK"); // one button

    PublishRecord& record = QuillmarPalette::GetInstance().GetPublishState().publishRecord;
    record = PublishRecord();
    const std::optional<Request> request = ReadRequest(text);
    GS::Array<GS::UniString> failedTitles;
    const GS::UniString result = request ? PrepareItems(*request, &failedTitles) : GS::UniString();
    // Without "projectId" or "publishSet" the record cannot say whose items these are: it stays reset.
    if (!result.IsEmpty() && request->projectId != nullptr && request->publishSet != nullptr)
        record = PublishRecord{request->projectId->Get(), request->publishSet->Get(), result};
    if (!failedTitles.IsEmpty()) {
        PublishReportDialog dialog(GetResourceModule(), failedTitles, german);
        (void)dialog.Invoke(); // OK is its only answer
    }
    return MakeStringResult(result);
}
