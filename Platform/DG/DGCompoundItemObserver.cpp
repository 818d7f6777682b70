#include "DGCompoundItemObserver.hpp"

#include "DGButton.hpp"

namespace DG {

CompoundItemObserver::~CompoundItemObserver() = default;

void CompoundItemObserver::AttachToAllItems(const Panel& panel) {
    auto* buttonObserver = dynamic_cast<ButtonItemObserver*>(this);
    for (Item* item : panel.GetItems()) {
        if (auto* button = dynamic_cast<ButtonItem*>(item); button != nullptr && buttonObserver != nullptr)
            button->Attach(*buttonObserver);
    }
}

void CompoundItemObserver::DetachFromAllItems(const Panel& panel) {
    auto* buttonObserver = dynamic_cast<ButtonItemObserver*>(this);
    for (Item* item : panel.GetItems()) {
        if (auto* button = dynamic_cast<ButtonItem*>(item); button != nullptr && buttonObserver != nullptr)
            button->Detach(*buttonObserver);
    }
}

} // namespace DG
