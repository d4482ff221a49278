#include "setup/path.h"

#include <string.h>

void path_join(const char* folder, const char* name, char* out)
{
    size_t folderLength = strlen(folder);
    size_t nameLength = strlen(name);
    bool separator = folderLength != 0 && folder[folderLength - 1] != '\\';
    size_t total = folderLength + (separator ? 1 : 0) + nameLength;
    if (total >= kPathSize) {
        out[0] = '\0';
        return;
    }
    // folder and out may be the same buffer: memmove, then append.
    memmove(out, folder, folderLength);
    if (separator)
        out[folderLength++] = '\\';
    memmove(out + folderLength, name, nameLength);
    out[folderLength + nameLength] = '\0';
}

bool path_append(char* path, const char* text)
{
    size_t length = strlen(path);
    size_t extra = strlen(text);
    if (length + extra >= kPathSize)
        return false;
    memcpy(path + length, text, extra + 1);
    return true;
}
