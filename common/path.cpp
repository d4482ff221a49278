#include "common/path.h"

#include <string.h>

const char kEmptyString[] = "";

namespace {

// One walk over a path: its length, where the run of backslashes that ends
// it starts (the length when it does not end in one), and where the text
// after its last backslash starts (0 when it has none).
struct PathWalk {
    size_t length;
    size_t trailingSeparators;
    size_t fileName;
};

size_t character_size(const char* at)
{
    // A backslash is never a lead byte; a lead byte with nothing after it
    // stands alone.
    return IsDBCSLeadByte((BYTE)at[0]) && at[1] != '\0' ? 2 : 1;
}

PathWalk walk_path(const char* path)
{
    PathWalk walk = {0, 0, 0};
    size_t at = 0;
    while (path[at] != '\0') {
        if (path[at] == '\\') {
            walk.fileName = ++at;
            continue;
        }
        at += character_size(path + at);
        walk.trailingSeparators = at;
    }
    walk.length = at;
    return walk;
}

} // namespace

bool path_ends_with_backslash(const char* path)
{
    PathWalk walk = walk_path(path);
    return walk.trailingSeparators < walk.length;
}

void remove_one_trailing_backslash(char* path)
{
    PathWalk walk = walk_path(path);
    if (walk.trailingSeparators < walk.length)
        path[walk.length - 1] = '\0';
}

size_t remove_trailing_backslashes(char* path, size_t keep)
{
    PathWalk walk = walk_path(path);
    size_t left = walk.trailingSeparators;
    if (left < keep)
        left = keep < walk.length ? keep : walk.length;
    path[left] = '\0';
    return left;
}

const char* path_file_name(const char* path)
{
    return path + walk_path(path).fileName;
}

bool path_is_character_boundary(const char* path, size_t length)
{
    size_t at = 0;
    while (at < length && path[at] != '\0')
        at += character_size(path + at);
    return at == length;
}

void path_join(const char* folder, const char* name, char* out)
{
    size_t folderLength = strlen(folder);
    size_t nameLength = strlen(name);
    bool separator = folderLength != 0 && !path_ends_with_backslash(folder);
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
