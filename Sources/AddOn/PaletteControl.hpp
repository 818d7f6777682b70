#ifndef QUILLMAR_PALETTECONTROL_HPP
#define QUILLMAR_PALETTECONTROL_HPP

#include "APIDefinitions.hpp"

// The palette's registration with the host's palette management and the callback that handles its messages.
// [main-thread]

constexpr GSFlags PaletteEnableFlags = 0x3F7;

GSErrCode RegisterPaletteControl();
GSErrCode PaletteControlCallback(Int32 referenceID, API_PaletteMessageID messageID, std::intptr_t param);

#endif
