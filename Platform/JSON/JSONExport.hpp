#ifndef JSON_EXPORT_HPP
#define JSON_EXPORT_HPP

// Built with hidden visibility; what the library offers is marked.
#define JSON_DLL_EXPORT __attribute__((visibility("default")))

#endif
