#ifndef QUILLMAR_QUILLMARPALETTE_HPP
#define QUILLMAR_QUILLMARPALETTE_HPP

#include "KeepInMemory.hpp"
#include "Transfer/PublishSetItem.hpp"
#include "Viewpoints/ViewpointData.hpp"

#include "Array.hpp"
#include "DGBrowser.hpp"
#include "DGDialog.hpp"
#include "Guid.hpp"
#include "Location.hpp"
#include "Owner.hpp"
#include "Ref.hpp"
#include "UniString.hpp"

#include <functional>
#include <mutex>
#include <optional>

// The add-on's only window: a palette whose whole surface is the web application's browser item. It exists at
// most once per process, from its first opening until the add-on file is unloaded, and owns the state shared between
// script calls and worker-thread jobs.
//
// Threads: everything runs on the main thread except RunPageScript and the callback methods (Complete..., Fail...,
// InsertViewpoint), which jobs call from their own threads. Members those write are guarded by one mutex; main-thread
// readers go through the accessors below, which take it.
class QuillmarPalette : public DG::Palette, public DG::PanelObserver {
public:
    // A section plane of a viewpoint (a point of it and its unit normal).
    using ACSection = ::ACSection;

    struct PublishRecordData {
        GS::UniString projectId;
        GS::UniString publishSet;
        GS::UniString publishItems;
    };

    // One property of a mapping file that the IFC export adds.
    struct PropertyMapData {
        GS::UniString propertyDefinitionGroupName; // may be empty
        GS::UniString propertyDefinitionName;      // may be empty
        GS::UniString name;                        // the IFC property name
        GS::UniString dataType;                    // an IFC value type name; may be empty
        UInt32 propertyKind = 0;                   // 0 single, 1 enumerated, 2 bounded, 3 list, 4 table value
    };

    // One IFC entity type and property set with its mapped properties, in file order.
    struct SchemeProperty {
        GS::UniString ifcEntityType;   // never empty
        GS::UniString propertySetName; // never empty
        GS::Owner<GS::Array<PropertyMapData>> properties;
    };

    QuillmarPalette();
    ~QuillmarPalette() override;

    // [main-thread] Singleton access. GetInstance throws GS::NullPointerException ("Null pointer.") without a palette.
    static bool HasInstance();
    static QuillmarPalette& GetInstance();
    // [thread-safe] The palette as a counted reference, empty without one: jobs on worker threads hold it while
    // they report, so it cannot go away under them.
    static GS::Ref<QuillmarPalette> FindInstance();
    // Creates the palette (replacing any earlier one) and asks the host to keep the add-on loaded.
    static void CreateInstance();
    // Releases the palette; called when the add-on file is unloaded.
    static void DestroyInstance();

    void ShowPalette();
    void HidePalette();

    // [thread-safe] Runs a script in the page; nothing is awaited or reported.
    void RunPageScript(const GS::UniString& script);

    // [thread-safe] Callbacks of the transfer jobs: each stores its value, then runs the page function of its name.
    void CompleteExportModel(const GS::UniString& body);
    void FailExportModel();
    void CompleteExportPlan(const GS::UniString& body);
    void FailExportPlan();
    // Counts one finished publish upload; runs "CompleteExportPublish()" when the count reaches the number of items.
    void CompleteExportPublish();
    // The same for a job of publish run `run`; a job of an earlier run no longer counts.
    void CompleteExportPublish(UInt32 run);
    // Marks item `index` of publish run `run` as uploaded as document `documentId`.
    void SetPublishItemUploaded(UInt32 run, UIndex index, const GS::UniString& documentId);
    // Keeps an upload's answer for the page without reporting success.
    void SetLastIfcExportResponse(const GS::UniString& body);
    void CompleteImportModels(const GS::Array<GS::UniString>& paths);
    void InsertViewpoint(const GS::UniString& body);

    // [main-thread] Selection tracking, switched by the page.
    bool IsSelectionTracking() const noexcept { return selectionTracking; }
    void SetSelectionTracking(bool on) noexcept { selectionTracking = on; }

    // [main-thread] Reads and writes of the shared members, each under the shared-state lock.
    GS::UniString GetLastIfcExportResponse() const;
    GS::UniString GetLastPlanExportResponse() const;
    GS::UniString GetSnapshotResponse() const;
    GS::Array<GS::UniString> GetImportList() const;
    void ClearImportList();
    // Replaces the publish items for a new run and resets the finished-upload count; returns the run's number.
    UInt32 StartPublishRun(GS::Array<PublishSetItem> items);
    // Runs `fn` on the publish items under the lock (jobs write their own item through it too).
    void WithPublishItems(const std::function<void(GS::Array<PublishSetItem>&)>& fn);
    UInt32 GetPublishUploadCounter() const;

    // [main-thread] State that only the main thread touches.
    GS::UniString registeredIfcFileName;
    GS::UniString lastPlanFile;
    GS::UniString pendingSnapshotFile;
    PublishRecordData publishRecord;

    // [main-thread] Replaces the mapping list with the file's when its root is "SchemeItemList" and returns true;
    // otherwise (also for a missing or malformed file) returns false and leaves the list as it was.
    bool LoadMappingFile(const IO::Location& file);
    // No two entries share both entity type and property set name.
    const GS::Array<SchemeProperty>& GetMappingList() const noexcept { return mappingList; }

    DG::Browser& GetBrowser() noexcept { return browser; }

private:
    void PanelCloseRequested(const DG::PanelCloseRequestEvent& ev, bool* accepted) override;
    void PanelResized(const DG::PanelResizeEvent& ev) override;

    void RegisterAPIJavaScriptObject();
    void SetMenuCheckMark(bool checked);

    DG::Browser browser;
    bool selectionTracking = false;
    GS::Array<SchemeProperty> mappingList;

    mutable std::mutex sharedStateMutex;
    GS::Array<GS::UniString> importList;
    GS::UniString snapshotResponse;
    GS::UniString lastIfcExportResponse;
    GS::UniString lastPlanExportResponse;
    GS::Array<PublishSetItem> publishSetItems;
    UInt32 PublishUploadCounter = 0;
    UInt32 publishRun = 0;

    // Taken once the palette is made (CreateInstance); withdrawn with the palette.
    std::optional<KeepInMemoryRequest> keepInMemory;
};

// The palette's identity, parsed once when the add-on file is loaded.
const GS::Guid& GetPaletteGuid();
// Sum modulo 2^32 of the four 32-bit words of the palette GUID: the palette's reference number with the host.
Int32 GetPaletteReferenceNumber();

#endif
