// Shell special folders and the Quick Launch folder: where the setup
// program makes its links, and where the uninstaller looks for them again.
#pragma once
#include <windows.h>

// Fills path (a path buffer) with the file-system path of the shell special
// folder csidl; owner is the window the shell may show a message over
// (NULL for none). 1 on success; on failure path is empty.
int special_folder_lookup(HWND owner, int csidl, char* path);

// The link (folder + LINK_NAME) in the folder the user's Quick Launch bar
// shows, from the MapGroups value "Quick Launch" (HKCU; the key is only
// opened, never created). The value is taken as it stands, a trailing
// backslash included, when it is 5 to 487 bytes long and whole: a value
// that fills the buffer without a terminating zero counts as absent.
bool quick_launch_link_from_map_groups(char* path);

// The link in the Quick Launch folder under the local application data
// folder ("\Microsoft\Internet Explorer\Quick Launch" + LINK_NAME), when
// that folder's path is 9 to 487 bytes long. False with path empty when
// the shell cannot name the folder.
bool quick_launch_link_from_local_appdata(HWND owner, char* path);
