#ifndef ACAPI_APIDEFINITIONS_HPP
#define ACAPI_APIDEFINITIONS_HPP

// Types, codes and records that the host and an add-on share. Records are filled by whoever the operation's comment
// names; texts are GS::UniString and owned by the record.

#include "Array.hpp"
#include "Definitions.hpp"
#include "Guid.hpp"
#include "MemoryManager.hpp"
#include "UniString.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace IO {
class Location;
}

// Result codes of host operations besides NoError.
// The host has not delivered its function table yet.
constexpr GSErrCode APIERR_GENERAL = static_cast<GSErrCode>(0x81060001u);
// The host does not offer the operation (its slot in the function table is empty).
constexpr GSErrCode APIERR_NOTSUPPORTED = static_cast<GSErrCode>(0x81060387u);

// A null or malformed argument.
constexpr GSErrCode APIERR_BADPARS = static_cast<GSErrCode>(0x81060003u);
// A name (of a parameter, a type...) the operation does not know or cannot take.
constexpr GSErrCode APIERR_BADNAME = static_cast<GSErrCode>(0x81060011u);

// Four-character command codes, 'GEIS' == 0x47454953: the first character in the highest byte.
constexpr UInt32 API_FourCharCode(const char (&code)[5]) noexcept {
    return (UInt32{static_cast<unsigned char>(code[0])} << 24) | (UInt32{static_cast<unsigned char>(code[1])} << 16) |
           (UInt32{static_cast<unsigned char>(code[2])} << 8) | UInt32{static_cast<unsigned char>(code[3])};
}

// The code as its four characters, or as "0x" and eight hex digits when one of them is not printable ASCII.
inline GS::UniString API_FourCharCodeToText(UInt32 code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto ch = static_cast<char>((code >> shift) & 0xFFu);
        if (ch < 0x20 || ch > 0x7E) return GS::UniString::Printf("0x%08X", code);
        text += ch;
    }
    return GS::UniString(text);
}

// 128-bit identifier of host objects (elements, palettes, add-on tokens); the null GUID means none.
struct API_Guid {
    UInt32 time_low = 0;
    UInt16 time_mid = 0;
    UInt16 time_hi_and_version = 0;
    UInt8 clock_seq_hi_and_reserved = 0;
    UInt8 clock_seq_low = 0;
    UInt8 node[6] = {};

    friend bool operator==(const API_Guid&, const API_Guid&) = default;
};
static_assert(sizeof(API_Guid) == 16);

constexpr API_Guid APINULLGuid{};

inline GS::Guid APIGuid2GSGuid(const API_Guid& guid) noexcept {
    return GS::Guid(guid.time_low, guid.time_mid, guid.time_hi_and_version,
                    {guid.clock_seq_hi_and_reserved, guid.clock_seq_low, guid.node[0], guid.node[1], guid.node[2],
                     guid.node[3], guid.node[4], guid.node[5]});
}

inline API_Guid GSGuid2APIGuid(const GS::Guid& guid) noexcept {
    API_Guid result;
    result.time_low = guid.Data1;
    result.time_mid = guid.Data2;
    result.time_hi_and_version = guid.Data3;
    result.clock_seq_hi_and_reserved = guid.Data4[0];
    result.clock_seq_low = guid.Data4[1];
    for (int i = 0; i < 6; ++i)
        result.node[i] = guid.Data4[i + 2];
    return result;
}

// Element type codes; queries take API_AnyElemTypeID for all types.
using API_ElemTypeID = Int32;
constexpr API_ElemTypeID API_AnyElemTypeID = 0;

struct API_Elem_Head {
    API_ElemTypeID typeID = API_AnyElemTypeID;
    API_Guid guid; // the element; the caller sets it before asking for the header by GUID
};

// Reference to an element as the selection reports it.
struct API_Neig {
    API_Guid guid;
    Int32 neigID = 0; // which part of the element was picked
};

