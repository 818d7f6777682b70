#ifndef DG_DIALOG_HPP
#define DG_DIALOG_HPP

#include "DGPanel.hpp"

#include "Guid.hpp"

namespace DG {

class DG_DLL_EXPORT Dialog : public Panel {
public:
    using Panel::Panel;
    ~Dialog() override;

    // Brackets a group of item moves and resizes so the host redraws once.
    void BeginMoveResizeItems();
    void EndMoveResizeItems();
    bool IsMovingItems() const noexcept { return moveResizeDepth > 0; }

private:
    Int32 moveResizeDepth = 0;
};

// A window that lives beside the host's own; shown and hidden rather than run. [main-thread]
class DG_DLL_EXPORT ModelessBase : public Dialog {
public:
    static constexpr Int32 DefaultPosition = -32768;

    using Dialog::Dialog;
    ~ModelessBase() override;

    void Show(Int32 position = DefaultPosition);
    void Hide();
    bool IsVisible() const noexcept { return visible; }

    void BeginEventProcessing();
    void EndEventProcessing();
    bool IsProcessingEvents() const noexcept { return processingEvents; }

private:
    bool visible = false;
    bool processingEvents = false;
};

class DG_DLL_EXPORT Palette : public ModelessBase {
public:
    Palette(GSResModule module, GSResID resourceId, const GS::Guid& guid);
    ~Palette() override;

    const GS::Guid& GetGuid() const noexcept { return guid; }

private:
    GS::Guid guid;
};

// A dialog run to completion inside a call. [main-thread]
class DG_DLL_EXPORT ModalDialog : public Dialog {
public:
    enum ModalResponse { Accept = 1, Cancel = 2 };

    using Dialog::Dialog;
    ~ModalDialog() override;

    // Runs the dialog through the host until it closes; true when it closed by acceptance.
    bool Invoke();
    // Asks the running dialog to close with that response; it closes unless an observer refuses. The host's close
    // box posts Cancel.
    void PostCloseRequest(ModalResponse response);
    bool IsCloseRequested() const noexcept { return closeRequested; }
    ModalResponse GetResponse() const noexcept { return response; }

private:
    bool closeRequested = false;
    ModalResponse response = Cancel;
};

} // namespace DG

#endif
