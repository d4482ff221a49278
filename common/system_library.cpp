#include "common/system_library.h"

#include "common/path.h"

namespace {

// True once the search of the whole process is the system directory alone.
bool g_searchRestricted = false;

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryFunction)(LPCSTR);

} // namespace

void restrict_dll_search()
{
    // kernel32 is loaded in every process; it is never freed.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    SetDefaultDllDirectoriesFunction setDefault =
        library_entry<SetDefaultDllDirectoriesFunction>(kernel, "SetDefaultDllDirectories");
    if (setDefault != NULL && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        g_searchRestricted = true;
        return;
    }
    // Without it (Windows XP, Vista and 7 before their 2011 update) the
    // program's own folder stays in the search; loads by full path below
    // keep the libraries themselves out of it.
    SetDllDirectoryFunction setDirectory =
        library_entry<SetDllDirectoryFunction>(kernel, "SetDllDirectoryA");
    if (setDirectory != NULL)
        setDirectory("");
}

HMODULE load_system_library(const char* fileName)
{
    PathBuffer system, path;
    UINT length = GetSystemDirectoryA(system, kPathSize);
    if (length == 0 || length >= kPathSize)
        return NULL;
    path_join(system, fileName, path);
    if (path[0] == '\0')
        return NULL;
    // Where the search could not be restricted, the altered search path
    // looks for the library's own imports in the system directory first
    // instead of in the program's folder.
    return LoadLibraryExA(path, NULL, g_searchRestricted ? 0 : LOAD_WITH_ALTERED_SEARCH_PATH);
}

SystemLibrary::SystemLibrary(const char* fileName) : module_(load_system_library(fileName)) {}

SystemLibrary::~SystemLibrary()
{
    if (module_ != NULL)
        FreeLibrary(module_);
}