struct API_Box3D {
    double xMin = 0.0;
    double yMin = 0.0;
    double xMax = 0.0;
    double yMax = 0.0;
    double zMin = 0.0;
    double zMax = 0.0;
};

// What the add-on tells the host about itself when asked to describe itself.
struct API_AddOnInfo {
    GS::UniString name;
    GS::UniString description;
};

// The host's environment record, handed to the add-on's describe entry point; the add-on fills addOnInfo.
struct API_EnvirParams {
    API_AddOnInfo addOnInfo;
};

// Answer of the describe entry point.
enum API_AddonType : Int32 {
    APIAddon_DontRegister = 0, // not usable (also the answer before the function table has arrived)
    APIAddon_Normal = 1,       // loaded when first needed
    APIAddon_Preload = 2,      // loaded at host start-up and kept
};

// A menu item: the menu's string-list resource and the item's 1-based index in it.
struct API_MenuItemRef {
    Int32 menuResID = 0;
    Int32 itemIndex = 0;
};

// Handed to the menu handler when the user chooses an item.
struct API_MenuParams {
    API_MenuItemRef menuItemRef;
};

// Menu item flags (get/set menu item flags).
constexpr GSFlags API_MenuItemChecked = 0x0002;

// Menu position codes and menu flags of the menu registration.
using API_MenuCodeID = Int32;
constexpr API_MenuCodeID MenuCode_UserDef = 0; // the host's menu for add-ons
constexpr GSFlags MenuFlag_Default = 0;

// Project events; the subscription takes a mask of them, the handler gets the one that happened.
enum API_NotifyEventID : Int32 {
    APINotify_New = 0x01,   // a new project was made
    APINotify_Open = 0x04,  // a project was opened
    APINotify_Save = 0x10,  // the project was saved
    APINotify_Close = 0x20, // the project is being closed
};

// Messages of the host's palette management to a registered palette.
enum API_PaletteMessageID : Int32 {
    APIPalMsg_ClosePalette = 1,
    APIPalMsg_HidePalette_Begin = 2,
    APIPalMsg_HidePalette_End = 3,
    APIPalMsg_DisableItems_Begin = 4,
    APIPalMsg_DisableItems_End = 5,
    APIPalMsg_OpenPalette = 6,
    APIPalMsg_IsPaletteVisible = 7, // param points to a bool the palette fills
};

// Special folders the host can name (get special folder).
using API_SpecFolderID = Int32;
constexpr API_SpecFolderID API_UserDataFolderID = 5; // the per-user application data folder of the host's maker
constexpr API_SpecFolderID API_ExchangeFolderID = 7; // a folder for files made to be handed on

// The host's application information; the add-on reads the language code ("GER", "INT", ...).
struct API_ServerApplicationInfo {
    GS::UniString language;
};

struct API_ProjectInfo {
    bool untitled = true; // never saved: projectName is empty
    GS::UniString projectName;
};

// Handlers the add-on installs. [main-thread]; each returns NoError unless its description says otherwise.
// Pointers they receive are valid for the call only.
using APIMenuCommandProc = GSErrCode(const API_MenuParams* menuParams);
using APISelectionChangeHandlerProc = GSErrCode(const API_Neig* selElemNeig);
using APIProjectEventHandlerProc = GSErrCode(API_NotifyEventID notifID, Int32 param);
using APIPaletteControlCallBackProc = GSErrCode(Int32 referenceID, API_PaletteMessageID messageID, std::intptr_t param);

// A modeless palette announced to the host's palette management. The host copies the record.
struct API_PaletteRegistration {
    Int32 referenceID = 0; // handed back with every message
    APIPaletteControlCallBackProc* callback = nullptr;
    GSFlags enableFlags = 0; // where the palette may be shown; the add-on passes its fixed set
    API_Guid paletteGuid;
};

// ---- Selection, 3D window and views ----------------------------------------------------------------------------

