#ifndef QUILLMAR_RESOURCEIDS_HPP
#define QUILLMAR_RESOURCEIDS_HPP

// Resource ids of the add-on, shared by the resource files (which refer to them by name) and the code, so that
// each value is written once. The resource compiler reads this file too: keep to `#define NAME value` lines whose
// value is a decimal number or a name defined above it.

// String list: item 1 the add-on's name, item 2 its description, as reported to the host.
#define ID_ADDON_INFO 32000

// The add-on's main id. Menu, palette dialog and identification record share it (different resource types).
#define ID_ADDON 32500
// String list: item 1 the menu title, item 2 the menu item; also the resource the menu handler answers to.
#define ID_ADDON_MENU ID_ADDON
// Palette dialog, with its browser item and name record.
#define ID_PALETTE_DIALOG ID_ADDON
// 'MDID': developer and local identifier of the add-on.
#define ID_ADDON_IDENTIFICATION ID_ADDON

// Modal dialog asking for a new property name: Create and Cancel buttons, the name's text edit, its label.
#define ID_PROPERTY_NAME_DIALOG 32510

// Modal dialog listing the items a publishing run could not publish: OK button, the report line, the list of titles.
#define ID_PUBLISH_REPORT_DIALOG 32520

// Icon of the menu item, in two resolutions; the menu item's text refers to it with its "^E3^" control text.
#define ID_MENU_ICON 10001

#endif
