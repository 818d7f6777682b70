#ifndef DG_BUTTON_HPP
#define DG_BUTTON_HPP

#include "DGPanel.hpp"

#include <vector>

namespace DG {

class ButtonItem;

class DG_DLL_EXPORT ButtonClickEvent {
public:
    explicit ButtonClickEvent(ButtonItem& source) : source(&source) {}
    ButtonItem* GetSource() const noexcept { return source; }

private:
    ButtonItem* source;
};

// Receives the clicks of the buttons it is attached to. [main-thread]
class DG_DLL_EXPORT ButtonItemObserver {
public:
    virtual ~ButtonItemObserver();
    virtual void ButtonClicked(const ButtonClickEvent& ev);
};

// A push button of a panel; its caption is the resource text. [main-thread]
class DG_DLL_EXPORT ButtonItem : public Item {
public:
    ButtonItem(const Panel& panel, short index);
    ~ButtonItem() override;

    void SetText(const GS::UniString& caption) { SetItemText(caption); }

    void Attach(ButtonItemObserver& observer);
    void Detach(ButtonItemObserver& observer);

    // Host side: the user clicked the button. Returns false, and tells no one, while the panel's items are disabled.
    bool Click();

private:
    std::vector<ButtonItemObserver*> observers;
};

class DG_DLL_EXPORT Button : public ButtonItem {
public:
    using ButtonItem::ButtonItem;
    ~Button() override;
};

} // namespace DG

#endif
