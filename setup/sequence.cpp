#include "setup/sequence.h"

#include <shellapi.h>
#include <string.h>

#include "location/default_location.h"
#include "location/previous_location.h"
#include "location/validation.h"
#include "payload/catalogue.h"
#include "payload/extract.h"
#include "payload/replace.h"
#include "registration/program_registration.h"
#include "registration/settings.h"
#include "registration/shortcuts.h"
#include "report/crash_filter.h"
#include "setup/names.h"
#include "setup/notice.h"
#include "setup/path.h"
#include "setup/private_temp.h"
#include "setup/state.h"
#include "setup/system_library.h"
#include "ui/backdrop.h"
#include "ui/licence_dialog.h"
#include "ui/location_dialog.h"

static void common_controls_startup()
{
    // The dialogs take common controls version 6, which the manifest asks
    // for through side-by-side redirection. Only a load by name is
    // redirected: the full path of the system directory's comctl32.dll
    // would give version 5, the one for programs without a manifest. By
    // name, the manifest's assembly is found in the side-by-side store
    // before any folder is searched. Where SetDefaultDllDirectories exists
    // the search that would follow is the system directory alone
    // (restrict_dll_search); on systems without it the redirection is what
    // keeps a comctl32.dll beside the program out. The library stays
    // loaded: its window classes serve every dialog.
    HMODULE controls = LoadLibraryA("comctl32.dll");
    typedef void(WINAPI * InitCommonControlsFunction)();
    InitCommonControlsFunction initialize =
        library_entry<InitCommonControlsFunction>(controls, "InitCommonControls");
    if (initialize != NULL)
        initialize();
}

void read_system_folders()
{
    g_setup.windowsDirectory[0] = '\0';
    g_setup.tempFolder[0] = '\0';

    // A result of kPathSize or more is the size the path would need: the
    // buffer was not filled, which is as much a failure as 0.
    UINT length = GetWindowsDirectoryA(g_setup.windowsDirectory, kPathSize);
    if (length == 0 || length >= kPathSize) {
        g_setup.windowsDirectory[0] = '\0';
        error_notice("Unable to locate Windows directory", "2");
    }
    remove_one_trailing_backslash(g_setup.windowsDirectory);

    DWORD tempLength = GetTempPathA(kPathSize, g_setup.tempFolder);
    if (tempLength == 0 || tempLength >= kPathSize) {
        g_setup.tempFolder[0] = '\0';
        error_notice("Unable to locate temp path.", "3");
    }
}

void set_install_drive()
{
    g_setup.installDrive[0] = 'C';
    g_setup.installDrive[1] = ':';
    g_setup.installDrive[2] = '\0';
    if (g_setup.installFolder[0] != '\0' && g_setup.installFolder[1] == ':')
        g_setup.installDrive[0] = g_setup.installFolder[0];
}

// While it is alive, an elevated setup program keeps its temporary file in
// a folder of its own under the temp folder, one that only administrators
// and the system can write: the temp folder is the user's, and any program
// the user runs unelevated can write there too. Unelevated, and where that
// folder cannot be made, the temp folder serves as it is.
class PrivateTempFolder {
public:
    PrivateTempFolder() : made_(false)
    {
        if (!process_is_elevated() || !create_private_folder(g_setup.tempFolder, folder_))
            return;
        strcpy(userTemp_, g_setup.tempFolder);
        strcpy(g_setup.tempFolder, folder_);
        made_ = true;
    }
    ~PrivateTempFolder()
    {
        if (!made_)
            return;
        remove_private_folder(folder_);
        strcpy(g_setup.tempFolder, userTemp_);
    }

private:
    PrivateTempFolder(const PrivateTempFolder&);
    PrivateTempFolder& operator=(const PrivateTempFolder&);

    bool made_;
    PathBuffer folder_;
    PathBuffer userTemp_;
};

