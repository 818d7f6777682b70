#ifndef DG_LISTBOX_HPP
#define DG_LISTBOX_HPP

#include "DGPanel.hpp"

#include <vector>

namespace DG {

// A list of rows, each split into tab fields (columns), with an optional header of one item per field. Rows,
// fields and header items are numbered from 1; indices outside the list are ignored by setters and give empty
// values from getters. [main-thread]
class DG_DLL_EXPORT ListBox : public Item {
public:
    enum Justification { DefaultJust = 0, Left = 1, Center = 2, Right = 3 };
    enum Truncation { NoTruncate = 0, EndTruncate = 1, MiddleTruncate = 2 };

    struct TabField {
        short begin = 0; // from the list's left edge, in the dialog's units
        short end = 0;
        Justification justification = DefaultJust;
        Truncation truncation = NoTruncate;
        bool hasSeparator = false;
    };

    ListBox(const Panel& panel, short index);
    ~ListBox() override;

    // A new list has one tab field of no width until its properties are set. Fewer fields drop the texts of the
    // fields that go; more add empty ones.
    void SetTabFieldCount(short count);
    short GetTabFieldCount() const noexcept { return static_cast<short>(tabFields.size()); }
    void SetTabFieldProperties(short tabIndex, short begin, short end, Justification justification,
                               Truncation truncation, bool hasSeparator = false);
    // The field's properties; a default field outside the list.
    TabField GetTabField(short tabIndex) const;

    // A synchronised header (the start) sizes its items as the tab fields; otherwise each has its own size.
    void SetHeaderSynchronState(bool synchronized) noexcept { headerSynchronized = synchronized; }
    bool IsHeaderSynchronized() const noexcept { return headerSynchronized; }
    // The header has one item per tab field.
    void SetHeaderItemSize(short headerItem, short size);
    short GetHeaderItemSize(short headerItem) const;
    void SetHeaderItemText(short headerItem, const GS::UniString& text);
    GS::UniString GetHeaderItemText(short headerItem) const;

    // The width a row has for its fields: the list's width here, as the stand-in draws no scroll bar.
    short GetItemWidth() const noexcept { return static_cast<short>(GetWidth()); }

    // Adds an empty row at the end; false only when the list is full (32767 rows).
    bool AppendItem();
    short GetItemCount() const noexcept { return static_cast<short>(rows.size()); }
    void SetTabItemText(short listItem, short tabIndex, const GS::UniString& text);
    GS::UniString GetTabItemText(short listItem, short tabIndex) const;

private:
    struct HeaderItem {
        short size = 0;
        GS::UniString text;
    };

    bool IsField(short tabIndex) const noexcept { return tabIndex >= 1 && tabIndex <= GetTabFieldCount(); }
    bool IsRow(short listItem) const noexcept { return listItem >= 1 && listItem <= GetItemCount(); }

    std::vector<TabField> tabFields;
    std::vector<HeaderItem> header;
    bool headerSynchronized = true;
    std::vector<std::vector<GS::UniString>> rows; // each with one text per tab field
};

// A list in which the user selects at most one row; the stand-in models no selection. [main-thread]
class DG_DLL_EXPORT SingleSelListBox : public ListBox {
public:
    using ListBox::ListBox;
    ~SingleSelListBox() override;
};

} // namespace DG

#endif