// A closed polygon of the host's memory: a handle of API_Coord points, released by whoever received it.
struct API_Coord {
    double x = 0.0;
    double y = 0.0;
};

struct API_Region {
    GSHandle coords = nullptr; // API_Coord[nCoords]; the receiver releases it with BMKillHandle
    Int32 nCoords = 0;
};

// What the selection query reports besides the selected elements.
struct API_SelectionInfo {
    Int32 typeID = 0;        // 0: nothing selected, 1: elements, 2: a marquee
    Int32 sel_nElem = 0;     // the number of selected elements
    Int32 sel_nElemEdit = 0; // how many of them can be changed (are not locked)
    API_Region marquee;      // the marquee polygon, when there is one
};

// One cutting plane of the 3D window: the points with pa*x + pb*y + pc*z = pd lie on it.
struct API_3DCutShapeType {
    Int16 cutStatus = 0;
    Int16 cutPen = 0;
    Int32 cutMater = 0;
    double pa = 0.0;
    double pb = 0.0;
    double pc = 0.0;
    double pd = 0.0;
};

// The attributes a cutting shape made for a section cuts with: indices of the host's pen and material tables.
constexpr Int16 APICutShape_SectionPen = 3;
constexpr Int32 APICutShape_SectionMaterial = 11;

// The 3D cutting planes. 'GC3D' fills it (the host allocates shapes; the caller releases it with BMKillHandle);
// 'CC3D' takes it (the host copies the shapes).
struct API_3DCutPlanesInfo {
    bool isCutPlanes = false;
    UInt16 nShapes = 0;
    GSHandle shapes = nullptr; // API_3DCutShapeType[nShapes]
};

// Window type codes of the window queries and 'CHWD'.
using API_WindowTypeID = Int32;
constexpr API_WindowTypeID APIWind_FloorPlanID = 1;
constexpr API_WindowTypeID APIWind_3DModelID = 4;

struct API_WindowInfo {
    API_WindowTypeID typeID = 0;
    Int32 index = 0;
    API_Guid databaseGuid;
};

// ---- 3D projection, 3D window and survey point -----------------------------------------------------------------

// A 3x4 matrix in row order: the left 3x3 part rotates, the last column translates (tmx[3], tmx[7], tmx[11]).
struct API_Tranmat {
    double tmx[12] = {};
};
static_assert(sizeof(API_Tranmat) == 96);

// The perspective camera: plan positions of camera and target, their heights, the view-cone angle in degrees.
struct API_PerspPars {
    double viewCone = 0.0;
    double rollAngle = 0.0;
    double azimuth = 0.0; // degrees, of the camera-to-target direction in plan
    double distance = 0.0;
    API_Coord pos;
    API_Coord target;
    double cameraZ = 0.0;
    double targetZ = 0.0;
};

// The parallel (axonometric) view: rows 0 to 2 of tranmat hold right, up and viewing direction.
struct API_AxonoPars {
    Int32 projMod = 0;
    Int32 reserved = 0;
    API_Tranmat tranmat;
};

// 'GP3D' fills it; 'CP3D' takes it. Only the part that isPersp names is used.
struct API_3DProjectionInfo {
    bool isPersp = false;
    char reserved[7] = {};
    API_PerspPars persp;
    API_AxonoPars axono;
};
static_assert(offsetof(API_3DProjectionInfo, persp) == 8);

// The 3D window's size in pixels and how the model maps onto it. 'GW3D' fills it; 'CW3D' takes it and keeps the
// size (the window's own) whatever the record says.
struct API_3DWindowInfo {
    Int16 hSize = 0;
    Int16 vSize = 0;
    UInt8 useScales = 0; // the scales and offsets below apply
    UInt8 reserved[3] = {};
    double hScale = 0.0;
    double vScale = 0.0;
    double xOffset = 0.0;
    double yOffset = 0.0;
};
static_assert(offsetof(API_3DWindowInfo, useScales) == 4 && offsetof(API_3DWindowInfo, hScale) == 8);

