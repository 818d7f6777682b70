#include "DGEditControl.hpp"

namespace DG {

namespace {

bool IsHighSurrogate(UniChar unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

} // namespace

TextEdit::TextEdit(const Panel& panel, short index) : Item(panel, index), maxLength(panel.GetItemLengthLimit(index)) {
    SetText(GetText());
}

TextEdit::~TextEdit() = default;

void TextEdit::SetText(const GS::UniString& newText) {
    if (maxLength == 0 || newText.GetLength() <= maxLength) {
        SetItemText(newText);
        return;
    }
    USize length = maxLength;
    if (IsHighSurrogate(newText[length - 1])) --length;
    SetItemText(newText.GetPrefix(length));
}

} // namespace DG
