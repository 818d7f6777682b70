#ifndef DG_PANEL_HPP
#define DG_PANEL_HPP

#include "DGExport.hpp"

#include "Definitions.hpp"
#include "RS.hpp"
#include "UniString.hpp"

#include <vector>

namespace DG {

class Panel;
class Item;

struct DG_DLL_EXPORT Rect {
    Int32 left = 0;
    Int32 top = 0;
    Int32 width = 0;
    Int32 height = 0;
};

class DG_DLL_EXPORT PanelCloseRequestEvent {
public:
    // `accepting`: a modal dialog asked to close by acceptance (its OK button); false for cancellation and the
    // close box.
    explicit PanelCloseRequestEvent(Panel& source, bool accepting = false) : source(&source), accepting(accepting) {}
    Panel* GetSource() const noexcept { return source; }
    bool IsAccepted() const noexcept { return accepting; }
    bool IsCancelled() const noexcept { return !accepting; }

private:
    Panel* source;
    bool accepting;
};

class DG_DLL_EXPORT PanelResizeEvent {
public:
    PanelResizeEvent(Panel& source, Int32 dx, Int32 dy) : source(&source), dx(dx), dy(dy) {}
    Panel* GetSource() const noexcept { return source; }
    Int32 GetHorizontalChange() const noexcept { return dx; }
    Int32 GetVerticalChange() const noexcept { return dy; }

private:
    Panel* source;
    Int32 dx;
    Int32 dy;
};

// Receives a panel's events. [main-thread]
class DG_DLL_EXPORT PanelObserver {
public:
    virtual ~PanelObserver();
    // A palette closes when an observer sets *accepted to true; a modal dialog closes unless one sets it to false.
    virtual void PanelCloseRequested(const PanelCloseRequestEvent& ev, bool* accepted);
    virtual void PanelResized(const PanelResizeEvent& ev);
};

// A window built from a dialog resource of a resource module. [main-thread]
class DG_DLL_EXPORT Panel {
public:
    // Reads the dialog description (title, size, items) from the module's resources; a missing resource
    // leaves an empty, zero-sized panel (GetStatus reports it).
    Panel(GSResModule module, GSResID resourceId);
    virtual ~Panel();
    Panel(const Panel&) = delete;
    Panel& operator=(const Panel&) = delete;

    bool IsValid() const noexcept { return valid; }
    GSResID GetResourceId() const noexcept { return resourceId; }
    const GS::UniString& GetTitle() const noexcept { return title; }
    Int32 GetWidth() const noexcept { return width; }
    Int32 GetHeight() const noexcept { return height; }

    void Attach(PanelObserver& observer);
    void Detach(PanelObserver& observer);

    void DisableItems();
    void EnableItems();
    bool AreItemsEnabled() const noexcept { return itemsEnabled; }

    // The described rectangle of item `index` (1-based); empty when the resource has no such item.
    Rect GetItemRect(short index) const;
    GS::UniString GetItemName(short index) const;
    GS::UniString GetItemText(short index) const;
    // The described items are numbered 1 to GetItemCount().
    short GetItemCount() const noexcept { return static_cast<short>(descriptions.size()); }
    RS::DialogItemType GetItemType(short index) const;
    UInt32 GetItemLengthLimit(short index) const;
    const std::vector<Item*>& GetItems() const noexcept { return items; }
    // The live item with that index; nullptr when none was made.
    Item* FindItem(short index) const;

    // Host side: the user asked to close the panel. Returns whether an observer accepted.
    bool RequestClose();
    // Host side: the user resized the panel by (dx, dy).
    void Resize(Int32 dx, Int32 dy);

protected:
    // Tells the observers; `accepted` starts as `acceptedByDefault` and each may change it.
    bool NotifyCloseRequest(const PanelCloseRequestEvent& ev, bool acceptedByDefault);

private:
    friend class Item;
    struct ItemDescription {
        short index;
        RS::DialogItemType type;
        GS::UniString name;
        GS::UniString text;
        UInt32 lengthLimit;
        Rect rect;
    };
    const ItemDescription* FindDescription(short index) const;

    GSResID resourceId;
    bool valid = false;
    GS::UniString title;
    Int32 width = 0;
    Int32 height = 0;
    bool itemsEnabled = true;
    std::vector<ItemDescription> descriptions;
    std::vector<PanelObserver*> observers;
    std::vector<Item*> items;
};

// A control on a panel, placed and labelled as the panel's resource describes. [main-thread]
class DG_DLL_EXPORT Item {
public:
    Item(const Panel& panel, short index);
    virtual ~Item();
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;

    short GetIndex() const noexcept { return index; }
    Panel& GetPanel() const noexcept { return *panel; }
    const Rect& GetRect() const noexcept { return rect; }
    Int32 GetWidth() const noexcept { return rect.width; }
    Int32 GetHeight() const noexcept { return rect.height; }

    void Resize(Int32 dx, Int32 dy);
    void Move(Int32 dx, Int32 dy);

    // A button's caption, a static text, an edit's content.
    const GS::UniString& GetText() const noexcept { return text; }

protected:
    void SetItemText(const GS::UniString& newText) { text = newText; }

private:
    Panel* panel;
    short index;
    Rect rect;
    GS::UniString text;
};

} // namespace DG

#endif