// ---- Add-on to add-on calls and their parameter lists ----------------------------------------------------------

// The host's errors of the add-on command call.
// No loaded add-on has that module identifier.
constexpr GSErrCode APIERR_MODULNOTINSTALLED = static_cast<GSErrCode>(0x81060061u);
// The add-on does not know the command code (or not in that version).
constexpr GSErrCode APIERR_MODULCMDNOTSUPPORTED = static_cast<GSErrCode>(0x81060063u);

// Names an add-on for calls from other add-ons: its developer ID and its own local ID.
struct API_ModulID {
    UInt32 developerID = 0;
    UInt32 localID = 0;
};

// A named parameter list of the host: a host memory handle made by the new-list operation and released only by the
// free-list operation (never with BMKillHandle). Its bytes are the host's.
using API_MDCLParameterList = GSHandle;

// Kinds of a named parameter.
constexpr Int32 MDCLPar_int = 0;
constexpr Int32 MDCLPar_string = 1; // string_par: a zero-terminated text, copied by the host
constexpr Int32 MDCLPar_bool = 2;
constexpr Int32 MDCLPar_double = 3;
constexpr Int32 MDCLPar_pointer = 4; // ptr_par: an address the host keeps as it is; it must stay valid for the call

// One parameter of a list. Add: name (copied), type and the value of that type. Get: by name when name is not
// null, else by index (1-based); the host fills index, name (its own copy, valid while the list lives), type and
// value. Change: the same look-up; the kind must stay.
struct API_MDCLParameter {
    Int32 index = 0;
    Int32 type = MDCLPar_int;
    const char* name = nullptr;
    Int32 int_par = 0;
    bool bool_par = false;
    double double_par = 0.0;
    const char* string_par = nullptr;
    void* ptr_par = nullptr;
};

// ---- Properties ------------------------------------------------------------------------------------------------

// Group type codes of a property group.
using API_PropertyGroupType = Int32;
constexpr API_PropertyGroupType API_PropertyStaticBuiltInGroupType = 0;
constexpr API_PropertyGroupType API_PropertyDynamicBuiltInGroupType = 1;
constexpr API_PropertyGroupType API_PropertyCustomGroupType = 2; // made by the user

struct API_PropertyGroup {
    API_Guid guid;
    API_PropertyGroupType groupType = API_PropertyCustomGroupType;
    GS::UniString name;
};

struct API_PropertyDefinition {
    API_Guid guid;
    API_Guid groupGuid;
    GS::UniString name;
};

// ---- IFC export and saving -------------------------------------------------------------------------------------

// One IFC export translator of the host: an opaque host memory handle naming it, and its name. Handles in a
// translator list belong to the list's owner, who releases them with BMKillHandle; a copy made with the host's
// handle-copy operation belongs to whoever asked for it.
struct API_IFCTranslatorIdentifier {
    GSHandle innerReference = nullptr;
    GS::UniString name;
};

// Element filter flags of the element-list query.
constexpr GSFlags APIFilt_In3D = 8; // shown in the 3D window

// File type codes of the save operation.
using API_FileTypeID = Int32;
constexpr API_FileTypeID APIFType_PNGFile = 16; // a picture of the active window; typeParams: API_SavePars_Picture
constexpr API_FileTypeID APIFType_JPGFile = 19; // the same as a JPEG picture; typeParams: API_SavePars_Picture
constexpr API_FileTypeID APIFType_IfcFile = 35;
constexpr API_FileTypeID APIFType_PdfFile = 48; // the active 2D window as a vector PDF; typeParams: API_SavePars_Pdf

// The host's general save record; the fields not named here stay zero.
struct API_FileSavePars {
    API_FileTypeID fileTypeID = 0;
    Int32 reserved0 = 0;
    IO::Location* file = nullptr; // the target; the caller's
    Int32 reserved1[8] = {};
};

