// The location dialog (template 101) and the progress notice (template
// 103), which share one dialog procedure.
#pragma once
#include <windows.h>

#include "resources/resource_ids.h"

enum {
    kLocationDialogTemplate = IDD_LOCATION,
    kProgressNoticeTemplate = IDD_PROGRESS_NOTICE,
    kFolderField = IDC_FOLDER_FIELD,     // read-only edit showing the install folder
    kChangeButton = IDC_CHANGE_BUTTON,   // opens the folder browser
};

// Shows the install folder, enables Change... only without a previous
// installation; Install ends with 1, Cancel/Escape with 2, Change... browses.
INT_PTR CALLBACK location_dialog_procedure(HWND dialog, UINT message, WPARAM wParam,
                                           LPARAM lParam);

// Lets the user pick a parent folder; the install folder becomes a folder
// "Veltranox" inside it and the field shows it. A cancelled or failed
// browse changes nothing.
void browse_for_install_folder(HWND dialog);

// Runs template 101 modally: 1 Install, 2 Cancel, -1 not created.
INT_PTR run_location_dialog(HWND owner);

// Creates the modeless progress notice from template 103 (visible from
// creation); null when it cannot be created.
HWND create_progress_notice(HWND owner);
