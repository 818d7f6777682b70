#ifndef RS_EXPORT_HPP
#define RS_EXPORT_HPP

// The stand-in libraries are built with hidden visibility; what they offer is marked, as in the host's headers.
#define RS_DLL_EXPORT __attribute__((visibility("default")))

#endif
