// DLLs planted under the names of system libraries, as a browser leaves
// them in a downloads folder: one small DLL (planted_dll.c) copied under
// each name, which leaves "<name>.dll.loaded" beside itself whenever
// anything loads it.
#pragma once
#include <string>

namespace planted {

// Copies the planted DLL (environment variable PLANTED_DLL, a Windows
// path) into folder under every name; false when a copy fails.
bool plant_libraries(const std::string& folder);

// The planted DLLs in folder that something loaded, one a line with the
// program that loaded it; empty when none was.
std::string loaded_in(const std::string& folder);

// While it lives, programs started from this one look for the planted
// names first in their own folder and the other folders of the search,
// and only then take Wine's built-in DLL: the order Windows follows for a
// DLL that is not a KnownDLL.
class NativeFirst {
public:
    NativeFirst();
    ~NativeFirst();
    NativeFirst(const NativeFirst&) = delete;
    NativeFirst& operator=(const NativeFirst&) = delete;
    // False when the load orders could not be set.
    bool set() const { return set_; }

private:
    bool set_;
};

} // namespace planted
