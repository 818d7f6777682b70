#ifndef JS_EXPORT_HPP
#define JS_EXPORT_HPP

// Built with hidden visibility; what the library offers is marked.
#define JS_DLL_EXPORT __attribute__((visibility("default")))

#endif
