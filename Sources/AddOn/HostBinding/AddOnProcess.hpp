#ifndef QUILLMAR_ADDONPROCESS_HPP
#define QUILLMAR_ADDONPROCESS_HPP

// What the add-on's code needs of its process: libcurl's global state, before any transfer starts, and the add-on's
// resources, before the palette or a dialog is made. The module sets both up when its file is loaded and tears them
// down at unload (ModuleLifetime.cpp); a test program that links the add-on's objects calls the same pair around
// its tests. [main-thread], while no other thread uses libcurl.

#include "RS.hpp"

// Sets up libcurl and opens the resources carried by the file that holds addressInFile: the module, or a test
// program built with the add-on's resources. A file without resources leaves GetResourceModule() invalid.
// False when libcurl could not be set up.
[[nodiscard]] bool SetUpAddOnProcess(const void* addressInFile);
// Closes the resources and releases libcurl; once the palette is gone and the last transfer has ended.
void TearDownAddOnProcess();

// The resources opened by SetUpAddOnProcess; InvalidResModule before, after, and for a file without resources.
GSResModule GetResourceModule();

#endif
