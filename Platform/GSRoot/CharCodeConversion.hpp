#ifndef GSROOT_CHARCODECONVERSION_HPP
#define GSROOT_CHARCODECONVERSION_HPP

#include "Definitions.hpp"
#include "GSRootExport.hpp"

#include <string>
#include <string_view>

namespace GS {

// The one place where text meets bytes. CC_Default resolves to the platform's default code, UTF-8 here;
// changing DefaultCharCode changes every conversion of the libraries and the add-on.
// Malformed input never fails: each bad sequence becomes U+FFFD.
GSROOT_DLL_EXPORT GSCharCode ResolveCharCode(GSCharCode code) noexcept;
GSROOT_DLL_EXPORT std::u16string DecodeText(std::string_view bytes, GSCharCode code);
GSROOT_DLL_EXPORT std::string EncodeText(std::u16string_view text, GSCharCode code);

} // namespace GS

#endif
