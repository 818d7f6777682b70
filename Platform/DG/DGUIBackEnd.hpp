#ifndef DG_UIBACKEND_HPP
#define DG_UIBACKEND_HPP

#include "DGExport.hpp"

#include "UniString.hpp"

#include <memory>

namespace DG {

class Panel;
class ModelessBase;
class ModalDialog;
class BrowserBase;
class BrowserPage;
class FileDialog;

enum class AlertKind { Information };

// How DG reaches the user: the host installs one back end before it loads add-ons. Every call comes on the
// main thread. Without a back end, alerts answer their first button, modal and file dialogs cancel and browser items
// show no page.
class DG_DLL_EXPORT UIBackEnd {
public:
    virtual ~UIBackEnd();

    virtual void PanelCreated(Panel& panel);
    virtual void PanelDestroyed(Panel& panel);
    virtual void VisibilityChanged(ModelessBase& panel, bool visible, Int32 position);
    virtual void ItemsEnabledChanged(Panel& panel, bool enabled);

    // The page behind a new browser item; nullptr for none.
    virtual std::unique_ptr<BrowserPage> CreateBrowserPage(BrowserBase& browser);
    // Returns the 1-based index of the button that closed the alert.
    virtual short ShowAlert(AlertKind kind, const GS::UniString& largeText, const GS::UniString& smallText,
                            const GS::UniString& button1, const GS::UniString& button2, const GS::UniString& button3);
    // Drives a modal dialog until it has a close request (PostCloseRequest); returns when it has.
    virtual void RunModalDialog(ModalDialog& dialog);
    // Lets the user pick items for a file dialog; returns true when accepted, after dialog.SetSelection.
    virtual bool RunFileDialog(FileDialog& dialog);
};

// [main-thread] The back end must outlive every panel created while it is installed; nullptr removes it.
DG_DLL_EXPORT void SetUIBackEnd(UIBackEnd* backEnd);
DG_DLL_EXPORT UIBackEnd* GetUIBackEnd();

} // namespace DG

#endif
