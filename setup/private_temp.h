// Folders of the program's own inside a folder that other programs of the
// same user may write, such as the temp folder. An elevated process keeps
// the files it has checked and is about to use in one of these, where no
// unelevated program can swap them.
#pragma once
#include "setup/state.h"

// Whether this process runs with an administrator's full token. False where
// the system knows no elevation (before Windows Vista the token query
// refuses the class) or the query fails.
bool process_is_elevated();

// Makes a new folder under parent (a folder, with or without a trailing
// backslash) that only Administrators and SYSTEM may change: its access
// list is set at creation, names those two alone and inherits nothing from
// parent. A name that already exists is never taken over. out receives the
// folder with a trailing backslash; false, out empty, when no folder could
// be made.
bool create_private_folder(const char* parent, PathBuffer out);

// Removes a folder that create_private_folder made, when it is empty. No
// retry, no message.
void remove_private_folder(const char* folder);
