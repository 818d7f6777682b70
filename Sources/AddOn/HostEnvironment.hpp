#ifndef QUILLMAR_HOSTENVIRONMENT_HPP
#define QUILLMAR_HOSTENVIRONMENT_HPP

#include "UniString.hpp"

// What the add-on learns from the host about where it runs. [main-thread]

// True when the host reports its language code as "GER"; false also when the host cannot say.
bool IsGermanLanguage();

// Path text of a subfolder of the add-on's per-user data folder, created with its parents when missing;
// "" when it cannot be had. Subfolders in use: "resources", "Export Model History", "Export Other History",
// "Publish History".
GS::UniString GetDataSubfolder(const GS::UniString& subfolderName);

#endif
