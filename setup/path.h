#pragma once
#include "setup/state.h"

// Joins folder and name into out (a path buffer): one backslash between
// them unless the folder is empty or already ends in one. When the result
// would not fit, out is left empty, so that a file call on it fails instead
// of reaching a shortened path that names some other file.
void path_join(const char* folder, const char* name, char* out);

// Appends text to path (a path buffer). Refuses, leaving path as it was,
// when the result would not fit.
bool path_append(char* path, const char* text);