void register_program()
{
    app_paths_registration();
    // The uninstall entry names the Windows directory; when it could not be
    // written the uninstaller goes to the install folder instead.
    const PayloadEntry& uninstaller = kPayloadCatalogue[kUninstallerEntry];
    if (!uninstall_registration()) {
        install_entry(uninstaller, g_setup.installFolder);
        return;
    }
    // A copy that an earlier run had to leave in the install folder would
    // stay beside the one the entry now names. (Without a Windows
    // directory both are the same file, the bare name in the install
    // folder.)
    if (install_entry(uninstaller, g_setup.windowsDirectory) && g_setup.windowsDirectory[0] != '\0' &&
        lstrcmpiA(g_setup.windowsDirectory, g_setup.installFolder) != 0) {
        PathBuffer stale;
        path_join(g_setup.installFolder, UNINSTALLER_NAME, stale);
        SetFileAttributesA(stale, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(stale);
    }
}

void launch_program()
{
    // The bare file name is found through the current directory and the
    // directory argument, both the install folder.
    SetCurrentDirectoryA(g_setup.installFolder);
    ShellExecuteA(g_setup.backdropWindow, "open", MAIN_PROGRAM_NAME, kEmptyString,
                  g_setup.installFolder, SW_SHOWMAXIMIZED);
}

int run_setup(HINSTANCE instance)
{
    // Start-up.
    strcpy(g_setup.settingsKeyPath, "Software\\Tervick\\" PRODUCT_NAME "\\Settings");
    strcpy(g_setup.reportKeyPath, "Software\\Tervick\\" PRODUCT_NAME "\\report");
    SetErrorMode(SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(crash_filter);
    common_controls_startup();
    g_setup.instance = instance;
    g_setup.backdropWindow = create_backdrop_window(instance);

    // Registry start-up.
    if (!registry_startup()) {
        error_notice("Unable to access system registry.  Installation aborted.", "1A");
        return 0;
    }

    // System folders.
    read_system_folders();
    compute_default_parent_folder();
    PathBuffer proposedFolder;
    memset(proposedFolder, 0, sizeof proposedFolder);
    g_setup.previousInstallation = previous_location(proposedFolder);

    // Location choice.
    // The dialog shows the proposal each time, not a folder just rejected.
    for (;;) {
        strcpy(g_setup.installFolder, proposedFolder);
        INT_PTR choice = run_location_dialog(g_setup.backdropWindow);
        if (choice == -1)
            error_notice("Unable to initialize", "43");
        if (choice != IDOK)
            return 0;
        if (location_validation(g_setup.installFolder, 1))
            break;
    }

    // Licence.
    set_install_drive();
    if (g_setup.tempFolder[0] == '\0')
        strcpy(g_setup.tempFolder, g_setup.installDrive);
    path_join(g_setup.installFolder, MAIN_PROGRAM_NAME, g_setup.mainProgramPath);
    SetFileAttributesA(g_setup.installFolder, FILE_ATTRIBUTE_NORMAL);
    if (run_licence_dialog(g_setup.backdropWindow) != IDOK)
        return 0;

    // Installing.
    HWND progressNotice = NULL;
    progressNotice = create_progress_notice(g_setup.backdropWindow);
    PrivateTempFolder temp; // until the run ends, whichever way
    switch (main_program_replacement()) {
    case kMainProgramInUse:
        error_notice("Unable to overwrite existing veltranox.exe file; installation aborted.  "
                     "If your existing copy of Veltranox is running, please shut it down and "
                     "try again.  Otherwise, rebooting your computer should take care of the "
                     "problem.",
                     "4");
        return 0;
    case kNewerInstalled:
        error_notice("A more recent version of Veltranox already exists at the install "
                     "location.  Installation aborted.",
                     "5");
        return 0;
    case kReplacementFailed:
        return 0; // the replacement has shown its own notice
    }
    install_payload_files();
    installation_record();
    register_program();
    shortcut_creation();

    // Launch.
    launch_program();
    if (progressNotice != NULL)
        DestroyWindow(progressNotice);
    return 0;
}