// The host's record for opening a file as the project; the flags stay false.
struct API_FileOpenPars {
    API_FileTypeID fileTypeID = 0;
    bool libGiven = false;
    bool useStoredLib = false;
    bool enableSaveAlert = false;
    IO::Location* file = nullptr; // the caller's
};

// An element as a record: its header and what the host needs to make it again elsewhere. The stand-in keeps the
// content the simulated host models; the record is a value the add-on stores and hands back.
struct API_Element {
    API_Elem_Head header;
    GS::UniString elementID;        // the element's ID, its name in the host
    GS::UniString ifcType;          // the IFC entity it is exported as; empty: a building element proxy
    GS::UniString externalGlobalId; // the GlobalId kept from the IFC file it came from; empty when none
    bool hasBounds = false;
    API_Box3D bounds;
};

// Which elements the IFC export writes.
using API_IFCExportScope = Int32;
constexpr API_IFCExportScope API_IFCExportEntireProject = 1;
constexpr API_IFCExportScope API_IFCExportElementList = 6; // the elements of elementsSet

// The IFC part of the save parameters, in the host's order.
struct API_SavePars_Ifc {
    Int32 subType = 0; // always 0
    API_IFCTranslatorIdentifier translatorIdentifier;
    API_IFCExportScope elementsToIfcExport = API_IFCExportEntireProject;
    GS::Array<API_Guid>* elementsSet = nullptr; // with API_IFCExportElementList; the caller's
};

// Colour depth codes of the picture save parameters.
constexpr Int32 APIColorDepth_TC24 = 6; // true colour
constexpr Int32 APIColorDepth_TC32 = 7; // true colour with alpha

// The picture part of the save parameters: a colour depth code, then four flag bytes.
struct API_SavePars_Picture {
    Int32 colorDepth = 0; // APIColorDepth_...
    UInt8 dithered = 0;
    UInt8 view2D = 0;
    UInt8 crop = 0;
    UInt8 keepSelectionHighlight = 0;
    Int32 reserved[4] = {};
};
static_assert(offsetof(API_SavePars_Picture, dithered) == 4 && offsetof(API_SavePars_Picture, crop) == 6);

// The PDF part of the save parameters: margins, then the paper size, in points (1/72 inch).
struct API_SavePars_Pdf {
    float leftMargin = 0.0f;
    float topMargin = 0.0f;
    float rightMargin = 0.0f;
    float bottomMargin = 0.0f;
    float sizeX = 0.0f; // paper width
    float sizeY = 0.0f; // paper height
    Int32 reserved[4] = {};
};

// Command codes of the element and view operations (the table's command slot).
// 'GEIS': arg1 const API_Guid* element, arg2 GS::UniString* its element ID text.
// 'GC3D': arg1 API_3DCutPlanesInfo* (filled). 'CC3D': arg1 const API_3DCutPlanesInfo*.
// 'CHWD': arg1 const API_WindowInfo* (activates that window). 'ZTEL': arg1 const GS::Array<API_Guid>*.
constexpr UInt32 APICmd_ElementInfoString = API_FourCharCode("GEIS");
constexpr UInt32 APICmd_Get3DCuttingPlanes = API_FourCharCode("GC3D");
constexpr UInt32 APICmd_Change3DCuttingPlanes = API_FourCharCode("CC3D");
constexpr UInt32 APICmd_ChangeWindow = API_FourCharCode("CHWD");
constexpr UInt32 APICmd_ZoomToElements = API_FourCharCode("ZTEL");
// 'GWIN': arg1 API_WindowInfo* (filled with the active window).
// 'GP3D': arg1 API_3DProjectionInfo* (filled). 'CP3D': arg1 const API_3DProjectionInfo*, arg2 const bool* or null;
// a true flag there changes only perspective against parallel and keeps the camera.
// 'SA3D': shows every element in the 3D window. 'SS3D': shows only the selected elements there.
// 'GW3D': arg1 API_3DWindowInfo* (filled). 'CW3D': arg1 const API_3DWindowInfo*.
// 'ZOOM': arg1 to arg3 null: fits the 3D window to what it shows.
// 'SPTR': arg1 API_Tranmat* (filled); fails when the project has no survey point transformation.
constexpr UInt32 APICmd_GetActiveWindow = API_FourCharCode("GWIN");
constexpr UInt32 APICmd_Get3DProjection = API_FourCharCode("GP3D");
constexpr UInt32 APICmd_Change3DProjection = API_FourCharCode("CP3D");
constexpr UInt32 APICmd_ShowAllIn3D = API_FourCharCode("SA3D");
constexpr UInt32 APICmd_ShowSelectionIn3D = API_FourCharCode("SS3D");
constexpr UInt32 APICmd_Get3DWindowSets = API_FourCharCode("GW3D");
constexpr UInt32 APICmd_Change3DWindowSets = API_FourCharCode("CW3D");
constexpr UInt32 APICmd_Zoom = API_FourCharCode("ZOOM");
constexpr UInt32 APICmd_GetSurveyPointTransformation = API_FourCharCode("SPTR");

