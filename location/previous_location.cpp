#include "location/previous_location.h"

#include <string.h>

#include "location/validation.h"
#include "common/registry.h"
#include "common/names.h"
#include "common/path.h"
#include "setup/state.h"

namespace {

// Reads "Path" from the machine key. A value that is absent, too long for
// the buffer, or has no terminating zero inside it counts as no previous
// installation, and so does one that begins with a colon.
bool read_previous_path(char* proposed)
{
    RegistryKey machine;
    if (open_machine_key(&machine.handle) != ERROR_SUCCESS)
        return false;
    if (read_string_value(machine.handle, "Path", proposed, kPathSize) != ERROR_SUCCESS)
        return false;
    return proposed[0] != ':';
}

void propose_default_folder(char* proposed)
{
    // Whatever a refused read left in the buffer goes.
    memset(proposed, 0, kPathSize);
    size_t parentLength = strlen(g_setup.defaultParentFolder);
    if (parentLength + sizeof DEFAULT_FOLDER_NAME > kPathSize)
        return;
    memcpy(proposed, g_setup.defaultParentFolder, parentLength);
    memcpy(proposed + parentLength, DEFAULT_FOLDER_NAME, sizeof DEFAULT_FOLDER_NAME);
}

} // namespace

int previous_location(char* proposed)
{
    if (!read_previous_path(proposed)) {
        propose_default_folder(proposed);
        return 0;
    }
    // The folder stays proposed even when the check turns it down; the
    // check with notices runs again when the user presses Install.
    if (location_validation(proposed, 0) && main_program_present(proposed))
        return 1;
    return 0;
}

int main_program_present(const char* folder)
{
    char path[kPathSize];
    memset(path, 0, sizeof path);
    path_join(folder, MAIN_PROGRAM_NAME, path);
    if (path[0] == '\0')
        return 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(search);
    return 1;
}
