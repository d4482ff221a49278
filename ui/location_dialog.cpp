#include "ui/location_dialog.h"

#include <shlobj.h>

#include "common/names.h"
#include "common/path.h"
#include "setup/state.h"

namespace {

// Size of the browse buffer; it receives the display name, then the path.
const ULONG kBrowseBufferSize = 908;

void show_install_folder(HWND dialog)
{
    SetDlgItemTextA(dialog, kFolderField, g_setup.installFolder);
}

}  // namespace

void browse_for_install_folder(HWND dialog)
{
    IMalloc* allocator = NULL;
    if (FAILED(SHGetMalloc(&allocator)) || allocator == NULL)
        return;
    char* buffer = static_cast<char*>(allocator->Alloc(kBrowseBufferSize));
    if (buffer == NULL) {
        allocator->Release();
        return;
    }

    BROWSEINFOA browse;
    browse.hwndOwner = dialog;
    browse.pidlRoot = NULL;
    browse.pszDisplayName = buffer;
    browse.lpszTitle = "A new folder will be created inside the selected folder.";
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    browse.lpfn = NULL;
    browse.lParam = 0;
    browse.iImage = 0;

    LPITEMIDLIST chosen = SHBrowseForFolderA(&browse);
    if (chosen != NULL) {
        if (SHGetPathFromIDListA(chosen, buffer)) {
            // Joined apart first: a result too long for the install folder
            // leaves it as it was instead of emptying it.
            PathBuffer folder;
            path_join(buffer, PRODUCT_NAME, folder);
            if (folder[0] != '\0') {
                lstrcpyA(g_setup.installFolder, folder);
                show_install_folder(dialog);
            }
        }
        allocator->Free(chosen);
    }
    allocator->Free(buffer);
    allocator->Release();
}

INT_PTR CALLBACK location_dialog_procedure(HWND dialog, UINT message, WPARAM wParam,
                                           LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        // The progress notice has neither control; both calls then do nothing.
        show_install_folder(dialog);
        HWND change = GetDlgItem(dialog, kChangeButton);
        if (change != NULL)
            EnableWindow(change, g_setup.previousInstallation == 0);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case kChangeButton:
            browse_for_install_folder(dialog);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

INT_PTR run_location_dialog(HWND owner)
{
    return DialogBoxParamA(g_setup.instance, MAKEINTRESOURCEA(kLocationDialogTemplate),
                           owner, location_dialog_procedure, 0);
}

HWND create_progress_notice(HWND owner)
{
    HWND notice = CreateDialogParamA(g_setup.instance, MAKEINTRESOURCEA(kProgressNoticeTemplate),
                                     owner, location_dialog_procedure, 0);
    // Nothing dispatches messages while the files are written, so a notice
    // left to the message queue would stand there blank. Paint it (and its
    // text) now, synchronously; no queued message is dispatched by this.
    if (notice != NULL)
        RedrawWindow(notice, NULL, NULL, RDW_UPDATENOW | RDW_ALLCHILDREN);
    return notice;
}
