#ifndef RS_RS_HPP
#define RS_RS_HPP

#include "Array.hpp"
#include "Definitions.hpp"
#include "RSExport.hpp"
#include "UniString.hpp"

#include <vector>

// Resources of a module (the add-on file), compiled into its ELF section ".gsres" at build time.
// A module is opened once with RSInitModuleImageCache and named by the returned id afterwards.
// All functions are [thread-safe]; reads copy out of the cache, so results stay valid after the module closes.

using GSResModule = Int32;
using GSResID = Int32;

constexpr GSResModule InvalidResModule = -1;

// Opens the resources of the module (shared object or executable) whose code or data holds the address: finds the
// module's file, reads its resource section and caches it. The module needs to export nothing for this.
// Returns a new id on every call (ids are not reused), InvalidResModule when the address lies in no module or the
// module's file has no valid resource section.
RS_DLL_EXPORT GSResModule RSInitModuleImageCache(const void* addressInModule);

// Drops the cached resources; reads through the id fail from now on. Unknown ids are ignored.
RS_DLL_EXPORT void RSRemoveModuleImageCache(GSResModule module);

// Reads item `index` (1-based) of string list `listId`. False, with *str unchanged, when str is null, the module is
// unknown or closed, the list is missing or the index lies outside 1..count.
RS_DLL_EXPORT bool RSGetIndString(GS::UniString* str, GSResID listId, Int32 index, GSResModule module);
// The form the add-on calls; the same contract as RSGetIndString.
RS_DLL_EXPORT bool RSGetIndString_ParamAdapter(GS::UniString* str, GSResID listId, Int32 index, GSResModule module);

namespace RS {

// Tells the library that the module's file has been closed: reads through the id fail from now on.
RS_DLL_EXPORT void ResModuleClosed(GSResModule module);

enum class DialogType : UInt32 { Palette = 1, Modal = 2 };
enum class DialogItemType : UInt32 { Browser = 1, Button = 2, LeftText = 3, TextEdit = 4, SingleSelListBox = 5 };

struct DialogItemDescription {
    Int32 index = 0; // 1-based, the order of the items in the dialog
    DialogItemType type = DialogItemType::Browser;
    GS::UniString name;
    GS::UniString text;
    UInt32 lengthLimit = 0; // text edits: the most characters the user can type; 0 for no limit
    Int32 x = 0;
    Int32 y = 0;
    Int32 width = 0;
    Int32 height = 0;
};

struct DialogDescription {
    DialogType type = DialogType::Palette;
    GS::UniString title;
    Int32 x = 0;
    Int32 y = 0;
    Int32 width = 0;
    Int32 height = 0;
    // The name record: the dialog's internal name and the name shown to the user.
    GS::UniString name;
    GS::UniString displayName;
    GS::Array<DialogItemDescription> items; // item 1 first
};

struct IconImage {
    UInt32 width = 0;
    UInt32 height = 0;
    UInt32 dpi = 0;
    std::vector<UInt8> png; // the PNG file's bytes, as compiled in
};

struct AddOnIdentification {
    UInt32 developerId = 0;
    UInt32 localId = 0;
};

// Each reader fills *result and returns true, or returns false with *result unchanged when the pointer is null, the
// module is unknown or closed, or the resource is missing.
RS_DLL_EXPORT bool GetStringList(GS::Array<GS::UniString>* result, GSResID listId, GSResModule module);
RS_DLL_EXPORT bool GetDialogDescription(DialogDescription* result, GSResID dialogId, GSResModule module);
// The images in the order they were compiled in (the add-on's icons: 96 dpi first, then 192 dpi).
RS_DLL_EXPORT bool GetIconImages(GS::Array<IconImage>* result, GSResID iconId, GSResModule module);
// The 'MDID' record.
RS_DLL_EXPORT bool GetAddOnIdentification(AddOnIdentification* result, GSResID resId, GSResModule module);

} // namespace RS

#endif
