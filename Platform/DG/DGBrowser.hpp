#ifndef DG_BROWSER_HPP
#define DG_BROWSER_HPP

#include "DGPanel.hpp"

#include "Owner.hpp"
#include "Ref.hpp"

#include <memory>

namespace JS {
class Object;
}

namespace DG {

// The page shown by a browser item, supplied by the host's UI back end.
class DG_DLL_EXPORT BrowserPage {
public:
    virtual ~BrowserPage();
    virtual void LoadURL(const GS::UniString& url) = 0;               // [main-thread]
    virtual void ExecuteJS(const GS::UniString& script) = 0;          // [thread-safe] runs on the page's thread
    virtual bool RegisterAsynchJSObject(GS::Ref<JS::Object> obj) = 0; // [main-thread]
    virtual void SetContextMenuMode(Int32 mode) = 0;                  // [main-thread]
};

// Embedded browser item. Without a host page every operation does nothing.
class DG_DLL_EXPORT BrowserBase : public Item {
public:
    enum ContextMenuMode { DefaultContextMenu = 0, DeveloperContextMenu = 1, NoContextMenu = 2 };

    BrowserBase(const Panel& panel, short index);
    ~BrowserBase() override;

    virtual void LoadURL(const GS::UniString& url);               // [main-thread]
    virtual void ExecuteJS(const GS::UniString& script);          // [thread-safe]
    virtual bool RegisterAsynchJSObject(GS::Ref<JS::Object> obj); // [main-thread]
    virtual void SetContextMenuMode(ContextMenuMode mode);        // [main-thread]

private:
    std::unique_ptr<BrowserPage> page;
};

class DG_DLL_EXPORT Browser : public BrowserBase {
public:
    Browser(const Panel& panel, short index);
    ~Browser() override;
};

} // namespace DG

#endif
