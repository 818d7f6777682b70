#include "MappingFunctions.hpp"

#include "HostBinding/AddOnProcess.hpp"
#include "MappingState.hpp"
#include "PropertyNameDialog.hpp"
#include "QuillmarPalette.hpp"
#include "ScriptArguments.hpp"

#include "DGFileDialog.hpp"
#include "FileTypeManager.hpp"

GS::Ref<JS::Base> OpenMappingFile(const GS::Ref<JS::Base>&) {
    if (!QuillmarPalette::HasInstance()) return MakeStringResult(GS::UniString());

    FTM::FileTypeManager manager("MapFileManager");
    const FTM::FileType xmlType(nullptr, "xml", 0, 0, 0, nullptr, nullptr, true);
    FTM::TypeID xmlTypeId = FTM::FileTypeManager::SearchForType(xmlType, FTM::RootGroup);
    if (xmlTypeId == FTM::UnknownType) xmlTypeId = manager.AddType(xmlType, FTM::RootGroup);

    DG::FileDialog dialog(DG::FileDialog::OpenFile);
    dialog.AddFilter(xmlTypeId, 1);
    dialog.SetFilterText(0, "Property Mapping File");
    if (!dialog.Invoke()) return MakeStringResult(GS::UniString());

    const IO::Location file = dialog.GetSelectedFile(0);
    if (!QuillmarPalette::GetInstance().GetMappingState().Load(file)) return MakeStringResult(GS::UniString());

    GS::UniString path;
    if (file.ToPath(&path) != NoError) return MakeStringResult(GS::UniString());
    return MakeStringResult(path);
}

GS::Ref<JS::Base> SetNewPropertyName(const GS::Ref<JS::Base>& argument) {
    PropertyNameDialog dialog(GetResourceModule(), DecodeStringListArgument(argument));
    if (!dialog.Invoke()) return MakeStringResult(GS::UniString());
    return MakeStringResult(dialog.GetResultName());
}
