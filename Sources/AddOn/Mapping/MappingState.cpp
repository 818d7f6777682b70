#include "MappingState.hpp"

#include "MappingFile.hpp"

bool MappingState::Load(const IO::Location& file) {
    return ReadMappingFile(file, list);
}
