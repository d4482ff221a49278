// Files and folders as the tests set them up and read them back, with the
// system's own calls rather than the program's helpers. Drive paths may be
// longer than MAX_PATH.
#pragma once
#include <windows.h>

#include <string>

// GetFileAttributes; INVALID_FILE_ATTRIBUTES when nothing is there.
DWORD attributes_of(const std::string& path);
// Anything at path: a file or a folder.
bool path_exists(const std::string& path);
// A file (not a folder) at path.
bool file_exists(const std::string& path);
bool folder_exists(const std::string& path);
// The whole file, or "" when it cannot be opened or read (ok says which).
std::string read_file(const std::string& path, bool* ok = nullptr);
// Writes the whole file anew; true when every byte was written.
bool write_file(const std::string& path, const std::string& bytes);
// Creates every missing folder of path; works beyond MAX_PATH.
bool make_folders(const std::string& path);
// A folder path of exactly length characters below parent (which exists),
// made of components short enough for any file system; created on disk.
std::string make_folder_of_length(const std::string& parent, size_t length);
// Deletes the file when it is there; true when it is gone afterwards.
bool remove_file(const std::string& path);
// Makes link a symbolic link to the file target (which need not exist), as
// another program of the user could: under Wine a Unix symbolic link.
bool make_file_symlink(const std::string& link, const std::string& target);
// Removes such a link itself, not the file it leads to.
bool remove_file_symlink(const std::string& link);

std::string windows_directory();
// SHGetFolderPathA without creating anything; empty when the shell fails.
std::string shell_folder(int csidl);

// Copies a link as LINK_OUTPUT\name (the folder named by that environment
// variable) for check_links.sh, which reads it with lnkinfo.
bool keep_for_lnkinfo(const std::string& link, const char* name);
