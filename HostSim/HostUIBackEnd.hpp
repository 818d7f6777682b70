#ifndef HOSTSIM_HOSTUIBACKEND_HPP
#define HOSTSIM_HOSTUIBACKEND_HPP

#include "HostPage.hpp"
#include "ModalDialogAnswer.hpp"
#include "Transcript.hpp"

#include "DGDialog.hpp"
#include "DGUIBackEnd.hpp"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace HostSim {

// How the host shows DG's panels, alerts, dialogs and pages: it records them in the transcript and answers with
// the answers the scenario preset. Installed with DG::SetUIBackEnd for the time the add-on is loaded.
// [main-thread], like DG itself.
class HostUIBackEnd final : public DG::UIBackEnd {
public:
    // Makes the page of a new browser item; the default makes a HeadlessPage.
    using PageFactory = std::function<std::unique_ptr<HostPage>(DG::BrowserBase&, const PageServices&)>;

    explicit HostUIBackEnd(PageServices services);
    ~HostUIBackEnd() override;

    void SetPageFactory(PageFactory factory);

    // Preset answers, each used once, in the order given. An alert answer is a 1-based button number; a dialog
    // answer is what the user does in the next modal dialog. A dialog still open when its answer (or the lack of
    // one) is played out is closed by cancellation.
    void AddAlertAnswer(Int32 button);
    void AddDialogAnswer(DialogAnswer answer);
    // File dialog answers, taken in order: a path chooses that file, nullopt cancels. Without one the dialog cancels.
    void AddFileAnswer(std::optional<std::string> path);
    std::optional<std::string> TakeFileAnswer();

    // The palette last shown and still visible; nullptr when none is.
    DG::Palette* GetOpenPalette() const noexcept { return openPalette; }
    std::size_t GetLivePanelCount() const noexcept { return panels.size(); }
    const PageServices& GetPageServices() const noexcept { return services; }

    void PanelCreated(DG::Panel& panel) override;
    void PanelDestroyed(DG::Panel& panel) override;
    void VisibilityChanged(DG::ModelessBase& panel, bool visible, Int32 position) override;
    void ItemsEnabledChanged(DG::Panel& panel, bool enabled) override;
    std::unique_ptr<DG::BrowserPage> CreateBrowserPage(DG::BrowserBase& browser) override;
    short ShowAlert(DG::AlertKind kind, const GS::UniString& largeText, const GS::UniString& smallText,
                    const GS::UniString& button1, const GS::UniString& button2, const GS::UniString& button3) override;
    void RunModalDialog(DG::ModalDialog& dialog) override;
    bool RunFileDialog(DG::FileDialog& dialog) override;

private:
    struct PanelInfo {
        GSResID resourceId;
        std::string title;
    };

    PageServices services;
    PageFactory pageFactory;
    std::map<const DG::Panel*, PanelInfo> panels;
    DG::Palette* openPalette = nullptr;
    std::deque<Int32> alertAnswers;
    std::deque<DialogAnswer> dialogAnswers;
    std::deque<std::optional<std::string>> fileAnswers;
};

} // namespace HostSim

#endif
