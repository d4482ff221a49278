// The release's version and the names its version blocks show: the main
// program, the uninstaller and the setup program carry the same product
// version, and the setup program's replacement threshold and its uninstall
// entry take it from here too. Resource scripts and C++ both include it.
#pragma once

#define RELEASE_VERSION_MAJOR 1
#define RELEASE_VERSION_MINOR 0
#define RELEASE_VERSION_BUILD 0
#define RELEASE_VERSION_PATCH 1

#define RELEASE_STRINGIZE2(x) #x
#define RELEASE_STRINGIZE(x) RELEASE_STRINGIZE2(x)
#define RELEASE_VERSION_TEXT                                                   \
    RELEASE_STRINGIZE(RELEASE_VERSION_MAJOR) "." RELEASE_STRINGIZE(RELEASE_VERSION_MINOR) "." \
    RELEASE_STRINGIZE(RELEASE_VERSION_BUILD) "." RELEASE_STRINGIZE(RELEASE_VERSION_PATCH)

#define RELEASE_COMPANY   "Tervick Software"
#define RELEASE_PRODUCT   "Veltranox 2003"
#define RELEASE_COPYRIGHT "Copyright \251 2003 Tervick Software"
