#include "PublishUpload.hpp"

#include "PlainFileName.hpp"
#include "PublishState.hpp"
#include "PublishWorkFolders.hpp"
#include "QuillmarPalette.hpp"
#include "ScriptArguments.hpp"
#include "Transfer/TransferJobs.hpp"
#include "Transfer/TransferReports.hpp"

#include "FileSystem.hpp"
#include "JDOMStringParser.hpp"
#include "JDOMStringWriter.hpp"
#include "JSONValues.hpp"
#include "Name.hpp"

#include <filesystem>
#include <optional>

namespace {

std::optional<GS::UniString> StringMember(const GS::Ref<JSON::ObjectValue>& object, const char* key) {
    const GS::Ref<JSON::StringValue> value = object != nullptr ? object->GetAs<JSON::StringValue>(key) : nullptr;
    if (value == nullptr) return std::nullopt;
    return value->Get();
}

// Whether `path` names a file directly in `folder` once links and ".." are resolved: the page may only have
// prepared documents uploaded, never any other file of the user's disk.
bool IsPreparedFile(const GS::UniString& path, const IO::Location& folder) {
    GS::UniString folderPath;
    if (folder.ToPath(&folderPath) != NoError) return false;
    std::error_code error;
    const std::filesystem::path file = std::filesystem::canonical(path.ToCStr(CC_UTF8).Get(), error);
    if (error) return false;
    const std::filesystem::path preparedFolder = std::filesystem::canonical(folderPath.ToCStr(CC_UTF8).Get(), error);
    return !error && file.parent_path() == preparedFolder && std::filesystem::is_regular_file(file, error);
}

// Copies one prepared document to the upload folder under its document name; nullopt when the element is not
// usable or the copy fails.
std::optional<PublishSetItem> CopyForUpload(const GS::Ref<JSON::ObjectValue>& element, const IO::Location& prepared,
                                            const IO::Location& upload) {
    const std::optional<GS::UniString> key = StringMember(element, "key");
    const std::optional<GS::UniString> docName = StringMember(element, "docName");
    const std::optional<GS::UniString> ext = StringMember(element, "ext");
    const std::optional<GS::UniString> filePath = StringMember(element, "filePath");
    const std::optional<GS::UniString> folder = StringMember(element, "folder");
    if (!key || !docName || !ext || !filePath || !folder) return std::nullopt;
    const GS::UniString name = *docName + "." + *ext;
    if (!IsPlainFileName(*docName) || !IsPlainFileName(*ext) || !IsPlainFileName(name)) return std::nullopt;
    if (!IsPreparedFile(*filePath, prepared)) return std::nullopt;

    IO::Location copy = upload;
    GS::UniString copyPath;
    if (copy.AppendToLocal(IO::Name(name)) != NoError ||
        IO::fileSystem.Copy(IO::Location(*filePath), copy) != NoError || copy.ToPath(&copyPath) != NoError)
        return std::nullopt;
    return PublishSetItem{copyPath, *folder, *key, GS::UniString(), false};
}

GS::Array<PublishSetItem> CopyItems(const GS::UniString& requestText, const IO::Location& upload, GS::UniString* token,
                                    GS::UniString* projectId) {
    // Not an object, or a key of another type, counts as unreadable rather than raising "Bad cast.".
    const GS::Ref<JSON::ObjectValue> request =
        GS::DynamicCast<JSON::ObjectValue>(JSON::JDOMStringParser().Parse(requestText));
    const std::optional<GS::UniString> requestToken = StringMember(request, "token");
    const std::optional<GS::UniString> requestProject = StringMember(request, "projectId");
    const GS::Ref<JSON::ArrayValue> elements =
        request != nullptr ? request->GetAs<JSON::ArrayValue>("publishItems") : nullptr;
    const std::optional<IO::Location> prepared = OpenWorkFolder(PreparePublishFolder, false);
    if (!requestToken || !requestProject || elements == nullptr || !prepared) return {};

    *token = *requestToken;
    *projectId = *requestProject;
    GS::Array<PublishSetItem> items;
    for (UIndex i = 0; i < elements->GetSize(); ++i) {
        // An element that cannot be read is dropped like a failed copy.
        const std::optional<PublishSetItem> item =
            CopyForUpload(GS::DynamicCast<JSON::ObjectValue>(elements->Get(i)), *prepared, upload);
        if (item) items.Push(*item);
    }
    return items;
}

} // namespace

GS::Ref<JS::Base> HandlePublishSets(const GS::Ref<JS::Base>& argument) {
    if (!QuillmarPalette::HasInstance()) return MakeBoolResult(true);
    QuillmarPalette& palette = QuillmarPalette::GetInstance();
    const GS::UniString text = DecodeStringArgument(argument);
    const std::optional<IO::Location> upload = OpenWorkFolder(PublishFolder, true);
    if (!upload) {
        palette.RunPageScript("FailedExportPublish()");
        return MakeBoolResult(true);
    }

    GS::UniString token;
    GS::UniString projectId;
    const GS::Array<PublishSetItem> items = CopyItems(text, *upload, &token, &projectId);
    // A new run: jobs of an earlier one still running no longer write into the list or count.
    const UInt32 run = palette.GetPublishState().StartRun(items);
    if (items.IsEmpty()) {
        palette.RunPageScript("FailedExportPublish()");
        return MakeBoolResult(true);
    }
    const std::shared_ptr<TransferReports> reports = palette.GetTransferReports();
    for (UIndex i = 0; i < items.GetSize(); ++i) {
        GS::RunnableTask job(
            new ExportPublishSet(reports, token, projectId, run, i, items[i].folderId, items[i].filePath));
        // A job that cannot start still counts, so that the run completes.
        if (StartJob(std::move(job), GS::UniString::Printf("exportPublishSet%u", i)) != NoError)
            reports->CompleteExportPublish(run);
    }
    return MakeBoolResult(true);
}

GS::Ref<JS::Base> CompleteExportPublish(const GS::Ref<JS::Base>&) {
    if (!QuillmarPalette::HasInstance()) return MakeStringResult(GS::UniString());
    const GS::Ref<JSON::ObjectValue> documents = GS::NewRef<JSON::ObjectValue>();
    for (const PublishSetItem& item : QuillmarPalette::GetInstance().GetPublishState().GetItems())
        if (item.uploaded) documents->Add(item.key, item.documentId);
    JSON::JDOMStringWriter writer(false, 0);
    writer.Write(documents);
    return MakeStringResult(writer.GetString());
}
