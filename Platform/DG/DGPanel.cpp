#include "DGPanel.hpp"

#include "DGUIBackEnd.hpp"
#include "RS.hpp"

#include <algorithm>

namespace DG {

namespace {

UIBackEnd& BackEnd() {
    // Never destroyed: panels may outlive static destruction (an add-on unloaded at process exit).
    static UIBackEnd* const fallback = new UIBackEnd;
    UIBackEnd* installed = GetUIBackEnd();
    return installed != nullptr ? *installed : *fallback;
}

} // namespace

PanelObserver::~PanelObserver() = default;
void PanelObserver::PanelCloseRequested(const PanelCloseRequestEvent&, bool*) {}
void PanelObserver::PanelResized(const PanelResizeEvent&) {}

Panel::Panel(GSResModule module, GSResID resourceId) : resourceId(resourceId) {
    RS::DialogDescription description;
    if (RS::GetDialogDescription(&description, resourceId, module)) {
        valid = true;
        title = description.title;
        width = description.width;
        height = description.height;
        for (const RS::DialogItemDescription& item : description.items) {
            descriptions.push_back(ItemDescription{static_cast<short>(item.index), item.type, item.name, item.text,
                                                   item.lengthLimit, Rect{item.x, item.y, item.width, item.height}});
        }
    }
    BackEnd().PanelCreated(*this);
}

Panel::~Panel() {
    BackEnd().PanelDestroyed(*this);
}

void Panel::Attach(PanelObserver& observer) {
    if (std::find(observers.begin(), observers.end(), &observer) == observers.end()) observers.push_back(&observer);
}

void Panel::Detach(PanelObserver& observer) {
    std::erase(observers, &observer);
}

void Panel::DisableItems() {
    itemsEnabled = false;
    BackEnd().ItemsEnabledChanged(*this, false);
}

void Panel::EnableItems() {
    itemsEnabled = true;
    BackEnd().ItemsEnabledChanged(*this, true);
}

const Panel::ItemDescription* Panel::FindDescription(short index) const {
    for (const ItemDescription& d : descriptions)
        if (d.index == index) return &d;
    return nullptr;
}

Rect Panel::GetItemRect(short index) const {
    const ItemDescription* d = FindDescription(index);
    return d != nullptr ? d->rect : Rect{};
}

GS::UniString Panel::GetItemName(short index) const {
    const ItemDescription* d = FindDescription(index);
    return d != nullptr ? d->name : GS::UniString();
}

GS::UniString Panel::GetItemText(short index) const {
    const ItemDescription* d = FindDescription(index);
    return d != nullptr ? d->text : GS::UniString();
}

RS::DialogItemType Panel::GetItemType(short index) const {
    const ItemDescription* d = FindDescription(index);
    return d != nullptr ? d->type : RS::DialogItemType::Browser;
}

UInt32 Panel::GetItemLengthLimit(short index) const {
    const ItemDescription* d = FindDescription(index);
    return d != nullptr ? d->lengthLimit : 0;
}

Item* Panel::FindItem(short index) const {
    for (Item* item : items)
        if (item->GetIndex() == index) return item;
    return nullptr;
}

bool Panel::RequestClose() {
    return NotifyCloseRequest(PanelCloseRequestEvent(*this), false);
}

bool Panel::NotifyCloseRequest(const PanelCloseRequestEvent& ev, bool acceptedByDefault) {
    bool accepted = acceptedByDefault;
    // Observers may detach while notified; walk a copy.
    const std::vector<PanelObserver*> current = observers;
    for (PanelObserver* observer : current)
        observer->PanelCloseRequested(ev, &accepted);
    return accepted;
}

void Panel::Resize(Int32 dx, Int32 dy) {
    width += dx;
    height += dy;
    const PanelResizeEvent ev(*this, dx, dy);
    const std::vector<PanelObserver*> current = observers;
    for (PanelObserver* observer : current)
        observer->PanelResized(ev);
}

Item::Item(const Panel& panel, short index)
    : panel(const_cast<Panel*>(&panel)), index(index), rect(panel.GetItemRect(index)), text(panel.GetItemText(index)) {
    this->panel->items.push_back(this);
}

Item::~Item() {
    std::erase(panel->items, this);
}

void Item::Resize(Int32 dx, Int32 dy) {
    rect.width += dx;
    rect.height += dy;
}

void Item::Move(Int32 dx, Int32 dy) {
    rect.left += dx;
    rect.top += dy;
}

} // namespace DG
