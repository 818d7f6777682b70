#include "IfcExport.hpp"

#include "ExchangeState.hpp"
#include "IfcFileWriter.hpp"
#include "Mapping/MappingExportPreset.hpp"
#include "Mapping/MappingState.hpp"
#include "PlainFileName.hpp"
#include "QuillmarPalette.hpp"
#include "ScriptArguments.hpp"
#include "Transfer/TransferJobs.hpp"
#include "Transfer/TransferReports.hpp"

#include "JDOMStringParser.hpp"
#include "JSONValues.hpp"
#include "Location.hpp"

#include <optional>

namespace {

struct ExportRequest {
    std::optional<GS::UniString> token;
    std::optional<GS::UniString> projectId;
    std::optional<GS::UniString> folderId;
    std::optional<GS::UniString> fileName;
    std::optional<bool> onlyVisible;
    bool useMapFile = false;
};

// A present key of another JSON type than its own makes the request unreadable.
template <typename ValueType, typename Result>
bool ReadKey(const JSON::ObjectValue& object, const char* key, std::optional<Result>* target) {
    const JSON::ValueRef value = object.Get(key);
    if (value == nullptr) return true;
    const GS::Ref<ValueType> typed = GS::DynamicCast<ValueType>(value);
    if (typed == nullptr) return false;
    *target = typed->Get();
    return true;
}

// Empty when the text is no JSON object or a key has the wrong type.
std::optional<ExportRequest> ReadRequest(const GS::UniString& text) {
    const GS::Ref<JSON::ObjectValue> object = GS::DynamicCast<JSON::ObjectValue>(JSON::JDOMStringParser().Parse(text));
    if (object == nullptr) return std::nullopt;
    ExportRequest request;
    std::optional<bool> useMapFile;
    if (!ReadKey<JSON::StringValue>(*object, "token", &request.token) ||
        !ReadKey<JSON::StringValue>(*object, "projectId", &request.projectId) ||
        !ReadKey<JSON::StringValue>(*object, "folderId", &request.folderId) ||
        !ReadKey<JSON::StringValue>(*object, "fileName", &request.fileName) ||
        !ReadKey<JSON::BoolValue>(*object, "onlyVisible", &request.onlyVisible) ||
        !ReadKey<JSON::BoolValue>(*object, "useMapFile", &useMapFile)) {
        return std::nullopt;
    }
    request.useMapFile = useMapFile.value_or(false);
    return request;
}

} // namespace

GS::Ref<JS::Base> ExportIFCModel(const GS::Ref<JS::Base>& argument) {
    if (!QuillmarPalette::HasInstance()) return MakeBoolResult(true);
    QuillmarPalette& palette = QuillmarPalette::GetInstance();
    const GS::UniString text = DecodeStringArgument(argument);

    const std::optional<ExportRequest> request = ReadRequest(text);
    if (!request) {
        palette.RunPageScript("FailExportModel()");
        return MakeBoolResult(true);
    }
    // The preset goes in before the other keys are checked, as the IFC add-on's state does not depend on them.
    const MappingState& mapping = palette.GetMappingState();
    if (request->useMapFile && !mapping.GetList().IsEmpty()) InstallMappingExportPreset(mapping);

    if (!request->token || !request->projectId || !request->folderId || !request->fileName || !request->onlyVisible ||
        !IsPlainFileName(*request->fileName + ".ifc")) { // "." and ".." stay in the folder with ".ifc" appended
        palette.RunPageScript("FailExportModel()");
        return MakeBoolResult(true);
    }

    const GS::UniString path = WriteProjectAsIfc(*request->fileName + ".ifc", *request->onlyVisible);
    if (path.IsEmpty()) {
        palette.RunPageScript("FailExportModel()");
        return MakeBoolResult(true);
    }
    GS::RunnableTask job(
        new ExportIFC(palette.GetTransferReports(), *request->token, *request->projectId, *request->folderId, path));
    if (StartJob(std::move(job), "exportModel") != NoError) palette.RunPageScript("FailExportModel()");
    return MakeBoolResult(true);
}

GS::Ref<JS::Base> GetIfcDocuments(const GS::Ref<JS::Base>&) {
    if (!QuillmarPalette::HasInstance()) return MakeStringResult(GS::UniString());
    return MakeStringResult(QuillmarPalette::GetInstance().GetExchangeState().GetLastIfcExportResponse());
}
