#ifndef BENCHMARKS_RUNFOLDER_HPP
#define BENCHMARKS_RUNFOLDER_HPP

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

// A folder of this run's own (mkdtemp), removed with everything in it: two benchmark runs never share a file.
class RunFolder {
public:
    explicit RunFolder(const std::string& prefix) {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
        path = pattern;
    }
    ~RunFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    std::filesystem::path path;
};

#endif
