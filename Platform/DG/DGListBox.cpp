#include "DGListBox.hpp"

#include <limits>

namespace DG {

ListBox::ListBox(const Panel& panel, short index) : Item(panel, index), tabFields(1), header(1) {}

ListBox::~ListBox() = default;

void ListBox::SetTabFieldCount(short count) {
    const auto size = static_cast<std::size_t>(count < 0 ? 0 : count);
    tabFields.resize(size);
    header.resize(size);
    for (std::vector<GS::UniString>& row : rows)
        row.resize(size);
}

void ListBox::SetTabFieldProperties(short tabIndex, short begin, short end, Justification justification,
                                    Truncation truncation, bool hasSeparator) {
    if (!IsField(tabIndex)) return;
    tabFields[static_cast<std::size_t>(tabIndex - 1)] = TabField{begin, end, justification, truncation, hasSeparator};
}

ListBox::TabField ListBox::GetTabField(short tabIndex) const {
    return IsField(tabIndex) ? tabFields[static_cast<std::size_t>(tabIndex - 1)] : TabField{};
}

void ListBox::SetHeaderItemSize(short headerItem, short size) {
    if (IsField(headerItem)) header[static_cast<std::size_t>(headerItem - 1)].size = size;
}

short ListBox::GetHeaderItemSize(short headerItem) const {
    if (!IsField(headerItem)) return 0;
    if (headerSynchronized) {
        const TabField& field = tabFields[static_cast<std::size_t>(headerItem - 1)];
        return static_cast<short>(field.end - field.begin);
    }
    return header[static_cast<std::size_t>(headerItem - 1)].size;
}

void ListBox::SetHeaderItemText(short headerItem, const GS::UniString& text) {
    if (IsField(headerItem)) header[static_cast<std::size_t>(headerItem - 1)].text = text;
}

GS::UniString ListBox::GetHeaderItemText(short headerItem) const {
    return IsField(headerItem) ? header[static_cast<std::size_t>(headerItem - 1)].text : GS::UniString();
}

bool ListBox::AppendItem() {
    if (rows.size() >= static_cast<std::size_t>(std::numeric_limits<short>::max())) return false;
    rows.emplace_back(tabFields.size());
    return true;
}

void ListBox::SetTabItemText(short listItem, short tabIndex, const GS::UniString& text) {
    if (IsRow(listItem) && IsField(tabIndex))
        rows[static_cast<std::size_t>(listItem - 1)][static_cast<std::size_t>(tabIndex - 1)] = text;
}

GS::UniString ListBox::GetTabItemText(short listItem, short tabIndex) const {
    if (!IsRow(listItem) || !IsField(tabIndex)) return GS::UniString();
    return rows[static_cast<std::size_t>(listItem - 1)][static_cast<std::size_t>(tabIndex - 1)];
}

SingleSelListBox::~SingleSelListBox() = default;

} // namespace DG
