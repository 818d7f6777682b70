#ifndef DG_FILEDIALOG_HPP
#define DG_FILEDIALOG_HPP

#include "DGExport.hpp"

#include "Array.hpp"
#include "FileTypeManager.hpp"
#include "Location.hpp"
#include "UniString.hpp"

namespace DG {

class UIBackEnd;

// A dialog the system draws (file pickers); run to completion by Invoke. [main-thread]
class DG_DLL_EXPORT SystemDialog {
public:
    virtual ~SystemDialog();

    // Shows the dialog; true when the user accepted it, false when cancelled or no host UI is installed.
    bool Invoke();

protected:
    // Shows the dialog through the installed back end.
    virtual bool Run(UIBackEnd& backEnd) = 0;
};

class DG_DLL_EXPORT FileDialog : public SystemDialog {
public:
    enum Type { OpenFile = 0, OpenMultiFile = 1, Save = 2, OpenFolder = 3 };

    // One entry of the dialog's type list.
    struct Filter {
        FTM::TypeID typeId = FTM::UnknownType;
        Int32 option = 0;
        GS::UniString text;                  // shown to the user; the type's description until set
        GS::Array<GS::UniString> extensions; // without the dot
    };

    explicit FileDialog(Type type);
    ~FileDialog() override;

    Type GetType() const noexcept { return type; }

    // Adds a filter for a registered file type; false (nothing added) for a type FTM does not know.
    bool AddFilter(FTM::TypeID typeId, Int32 option = 0);
    // False for an index past the filters.
    bool SetFilterText(UIndex index, const GS::UniString& text);
    USize GetFilterCount() const noexcept { return filters.GetSize(); }
    const Filter& GetFilter(UIndex index) const { return filters[index]; }

    // After an accepted Invoke: the chosen items. An index past them gives the empty location.
    USize GetSelectionCount() const noexcept { return selection.GetSize(); }
    IO::Location GetSelectedFile(UIndex index) const;

    // For the UI back end: the items the user chose (replaces earlier ones).
    void SetSelection(GS::Array<IO::Location> files);

private:
    bool Run(UIBackEnd& backEnd) override;

    Type type;
    GS::Array<Filter> filters;
    GS::Array<IO::Location> selection;
};

} // namespace DG

#endif
