#include "ExportHistory.hpp"

#include "FileContent.hpp"
#include "HostEnvironment.hpp"
#include "PlainFileName.hpp"
#include "QuillmarPalette.hpp"
#include "ScriptArguments.hpp"

#include "JDOMStringParser.hpp"
#include "JSONValues.hpp"
#include "Location.hpp"
#include "Name.hpp"

#include <cstring>
#include <optional>

namespace {

template <typename T>
GS::Ref<T> Member(const GS::Ref<JSON::ObjectValue>& object, const char* key) {
    if (object == nullptr) return GS::Ref<T>();
    return GS::DynamicCast<T>(object->Get(key));
}

// The history file of the project and kind; none for an id that is no plain file name or without the folder.
std::optional<IO::Location> HistoryFile(const GS::UniString& projectId, bool model) {
    const IO::Name name(projectId + ".his");
    if (!IsPlainFileName(projectId)) return std::nullopt;
    const GS::UniString folder = GetDataSubfolder(model ? "Export Model History" : "Export Other History");
    if (folder.IsEmpty()) return std::nullopt;
    IO::Location file(folder);
    if (file.AppendToLocal(name) != NoError) return std::nullopt;
    return file;
}

GS::Ref<JSON::ObjectValue> ReadRequest(const GS::Ref<JS::Base>& argument) {
    // Not an object, or a key of another type, counts as unreadable rather than raising "Bad cast.".
    return GS::DynamicCast<JSON::ObjectValue>(JSON::JDOMStringParser().Parse(DecodeStringArgument(argument)));
}

} // namespace

GS::Ref<JS::Base> SaveExportHistoryData(const GS::Ref<JS::Base>& argument) {
    if (!QuillmarPalette::HasInstance()) return MakeBoolResult(true);
    const GS::Ref<JSON::ObjectValue> request = ReadRequest(argument);
    const GS::Ref<JSON::StringValue> projectId = Member<JSON::StringValue>(request, "projectId");
    const GS::Ref<JSON::StringValue> data = Member<JSON::StringValue>(request, "data");
    const GS::Ref<JSON::BoolValue> isModel = Member<JSON::BoolValue>(request, "isModel");
    if (projectId == nullptr || data == nullptr || isModel == nullptr) return MakeBoolResult(true);
    const std::optional<IO::Location> file = HistoryFile(projectId->Get(), isModel->Get());
    if (!file) return MakeBoolResult(true);
    const GS::UniString::CStr bytes = data->Get().ToCStr(CC_Default);
    // A failed save is not reported; the earlier history stays whole.
    (void)ReplaceFileContent(*file, bytes.Get(), static_cast<USize>(std::strlen(bytes.Get())));
    return MakeBoolResult(true);
}

GS::Ref<JS::Base> GetExportHistory(const GS::Ref<JS::Base>& argument) {
    if (!QuillmarPalette::HasInstance()) return MakeStringResult(GS::UniString());
    const GS::Ref<JSON::ObjectValue> request = ReadRequest(argument);
    const GS::Ref<JSON::StringValue> projectId = Member<JSON::StringValue>(request, "projectId");
    const GS::Ref<JSON::BoolValue> model = Member<JSON::BoolValue>(request, "model");
    if (projectId == nullptr || model == nullptr) return MakeStringResult(GS::UniString());
    const std::optional<IO::Location> file = HistoryFile(projectId->Get(), model->Get());
    if (!file) return MakeStringResult(GS::UniString());
    return MakeStringResult(ReadFileText(*file).value_or(GS::UniString()));
}
