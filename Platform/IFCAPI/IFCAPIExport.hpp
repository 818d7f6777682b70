#ifndef IFCAPI_EXPORT_HPP
#define IFCAPI_EXPORT_HPP

#define IFCAPI_DLL_EXPORT __attribute__((visibility("default")))

#endif
