#ifndef GSXML_EXPORT_HPP
#define GSXML_EXPORT_HPP

#define GSXML_DLL_EXPORT __attribute__((visibility("default")))

#endif
