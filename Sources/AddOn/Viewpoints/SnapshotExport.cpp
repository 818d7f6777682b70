#include "SnapshotExport.hpp"

#include "HostBinding.hpp"
#include "HostEnvironment.hpp"
#include "QuillmarPalette.hpp"
#include "ScriptArguments.hpp"
#include "Transfer/TransferJobs.hpp"

#include "DGAlert.hpp"
#include "JDOMStringParser.hpp"
#include "JSONValues.hpp"
#include "Location.hpp"
#include "Name.hpp"
#include "Time.hpp"

namespace {

const char* const NotThe3DWindowEnglish =
    "Current view is not perspective view.\n Please add a viewpoint in perspective view.";
const char* const NotThe3DWindowGerman = "Die aktuelle Ansicht ist keine perspektive Ansicht.\n Bitte fügen Sie "
                                         "einen Viewpoint in der perspektiven Ansicht.";
const char* const ParallelEnglish =
    "You are now in 3D-display mode Axonometry.\n Please change to perspective mode (Alt+Shift+3).";
const char* const ParallelGerman = "Sie befinden sich im 3D-Darstellungsmodus Axonometrie. \n bitte wechseln sie in "
                                   "den Modus Perspektive (Alt+Umsch.+3).";

void Tell(const char* message) {
    DG::InformationAlert(GS::UniString(message), GS::UniString(), "OK", GS::UniString(), GS::UniString());
}

} // namespace

GS::UniString SaveSnapshotImage() {
    IO::Location target;
    const API_SpecFolderID exchangeFolder = API_ExchangeFolderID;
    if (ACAPI_ProjectSettings_GetSpecFolder(&exchangeFolder, &target) != NoError) return GS::UniString();
    // File names cannot hold ":" on the host's platform.
    GS::UniString name = TIGetISO8601TimeString(TIGetTime(), false);
    name.ReplaceAll(":", "_");
    if (target.AppendToLocal(IO::Name(name + ".png")) != NoError) return GS::UniString();

    API_FileSavePars saveParams;
    saveParams.fileTypeID = APIFType_PNGFile;
    saveParams.file = &target;
    API_SavePars_Picture pictureParams;
    pictureParams.colorDepth = 7;
    pictureParams.dithered = 0;
    pictureParams.view2D = 0;
    pictureParams.crop = 1;
    pictureParams.keepSelectionHighlight = 1;
    if (ACAPI_ProjectOperation_Save(&saveParams, &pictureParams) != NoError) return GS::UniString();

    GS::UniString path;
    if (target.ToPath(&path) != NoError) return GS::UniString();
    return path;
}

GS::Ref<JS::Base> ExportSnapshot(const GS::Ref<JS::Base>& argument) {
    if (!QuillmarPalette::HasInstance()) return MakeBoolResult(true);
    QuillmarPalette& palette = QuillmarPalette::GetInstance();
    const GS::UniString text = DecodeStringArgument(argument);

    API_WindowInfo window;
    if (ACAPI_CallCommand(APICmd_GetActiveWindow, &window) != NoError || window.typeID != APIWind_3DModelID) {
        Tell(IsGermanLanguage() ? NotThe3DWindowGerman : NotThe3DWindowEnglish);
        return MakeBoolResult(true);
    }
    API_3DProjectionInfo projection;
    if (ACAPI_CallCommand(APICmd_Get3DProjection, &projection) != NoError) return MakeBoolResult(true);
    if (!projection.isPersp) {
        Tell(IsGermanLanguage() ? ParallelGerman : ParallelEnglish);
        return MakeBoolResult(true);
    }

    const GS::UniString path = SaveSnapshotImage();
    if (path.IsEmpty()) return MakeBoolResult(true);
    palette.pendingSnapshotFile = path;

    // A member of the wrong kind throws "Bad cast." here, after the snapshot is remembered.
    const JSON::ValueRef parsed = JSON::JDOMStringParser().Parse(text);
    if (parsed == nullptr) return MakeBoolResult(true);
    const GS::Ref<JSON::ObjectValue> object = GS::CheckedCast<JSON::ObjectValue>(parsed);
    const JSON::ValueRef token = object->Get("token");
    const JSON::ValueRef projectId = object->Get("projectId");
    if (token == nullptr || projectId == nullptr) return MakeBoolResult(true);
    StartJob(GS::RunnableTask(new class ExportSnapshot(GS::CheckedCast<JSON::StringValue>(token)->Get(),
                                                       GS::CheckedCast<JSON::StringValue>(projectId)->Get(), path)),
             "exportSnapshot");
    return MakeBoolResult(true);
}
