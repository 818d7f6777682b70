#include "SnapshotExport.hpp"

#include "ExchangeFolder.hpp"
#include "HostBinding/HostOperations.hpp"
#include "HostEnvironment.hpp"
#include "QuillmarPalette.hpp"
#include "ScriptArguments.hpp"
#include "Transfer/TransferJobs.hpp"
#include "Transfer/TransferReports.hpp"
#include "ViewpointState.hpp"

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
    // File names cannot hold ":" on the host's platform. Milliseconds, and a number for snapshots of the same
    // millisecond, give every snapshot a file of its own.
    GS::UniString name = TIGetISO8601TimeString(TIGetTime(), true);
    name.ReplaceAll(":", "_");

    API_FileSavePars saveParams;
    saveParams.fileTypeID = APIFType_PNGFile;
    API_SavePars_Picture pictureParams;
    pictureParams.colorDepth = APIColorDepth_TC32;
    pictureParams.dithered = 0;
    pictureParams.view2D = 0;
    pictureParams.crop = 1;
    pictureParams.keepSelectionHighlight = 1;
    return SaveIntoExchangeFolder(name + ".png", saveParams, &pictureParams, ExistingFile::KeepBoth);
}

GS::Ref<JS::Base> ExportSnapshot(const GS::Ref<JS::Base>& argument) {
    if (!QuillmarPalette::HasInstance()) return MakeBoolResult(true);
    QuillmarPalette& palette = QuillmarPalette::GetInstance();
    const GS::UniString text = DecodeStringArgument(argument);

    API_WindowInfo window;
    if (ACAPI_Window_GetActiveWindow(&window) != NoError || window.typeID != APIWind_3DModelID) {
        Tell(IsGermanLanguage() ? NotThe3DWindowGerman : NotThe3DWindowEnglish);
        return MakeBoolResult(true);
    }
    API_3DProjectionInfo projection;
    if (ACAPI_View_Get3DProjection(&projection) != NoError) return MakeBoolResult(true);
    if (!projection.isPersp) {
        Tell(IsGermanLanguage() ? ParallelGerman : ParallelEnglish);
        return MakeBoolResult(true);
    }

    const GS::UniString path = SaveSnapshotImage();
    if (path.IsEmpty()) return MakeBoolResult(true);
    palette.GetViewpointState().pendingSnapshotFile = path;

    // A member of the wrong kind throws "Bad cast." here, after the snapshot is remembered.
    const JSON::ValueRef parsed = JSON::JDOMStringParser().Parse(text);
    if (parsed == nullptr) return MakeBoolResult(true);
    const GS::Ref<JSON::ObjectValue> object = GS::CheckedCast<JSON::ObjectValue>(parsed);
    const JSON::ValueRef token = object->Get("token");
    const JSON::ValueRef projectId = object->Get("projectId");
    if (token == nullptr || projectId == nullptr) return MakeBoolResult(true);
    const std::shared_ptr<TransferReports> reports = palette.GetTransferReports();
    GS::RunnableTask job(new class ExportSnapshot(reports, GS::CheckedCast<JSON::StringValue>(token)->Get(),
                                                  GS::CheckedCast<JSON::StringValue>(projectId)->Get(), path));
    // No upload: the page still gets its answer, without an image id.
    if (StartJob(std::move(job), "exportSnapshot") != NoError) reports->InsertViewpoint(GS::UniString());
    return MakeBoolResult(true);
}
