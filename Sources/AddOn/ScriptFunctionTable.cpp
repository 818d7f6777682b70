#include "ScriptFunctionTable.hpp"

#include "Exchange/IfcExport.hpp"
#include "Exchange/IfcImport.hpp"
#include "Exchange/PlanExport.hpp"
#include "FrameFunctions.hpp"
#include "Mapping/MappingFunctions.hpp"
#include "Publishing/ExportHistory.hpp"
#include "Publishing/PublishHistory.hpp"
#include "Publishing/PublishPreparation.hpp"
#include "Publishing/PublishSetBrowsing.hpp"
#include "Publishing/PublishUpload.hpp"
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
    {"Create2dPlan", Create2dPlan},
    {"Export2dPlan", Export2dPlan},
    {"ExportSnapshot", ExportSnapshot},
    {"GetExportHistory", GetExportHistory},
    {"SaveExportHistoryData", SaveExportHistoryData},
    {"GetPlanDocuments", GetPlanDocuments},
    {"OpenMappingFile", OpenMappingFile},
    {"SetNewPropertyName", SetNewPropertyName},
    {"GetPublishSetHeaders", GetPublishSetHeaders},
    {"GetPublishSetItems", GetPublishSetItems},
    {"HandlePublishSets", HandlePublishSets},
    {"CompleteExportPublish", CompleteExportPublish},
    {"PreparePublishDocs", PreparePublishDocs},
    {"GetPublishHistory", GetPublishHistory},
    {"SavePublishHistory", SavePublishHistory},
    {"SetPublishHistory", SetPublishHistory},
    {"GetPublishItems", GetPublishItems},
}};

} // namespace

std::span<const ScriptFunction> GetScriptFunctionTable() {
    return Table;
}
