#include "ScriptFunctionTable.hpp"

#include "Exchange/IfcExport.hpp"
#include "Exchange/IfcImport.hpp"
#include "FrameFunctions.hpp"
#include "Mapping/MappingFunctions.hpp"
#include "PendingScriptFunctions.hpp"
#include "Publishing/ExportHistory.hpp"
#include "Viewpoints/SelectionFunctions.hpp"
#include "Viewpoints/SnapshotExport.hpp"
#include "Viewpoints/ViewpointApplication.hpp"
#include "Viewpoints/ViewpointCapture.hpp"

#include <array>

namespace {

// The order is the page's: functions are registered in it.
constexpr std::array<ScriptFunction, 35> Table{{
    {"GetResourceFolder", GetResourceFolder},
    {"HighlightElements", HighlightElements},
    {"ZoomToElement", ZoomToElement},
    {"GetElementNames", GetElementNames},
    {"AlertAPI", AlertAPI},
    {"SelectViewpoint", SelectViewpoint},
    {"GetSelectedElements", GetSelectedElements},
    {"AddComponent", AddComponent},
    {"AddViewpoint", AddViewpoint},
    {"ImportIfcModel", ImportIfcModel},
    {"RegisterIfcFileName", RegisterIfcFileName},
    {"RequestFileName", RequestFileName},
    {"GetIfcFile", GetIfcFile},
    {"GetApplicationInfo", GetApplicationInfo},
    {"ImportIfcFiles", ImportIfcFiles},
    {"OpenIfcModels", OpenIfcModels},
    {"ExportIFCModel", ExportIFCModel},
    {"GetIfcDocuments", GetIfcDocuments},
    {"Create2dPlan", PendingEmptyText},
    {"Export2dPlan", PendingAcknowledge},
    {"ExportSnapshot", ExportSnapshot},
    {"GetExportHistory", GetExportHistory},
    {"SaveExportHistoryData", SaveExportHistoryData},
    {"GetPlanDocuments", PendingEmptyText},
    {"OpenMappingFile", OpenMappingFile},
    {"SetNewPropertyName", SetNewPropertyName},
    {"GetPublishSetHeaders", PendingEmptyText},
    {"GetPublishSetItems", PendingEmptyText},
    {"HandlePublishSets", PendingAcknowledge},
    {"CompleteExportPublish", PendingEmptyText},
    {"PreparePublishDocs", PendingEmptyText},
    {"GetPublishHistory", PendingAcknowledge},
    {"SavePublishHistory", PendingAcknowledge},
    {"SetPublishHistory", PendingAcknowledge},
    {"GetPublishItems", PendingEmptyText},
}};

} // namespace

std::span<const ScriptFunction> GetScriptFunctionTable() {
    return Table;
}
