#include "DGButton.hpp"

#include <algorithm>

namespace DG {

ButtonItemObserver::~ButtonItemObserver() = default;
void ButtonItemObserver::ButtonClicked(const ButtonClickEvent&) {}

ButtonItem::ButtonItem(const Panel& panel, short index) : Item(panel, index) {}

ButtonItem::~ButtonItem() = default;

void ButtonItem::Attach(ButtonItemObserver& observer) {
    if (std::find(observers.begin(), observers.end(), &observer) == observers.end()) observers.push_back(&observer);
}

void ButtonItem::Detach(ButtonItemObserver& observer) {
    std::erase(observers, &observer);
}

bool ButtonItem::Click() {
    if (!GetPanel().AreItemsEnabled()) return false;
    const ButtonClickEvent ev(*this);
    // An observer may detach, or close the dialog, while notified; walk a copy.
    const std::vector<ButtonItemObserver*> current = observers;
    for (ButtonItemObserver* observer : current)
        observer->ButtonClicked(ev);
    return true;
}

Button::~Button() = default;

} // namespace DG
