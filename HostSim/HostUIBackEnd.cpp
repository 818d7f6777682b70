#include "HostUIBackEnd.hpp"

#include "DGFileDialog.hpp"
#include "HeadlessPage.hpp"
#include "ScriptValues.hpp"

namespace HostSim {

HostUIBackEnd::HostUIBackEnd(PageServices pageServices) : services(std::move(pageServices)) {
    pageFactory = [](DG::BrowserBase&, const PageServices& s) { return std::make_unique<HeadlessPage>(s); };
}

HostUIBackEnd::~HostUIBackEnd() = default;

void HostUIBackEnd::SetPageFactory(PageFactory factory) {
    pageFactory = std::move(factory);
}

void HostUIBackEnd::AddAlertAnswer(Int32 button) {
    alertAnswers.push_back(button);
}

void HostUIBackEnd::AddDialogAnswer(DialogAnswer answer) {
    dialogAnswers.push_back(std::move(answer));
}

void HostUIBackEnd::AddFileAnswer(std::optional<std::string> path) {
    fileAnswers.push_back(std::move(path));
}

std::optional<std::string> HostUIBackEnd::TakeFileAnswer() {
    if (fileAnswers.empty()) return std::nullopt;
    std::optional<std::string> answer = std::move(fileAnswers.front());
    fileAnswers.pop_front();
    return answer;
}

void HostUIBackEnd::PanelCreated(DG::Panel& panel) {
    // Called from the panel's base constructor: only what DG::Panel itself knows is there yet.
    PanelInfo info{panel.GetResourceId(), ToUtf8(panel.GetTitle())};
    services.transcript->Write(Line{{"panel", "created"}, {"id", info.resourceId}, {"title", info.title}});
    panels[&panel] = std::move(info);
}

void HostUIBackEnd::PanelDestroyed(DG::Panel& panel) {
    const auto it = panels.find(&panel);
    if (it == panels.end()) return; // made before this back end was installed
    services.transcript->Write(
        Line{{"panel", "destroyed"}, {"id", it->second.resourceId}, {"title", it->second.title}});
    panels.erase(it);
    if (openPalette == &panel) openPalette = nullptr;
}

void HostUIBackEnd::VisibilityChanged(DG::ModelessBase& panel, bool visible, Int32 position) {
    Line line{{"palette", visible ? "shown" : "hidden"}, {"title", ToUtf8(panel.GetTitle())}};
    if (visible) line["position"] = position;
    services.transcript->Write(std::move(line));
    auto* palette = dynamic_cast<DG::Palette*>(&panel);
    if (visible && palette != nullptr) {
        openPalette = palette;
    } else if (!visible && openPalette == palette) {
        openPalette = nullptr;
    }
}

void HostUIBackEnd::ItemsEnabledChanged(DG::Panel& panel, bool enabled) {
    services.transcript->Write(Line{{"items", enabled ? "enabled" : "disabled"}, {"title", ToUtf8(panel.GetTitle())}});
}

std::unique_ptr<DG::BrowserPage> HostUIBackEnd::CreateBrowserPage(DG::BrowserBase& browser) {
    return pageFactory ? pageFactory(browser, services) : nullptr;
}

short HostUIBackEnd::ShowAlert(DG::AlertKind, const GS::UniString& largeText, const GS::UniString& smallText,
                               const GS::UniString& button1, const GS::UniString& button2,
                               const GS::UniString& button3) {
    Line buttons = Line::array();
    for (const GS::UniString* button : {&button1, &button2, &button3})
        if (!button->IsEmpty()) buttons.push_back(ToUtf8(*button));

    Int32 answer = 1;
    if (!alertAnswers.empty()) {
        answer = alertAnswers.front();
        alertAnswers.pop_front();
        if (answer < 1 || static_cast<std::size_t>(answer) > buttons.size()) {
            services.transcript->Error("answer: the alert has no button " + std::to_string(answer) +
                                       "; it was closed with button 1");
            answer = 1;
        }
    }
    services.transcript->Write(
        Line{{"alert", Line{{"large", ToUtf8(largeText)}, {"small", ToUtf8(smallText)}, {"buttons", buttons}}},
             {"answer", answer}});
    return static_cast<short>(answer);
}

void HostUIBackEnd::RunModalDialog(DG::ModalDialog& dialog) {
    services.transcript->Write(DescribeDialog(dialog));
    DialogAnswer answer;
    if (!dialogAnswers.empty()) {
        answer = std::move(dialogAnswers.front());
        dialogAnswers.pop_front();
    }
    PlayDialogAnswer(dialog, answer, *services.transcript);
    Line closed{{"title", ToUtf8(dialog.GetTitle())}};
    if (!dialog.IsCloseRequested()) {
        // Nothing more from the user: the host ends the dialog as Escape would. An observer may still refuse;
        // the dialog then ends without a close request, which its Invoke reads as not accepted.
        closed["unanswered"] = true;
        dialog.PostCloseRequest(DG::ModalDialog::Cancel);
    }
    closed["response"] =
        dialog.IsCloseRequested() && dialog.GetResponse() == DG::ModalDialog::Accept ? "accept" : "cancel";
    services.transcript->Write(Line{{"dialogClosed", std::move(closed)}});
}

bool HostUIBackEnd::RunFileDialog(DG::FileDialog& dialog) {
    Line filters = Line::array();
    for (UIndex i = 0; i < dialog.GetFilterCount(); ++i) {
        const DG::FileDialog::Filter& filter = dialog.GetFilter(i);
        Line extensions = Line::array();
        for (const GS::UniString& extension : filter.extensions)
            extensions.push_back(ToUtf8(extension));
        filters.push_back(Line{{"text", ToUtf8(filter.text)}, {"extensions", extensions}, {"option", filter.option}});
    }
    const std::optional<std::string> answer = TakeFileAnswer();
    services.transcript->Write(
        Line{{"fileDialog", Line{{"type", static_cast<int>(dialog.GetType())}, {"filters", filters}}},
             {"answer", answer ? Line(*answer) : Line(nullptr)}});
    if (!answer) return false;

    GS::Array<IO::Location> selection;
    selection.Push(IO::Location::FromFileSystemPath(*answer));
    dialog.SetSelection(std::move(selection));
    return true;
}

} // namespace HostSim
