#include "DGFileDialog.hpp"

#include "DGUIBackEnd.hpp"

namespace DG {

SystemDialog::~SystemDialog() = default;

bool SystemDialog::Invoke() {
    UIBackEnd* backEnd = GetUIBackEnd();
    if (backEnd == nullptr) return false;
    return Run(*backEnd);
}

FileDialog::FileDialog(Type dialogType) : type(dialogType) {}

FileDialog::~FileDialog() = default;

bool FileDialog::AddFilter(FTM::TypeID typeId, Int32 option) {
    FTM::FileType fileType(nullptr, nullptr, 0, 0, 0);
    if (!FTM::FileTypeManager::GetType(typeId, &fileType)) return false;
    Filter filter;
    filter.typeId = typeId;
    filter.option = option;
    filter.text = fileType.GetDescription();
    if (!fileType.GetExtension().IsEmpty()) filter.extensions.Push(fileType.GetExtension());
    filters.Push(std::move(filter));
    return true;
}

bool FileDialog::SetFilterText(UIndex index, const GS::UniString& text) {
    if (index >= filters.GetSize()) return false;
    filters[index].text = text;
    return true;
}

IO::Location FileDialog::GetSelectedFile(UIndex index) const {
    if (index >= selection.GetSize()) return IO::Location();
    return selection[index];
}

void FileDialog::SetSelection(GS::Array<IO::Location> files) {
    selection = std::move(files);
}

bool FileDialog::Run(UIBackEnd& backEnd) {
    selection.Clear();
    const bool accepted = backEnd.RunFileDialog(*this);
    if (!accepted) selection.Clear();
    return accepted && !selection.IsEmpty();
}

} // namespace DG
