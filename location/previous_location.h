// The folder of an earlier installation, as the registry names it.
#pragma once

// Writes the folder to propose into proposed (a 520-byte path buffer): the
// machine key's "Path" when there is a usable one, else the default parent
// folder followed by "\Veltranox". The "Path" folder is checked quietly on
// the buffer itself (trailing backslashes go, a missing folder is created,
// an accepted one becomes the current directory). Returns 1 when the check
// passes and the folder holds the main program, else 0.
int previous_location(char* proposed);

// 1 when an entry named "Veltranox.exe" (file or folder) exists in folder.
int main_program_present(const char* folder);
