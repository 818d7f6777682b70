#include "PlanExport.hpp"

#include "ExchangeState.hpp"
#include "HostBinding/HostOperations.hpp"
#include "HostEnvironment.hpp"
#include "PlainFileName.hpp"
#include "PlanFile.hpp"
#include "QuillmarPalette.hpp"
#include "ScriptArguments.hpp"
#include "Transfer/TransferJobs.hpp"

#include "DGAlert.hpp"
#include "FileSystem.hpp"
#include "JDOMStringParser.hpp"
#include "JSONValues.hpp"
#include "Location.hpp"
#include "Name.hpp"
#include "Time.hpp"

#include <optional>

namespace {

const char* const NotA2DViewGerman = "Die aktuelle Ansicht ist keine 2D Ansicht.";
const char* const NotA2DViewEnglish = "Current view isn't 2D view.";
const char* const NoPlan = "Can't create a 2D Plan.";

void Tell(const char* message) {
    (void)DG::InformationAlert(GS::UniString(message), GS::UniString(), "OK"); // one button: nothing to decide
}

// The page's request; a key that is missing or not a string is left empty (a sound answer instead of "Bad cast.").
struct ExportRequest {
    std::optional<GS::UniString> token;
    std::optional<GS::UniString> projectId;
    std::optional<GS::UniString> folderId;
    std::optional<GS::UniString> fileName;
};

std::optional<GS::UniString> StringMember(const GS::Ref<JSON::ObjectValue>& object, const char* key) {
    const GS::Ref<JSON::StringValue> value = GS::DynamicCast<JSON::StringValue>(object->Get(key));
    if (value == nullptr) return std::nullopt;
    return value->Get();
}

std::optional<ExportRequest> ReadRequest(const GS::UniString& text) {
    const GS::Ref<JSON::ObjectValue> object = GS::DynamicCast<JSON::ObjectValue>(JSON::JDOMStringParser().Parse(text));
    if (object == nullptr) return std::nullopt;
    ExportRequest request{StringMember(object, "token"), StringMember(object, "projectId"),
                          StringMember(object, "folderId"), StringMember(object, "fileName")};
    if (!request.token || !request.projectId || !request.folderId || !request.fileName) return std::nullopt;
    return request;
}

bool Exists(const IO::Location& location) {
    bool exists = false;
    return IO::fileSystem.Contains(location, &exists) == NoError && exists;
}

// Gives the plan file the page's name in its folder and returns its new path; "" when that failed.
GS::UniString RenamePlanFile(const GS::UniString& planPath, const GS::UniString& fileName) {
    const IO::Location plan(planPath);
    IO::Name planName;
    if (plan.GetLastLocalName(&planName) != NoError) return GS::UniString();
    const GS::UniString base = planName.GetBase();
    const UIndex at = planPath.FindLast(base);
    if (base.IsEmpty() || at == MaxUIndex) return GS::UniString();
    const GS::UniString newName =
        fileName + planName.ToString().GetSuffix(planName.ToString().GetLength() - base.GetLength());
    // The page's name must keep the plan in its folder; "." and ".." are harmless, as the extension follows.
    if (!IsPlainFileName(newName)) return GS::UniString();
    const GS::UniString newPath =
        planPath.GetPrefix(at) + fileName + planPath.GetSuffix(planPath.GetLength() - at - base.GetLength());
    // Moved away by an earlier call: nothing to rename, and the file under the new name must stay.
    if (!Exists(plan)) return GS::UniString();
    if (newPath == planPath) return planPath;

    const IO::Location target(newPath);
    if (Exists(target) && IO::fileSystem.Delete(target, IO::DefaultSafety, IO::AccessDeniedIsError) != NoError)
        return GS::UniString();
    if (IO::fileSystem.Move(plan, target, IO::DefaultSafety) != NoError) return GS::UniString();
    return newPath;
}

} // namespace

GS::Ref<JS::Base> Create2dPlan(const GS::Ref<JS::Base>& argument) {
    API_WindowInfo window;
    const bool knowsWindow = ACAPI_Window_GetActiveWindow(&window) == NoError;
    if (knowsWindow && window.typeID == APIWind_3DModelID) {
        Tell(IsGermanLanguage() ? NotA2DViewGerman : NotA2DViewEnglish);
        return MakeStringResult(GS::UniString());
    }

    GS::UniString path;
    Int32 number = 0;
    if (DecodeIntegerArgument(argument, &number)) {
        if (const std::optional<PlanKind> kind = ToPlanKind(number)) {
            // File names cannot hold ":" on the host's platform.
            GS::UniString stamp = TIGetISO8601TimeString(TIGetTime(), false);
            stamp.ReplaceAll(":", "_");
            path = WritePlanFile(*kind, stamp, !knowsWindow || window.typeID != APIWind_3DModelID);
        }
        if (QuillmarPalette::HasInstance()) QuillmarPalette::GetInstance().GetExchangeState().lastPlanFile = path;
    }
    if (path.IsEmpty()) Tell(NoPlan);
    return MakeStringResult(path);
}

GS::Ref<JS::Base> Export2dPlan(const GS::Ref<JS::Base>& argument) {
    if (!QuillmarPalette::HasInstance()) return MakeBoolResult(true);
    QuillmarPalette& palette = QuillmarPalette::GetInstance();
    const GS::UniString text = DecodeStringArgument(argument);
    const GS::UniString planFile = palette.GetExchangeState().lastPlanFile;

    const std::optional<ExportRequest> request = planFile.IsEmpty() ? std::nullopt : ReadRequest(text);
    const GS::UniString path = request ? RenamePlanFile(planFile, *request->fileName) : GS::UniString();
    if (path.IsEmpty()) {
        palette.RunPageScript("FailExportPlan()");
        return MakeBoolResult(true);
    }
    GS::RunnableTask job(
        new ExportPlan(palette.GetTransferReports(), *request->token, *request->projectId, *request->folderId, path));
    if (StartJob(std::move(job), "exportPlan") != NoError) palette.RunPageScript("FailExportPlan()");
    return MakeBoolResult(true);
}

GS::Ref<JS::Base> GetPlanDocuments(const GS::Ref<JS::Base>&) {
    if (!QuillmarPalette::HasInstance()) return MakeStringResult(GS::UniString());
    return MakeStringResult(QuillmarPalette::GetInstance().GetExchangeState().GetLastPlanExportResponse());
}
