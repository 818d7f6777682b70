#include "DOMReader.hpp"

// Reads a file through GSXML from a module that the test loads and unloads, as the host does with an add-on.
// Returns 1 when the file has the root "R".
extern "C" __attribute__((visibility("default"))) int GSXMLReaderModuleRead(const char* path) {
    const GSXML::DOMReader reader(IO::Location::FromFileSystemPath(path), "R");
    return reader.HasExpectedRoot() ? 1 : 0;
}
