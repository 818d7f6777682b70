#ifndef ACAPI_EXPORT_HPP
#define ACAPI_EXPORT_HPP

// Marks what an add-on module offers the host: its two table-exchange functions. Modules are built with hidden
// visibility, so nothing else is reachable.
#define ACAPI_DLL_EXPORT __attribute__((visibility("default")))

#endif