// ---- Navigator: publisher sets and publishing ------------------------------------------------------------------

// The navigator's maps; publisher sets are map 5.
using API_NavigatorMapID = Int32;
constexpr API_NavigatorMapID API_PublisherSets = 5;

// The length of the navigator's narrow name texts, the terminating zero included.
constexpr Int32 API_LongNameLen = 256;

// One publisher set. The caller clears the record and sets mapId; 'GNSE' fills name (zero-terminated, cut to fit),
// guid and rootGuid.
struct API_NavigatorSet {
    char name[API_LongNameLen] = {}; // in the default character code
    API_Guid guid;
    API_Guid rootGuid; // the set's root item, whose children are the set's top-level items
    API_NavigatorMapID mapId = 0;
};

// What a navigator item stands for.
enum API_NavigatorItemTypeID : Int32 {
    API_UndefinedNavItem = 0,
    API_ViewNavItem = 1,   // a view of the model (published as a picture, a drawing or a PDF)
    API_LayoutNavItem = 2, // a layout sheet (published as PDF)
    API_FolderNavItem = 3, // a folder of other items
};

// One node of a navigator tree. A children query reads only guid and mapId of the parent; the host fills the
// children's name, guid, mapId and itemType.
struct API_NavigatorItem {
    GS::UniString uName;
    API_Guid guid;
    API_NavigatorMapID mapId = 0;
    API_NavigatorItemTypeID itemType = API_UndefinedNavItem;
};

// The publish parameters: the caller clears the record and sets the publisher set and the output folder, which stay
// the caller's for the call.
struct API_PublishPars {
    API_Guid guid;                // the publisher set
    IO::Location* path = nullptr; // the folder the host writes into
    Int32 reserved[4] = {};
};

// Command codes of the navigator (the table's command slot).
// 'GNSN': arg1 Int32* (filled with the number of publisher sets).
// 'GNSE': arg1 API_NavigatorSet* (in: mapId; out: the set), arg2 const Int32* the set's index from 0.
// 'GNCI': arg1 const API_NavigatorItem* parent (guid, mapId), arg2 GS::Array<API_NavigatorItem>* (replaced with the
// parent's direct children in the host's order; empty for an item without children).
// 'PUBL': arg1 const API_PublishPars*, arg2 const GS::Array<API_Guid>* with the one item to publish; the host writes
// the item's files somewhere below the parameters' folder.
constexpr UInt32 APICmd_GetNavigatorSetNum = API_FourCharCode("GNSN");
constexpr UInt32 APICmd_GetNavigatorSet = API_FourCharCode("GNSE");
constexpr UInt32 APICmd_GetNavigatorChildrenItems = API_FourCharCode("GNCI");
constexpr UInt32 APICmd_Publish = API_FourCharCode("PUBL");

#endif
