// Reading back what the registration and shortcut code left in the registry
// and on disk, independently of the program's own helpers.
#pragma once
#include <windows.h>

#include <string>

struct StoredValue {
    bool present = false;
    DWORD type = 0;
    DWORD size = 0;        // bytes stored, terminator included
    std::string bytes;     // exactly the stored bytes
    // The text up to the first zero byte.
    std::string text() const { return std::string(bytes.c_str()); }
};

StoredValue read_value(HKEY root, const std::string& path, const char* name);
bool key_exists(HKEY root, const std::string& path);
void delete_key_tree(HKEY root, const std::string& path);
// REG_SZ with the terminating zero.
void set_string_value(HKEY root, const std::string& path, const char* name,
                      const std::string& text);
// Any type, the bytes exactly as given.
void set_raw_value(HKEY root, const std::string& path, const char* name, DWORD type,
                   const std::string& bytes);
// Names of the key's direct subkeys.
std::string subkey_names(HKEY root, const std::string& path);

bool file_exists(const std::string& path);
std::string file_contents(const std::string& path);
// Writes the whole file anew; true when every byte was written.
bool write_file(const std::string& path, const std::string& bytes);
// Creates every missing folder of path; works beyond MAX_PATH.
bool make_folders(const std::string& path);
// A folder path of exactly length characters below parent (which exists),
// made of components short enough for any file system; created on disk.
std::string make_folder_of_length(const std::string& parent, size_t length);
// Deletes the file when it is there; true when it is gone afterwards.
bool remove_file(const std::string& path);

std::string windows_directory();
// SHGetFolderPathA without creating anything; empty when the shell fails.
std::string shell_folder(int csidl);

// What Wine's own uninstaller prints for "--list": one line per installed
// program, "key|||display name".
std::string uninstaller_list();
// How often part occurs in text.
size_t count_of(const std::string& text, const std::string& part);
// Copies a link as LINK_OUTPUT\name (the folder named by that environment
// variable) for check_links.sh, which reads it with lnkinfo.
bool keep_for_lnkinfo(const std::string& link, const char* name);
