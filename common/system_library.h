// System libraries the program does not import: loaded from the system
// directory by full path when first needed, never by a bare name that the
// loader could resolve to a file beside the program. A setup program is
// usually started from a downloads folder, where any DLL a browser saved
// would otherwise run inside it.
#pragma once
#include <windows.h>

// Restricts the DLL search of the whole process to the system directory
// (SetDefaultDllDirectories, looked up at run time: not every Windows has
// it), or else takes the current directory out of it (SetDllDirectoryA).
// Called first thing at start, before anything can load a library.
void restrict_dll_search();

// An entry of a loaded module, typed as the caller declares it; NULL when
// the module or the entry is missing.
template <typename Function>
Function library_entry(HMODULE module, const char* name)
{
    if (module == NULL)
        return NULL;
    // Through a plain function pointer, which any function pointer type
    // may be cast from without a warning.
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Loads a library of the system directory by its full path; NULL when it
// cannot be had. The caller frees it, or keeps it for good.
HMODULE load_system_library(const char* fileName);

// A library of the system directory, loaded by its full path for as long
// as the guard lives. A library that cannot be loaded gives no entries;
// callers treat a missing entry exactly like a failure of the call it
// stands for.
class SystemLibrary {
public:
    explicit SystemLibrary(const char* fileName);
    ~SystemLibrary();
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    template <typename Function>
    Function entry(const char* name) const
    {
        return library_entry<Function>(module_, name);
    }

private:
    HMODULE module_;
};

// The entry `function` of `library` (a SystemLibrary) or of `module` (an
// HMODULE), typed after the function's own declaration, so that the name
// and the type cannot disagree.
#define SYSTEM_ENTRY(library, function) (library).entry<decltype(&function)>(#function)
#define MODULE_ENTRY(module, function) library_entry<decltype(&function)>((module), #function)
