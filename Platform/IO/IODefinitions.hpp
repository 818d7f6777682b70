#ifndef IO_IODEFINITIONS_HPP
#define IO_IODEFINITIONS_HPP

#include "Definitions.hpp"

namespace IO {

// Result codes of the file operations; every other failure of the system is reported as IOErr.
constexpr GSErrCode NotFoundErr = static_cast<GSErrCode>(0x81010001u);     // no item (of the asked kind) there
constexpr GSErrCode ExistsErr = static_cast<GSErrCode>(0x81010002u);       // something is in the way
constexpr GSErrCode AccessDeniedErr = static_cast<GSErrCode>(0x81010003u); // the system refused the access
constexpr GSErrCode BadNameErr = static_cast<GSErrCode>(0x81010004u);      // empty or illegal name or path
constexpr GSErrCode IOErr = static_cast<GSErrCode>(0x81010005u);           // any other failure of the system
constexpr GSErrCode NotOpenErr = static_cast<GSErrCode>(0x81010006u);      // file operation needs an open file
constexpr GSErrCode AlreadyOpenErr = static_cast<GSErrCode>(0x81010007u);
constexpr GSErrCode EndOfFileErr = static_cast<GSErrCode>(0x81010008u); // fewer bytes than asked, no count wanted

// How a refused access is treated. Nobody can be asked here, so every value reports AccessDeniedErr.
enum AccessDeniedTreatment : Int32 {
    AccessDeniedIsDefault = 0,
    AccessDeniedIsError = 2,
};

// Requested safety of destructive operations. Operations here are as safe as the system makes them.
enum DataSafety : Int32 {
    DefaultSafety = 0,
};

} // namespace IO

#endif
