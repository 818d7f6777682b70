#ifndef IO_SYSTEMERRORS_HPP
#define IO_SYSTEMERRORS_HPP

// Internal to the library: the translation of the system's error numbers into the library's codes.

#include "IODefinitions.hpp"

#include <system_error>

namespace IO::Internal {

GSErrCode FromSystemError(const std::error_code& error) noexcept;
GSErrCode FromErrno(int number) noexcept;

} // namespace IO::Internal

#endif
