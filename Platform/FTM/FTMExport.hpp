#ifndef FTM_EXPORT_HPP
#define FTM_EXPORT_HPP

#define FTM_DLL_EXPORT __attribute__((visibility("default")))

#endif
