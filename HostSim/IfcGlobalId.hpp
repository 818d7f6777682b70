#ifndef HOSTSIM_IFCGLOBALID_HPP
#define HOSTSIM_IFCGLOBALID_HPP

#include "APIDefinitions.hpp"

#include <string>

namespace HostSim {

// The 64 digits of the IFC GlobalId, in value order.
inline constexpr char IfcGlobalIdDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_$";

// The GlobalId the host assigns to an element: the GUID's 128 bits, read in the order of its text form, written as
// 22 digits of the IFC alphabet (the first digit takes the top 2 bits, each further one 6 bits).
std::string MakeIfcGlobalId(const API_Guid& guid);

// True for 22 digits of the IFC alphabet. The first digit of a compressed GUID is 0-3 (it holds 2 bits), but
// descriptions may pick readable GlobalIds that do not keep to that, so it is not checked.
bool IsIfcGlobalId(const std::string& text);

} // namespace HostSim

#endif
