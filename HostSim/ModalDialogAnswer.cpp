#include "ModalDialogAnswer.hpp"

#include "ScriptValues.hpp"

#include "DGButton.hpp"
#include "DGEditControl.hpp"
#include "DGListBox.hpp"

#include <stdexcept>

namespace HostSim {

namespace {

const char* ItemKindName(RS::DialogItemType type) {
    switch (type) {
    case RS::DialogItemType::Browser:
        return "browser";
    case RS::DialogItemType::Button:
        return "button";
    case RS::DialogItemType::LeftText:
        return "leftText";
    case RS::DialogItemType::TextEdit:
        return "textEdit";
    case RS::DialogItemType::SingleSelListBox:
        return "singleSelListBox";
    }
    return "unknown";
}

short ItemNumber(const Line& value, const char* key) {
    if (!value.is_number_integer() || value.get<std::int64_t>() < 1 || value.get<std::int64_t>() > 32767)
        throw std::invalid_argument(std::string("\"") + key + "\" takes an item number from 1");
    return static_cast<short>(value.get<std::int64_t>());
}

DialogStep ParseStep(const Line& step) {
    if (!step.is_object() || step.empty())
        throw std::invalid_argument("a step is an object: {\"type\": text, \"item\": n}, {\"click\": n} or "
                                    "{\"close\": true}");
    DialogStep parsed;
    if (step.contains("type")) {
        if (step.size() != 2 || !step.contains("item") || !step["type"].is_string())
            throw std::invalid_argument("a \"type\" step is {\"type\": text, \"item\": n}");
        parsed.kind = DialogStep::Kind::Type;
        parsed.text = step["type"].get<std::string>();
        parsed.item = ItemNumber(step["item"], "item");
    } else if (step.contains("click")) {
        if (step.size() != 1) throw std::invalid_argument("a \"click\" step is {\"click\": n}");
        parsed.kind = DialogStep::Kind::Click;
        parsed.item = ItemNumber(step["click"], "click");
    } else if (step.contains("close")) {
        if (step.size() != 1 || step["close"] != true) throw std::invalid_argument("a close step is {\"close\": true}");
        parsed.kind = DialogStep::Kind::CloseBox;
    } else {
        throw std::invalid_argument("unknown step " + step.dump());
    }
    return parsed;
}

const char* JustificationName(DG::ListBox::Justification justification) {
    switch (justification) {
    case DG::ListBox::DefaultJust:
        return "default";
    case DG::ListBox::Left:
        return "left";
    case DG::ListBox::Center:
        return "center";
    case DG::ListBox::Right:
        return "right";
    }
    return "unknown";
}

const char* TruncationName(DG::ListBox::Truncation truncation) {
    switch (truncation) {
    case DG::ListBox::NoTruncate:
        return "none";
    case DG::ListBox::EndTruncate:
        return "end";
    case DG::ListBox::MiddleTruncate:
        return "middle";
    }
    return "unknown";
}

// A list's fields, header and rows as the user sees them; each row holds one text per field.
void DescribeList(const DG::ListBox& list, Line& item) {
    Line fields = Line::array();
    Line header = Line::array();
    for (short field = 1; field <= list.GetTabFieldCount(); ++field) {
        const DG::ListBox::TabField tab = list.GetTabField(field);
        fields.push_back(Line{{"begin", tab.begin},
                              {"end", tab.end},
                              {"justification", JustificationName(tab.justification)},
                              {"truncation", TruncationName(tab.truncation)},
                              {"separator", tab.hasSeparator}});
        header.push_back(
            Line{{"text", ToUtf8(list.GetHeaderItemText(field))}, {"size", list.GetHeaderItemSize(field)}});
    }
    Line rows = Line::array();
    for (short row = 1; row <= list.GetItemCount(); ++row) {
        Line texts = Line::array();
        for (short field = 1; field <= list.GetTabFieldCount(); ++field)
            texts.push_back(ToUtf8(list.GetTabItemText(row, field)));
        rows.push_back(std::move(texts));
    }
    item["tabFields"] = std::move(fields);
    item["header"] = Line{{"synchronized", list.IsHeaderSynchronized()}, {"items", std::move(header)}};
    item["rows"] = std::move(rows);
}

std::string DialogTitle(const DG::ModalDialog& dialog) {
    return ToUtf8(dialog.GetTitle());
}

} // namespace

DialogAnswer ParseDialogAnswer(const Line& value) {
    DialogStep respond;
    if (value == "accept" || value == static_cast<int>(DG::ModalDialog::Accept)) {
        respond.response = DG::ModalDialog::Accept;
        return {respond};
    }
    if (value == "cancel" || value == static_cast<int>(DG::ModalDialog::Cancel)) return {respond};
    if (!value.is_array()) throw std::invalid_argument("\"dialog\" takes \"accept\", \"cancel\" or an array of steps");
    DialogAnswer answer;
    for (const Line& step : value)
        answer.push_back(ParseStep(step));
    return answer;
}

Line DescribeDialog(const DG::ModalDialog& dialog) {
    Line items = Line::array();
    for (short index = 1; index <= dialog.GetItemCount(); ++index) {
        Line item{{"item", index}, {"kind", ItemKindName(dialog.GetItemType(index))}};
        const DG::Item* live = dialog.FindItem(index);
        const GS::UniString text = live != nullptr ? live->GetText() : dialog.GetItemText(index);
        item["text"] = ToUtf8(text);
        if (const auto* list = dynamic_cast<const DG::ListBox*>(live)) DescribeList(*list, item);
        items.push_back(std::move(item));
    }
    return Line{{"dialog", Line{{"id", dialog.GetResourceId()}, {"title", DialogTitle(dialog)}, {"items", items}}}};
}

void PlayDialogAnswer(DG::ModalDialog& dialog, const DialogAnswer& answer, Transcript& transcript) {
    const std::string title = DialogTitle(dialog);
    for (std::size_t i = 0; i < answer.size(); ++i) {
        if (dialog.IsCloseRequested()) {
            transcript.Error("answer: the dialog \"" + title + "\" closed before step " + std::to_string(i + 1) +
                             "; the rest of its answer was dropped");
            return;
        }
        const DialogStep& step = answer[i];
        switch (step.kind) {
        case DialogStep::Kind::Type: {
            auto* edit = dynamic_cast<DG::TextEdit*>(dialog.FindItem(step.item));
            if (edit == nullptr) {
                transcript.Error("answer: the dialog \"" + title + "\" has no text edit " + std::to_string(step.item));
                break;
            }
            edit->SetText(ToUniString(step.text));
            // The text as it stands: the length limit may have cut it.
            transcript.Write(Line{{"dialogType", Line{{"item", step.item}, {"text", ToUtf8(edit->GetText())}}}});
            break;
        }
        case DialogStep::Kind::Click: {
            auto* button = dynamic_cast<DG::ButtonItem*>(dialog.FindItem(step.item));
            if (button == nullptr) {
                transcript.Error("answer: the dialog \"" + title + "\" has no button " + std::to_string(step.item));
                break;
            }
            transcript.Write(Line{{"dialogClick", Line{{"item", step.item}, {"text", ToUtf8(button->GetText())}}}});
            (void)button->Click(); // a click on a disabled button is the user's, and does nothing
            break;
        }
        case DialogStep::Kind::CloseBox:
            transcript.Write(Line{{"dialogClick", "close box"}});
            dialog.PostCloseRequest(DG::ModalDialog::Cancel);
            break;
        case DialogStep::Kind::Respond:
            dialog.PostCloseRequest(step.response);
            break;
        }
    }
}

} // namespace HostSim
