#ifndef QUILLMAR_QUILLMARPALETTE_HPP
#define QUILLMAR_QUILLMARPALETTE_HPP

#include "KeepInMemory.hpp"

#include "DGBrowser.hpp"
#include "DGDialog.hpp"
#include "Guid.hpp"
#include "Ref.hpp"
#include "UniString.hpp"

#include <memory>
#include <optional>

class ExchangeState;
class MappingState;
class PageReports;
class PublishState;
class TransferReports;
class ViewpointState;
struct ACSection;
struct PropertyMapData;
struct SchemeProperty;

// The add-on's only window: a palette whose whole surface is the web application's browser item. It exists at
// most once per process, from its first opening until the add-on file is unloaded. It owns one state object per
// subsystem and hands them to the page's calls; jobs report through its report receiver, never through the palette.
//
// Threads: the palette is made, used and destroyed on the main thread only.
class QuillmarPalette : public DG::Palette, public DG::PanelObserver {
public:
    // Record types the add-on's other parts know under the palette's name.
    using ACSection = ::ACSection;
    using PropertyMapData = ::PropertyMapData;
    using SchemeProperty = ::SchemeProperty;

    QuillmarPalette();
    ~QuillmarPalette() override;

    // Singleton access. GetInstance throws GS::NullPointerException ("Null pointer.") without a palette.
    static bool HasInstance();
    static QuillmarPalette& GetInstance();
    // Creates the palette (replacing any earlier one) and asks the host to keep the add-on loaded.
    static void CreateInstance();
    // Releases the palette; called when the add-on file is unloaded.
    static void DestroyInstance();

    void ShowPalette();
    void HidePalette();

    // Runs a script in the page; nothing is awaited or reported.
    void RunPageScript(const GS::UniString& script);

    // Opens the downloaded models of the import list one after the other and merges the elements of all but the
    // last into the project of the last; empties the list.
    void OpenAndMergeIFCFiles();

    // Selection tracking, switched by the page.
    bool IsSelectionTracking() const noexcept { return selectionTracking; }
    void SetSelectionTracking(bool on) noexcept { selectionTracking = on; }

    ExchangeState& GetExchangeState() noexcept { return *exchange; }
    ViewpointState& GetViewpointState() noexcept { return *viewpoints; }
    MappingState& GetMappingState() noexcept { return *mapping; }
    PublishState& GetPublishState() noexcept { return *publishing; }
    // [thread-safe once handed over] The receiver that jobs started from this palette report to.
    std::shared_ptr<TransferReports> GetTransferReports() const;

    DG::Browser& GetBrowser() noexcept { return browser; }

private:
    void PanelCloseRequested(const DG::PanelCloseRequestEvent& ev, bool* accepted) override;
    void PanelResized(const DG::PanelResizeEvent& ev) override;

    void RegisterAPIJavaScriptObject();
    void SetMenuCheckMark(bool checked);

    DG::Browser browser;
    bool selectionTracking = false;
    const std::shared_ptr<ExchangeState> exchange;
    const std::shared_ptr<ViewpointState> viewpoints;
    const std::unique_ptr<MappingState> mapping;
    const std::shared_ptr<PublishState> publishing;
    const std::shared_ptr<PageReports> reports;

    // Taken once the palette is made (CreateInstance); withdrawn with the palette.
    std::optional<KeepInMemoryRequest> keepInMemory;
};

// The palette's identity, parsed once when the add-on file is loaded.
const GS::Guid& GetPaletteGuid();
// Sum modulo 2^32 of the four 32-bit words of the palette GUID: the palette's reference number with the host.
Int32 GetPaletteReferenceNumber();

#endif
