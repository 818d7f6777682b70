#ifndef DG_EXPORT_HPP
#define DG_EXPORT_HPP

#define DG_DLL_EXPORT __attribute__((visibility("default")))

#endif
