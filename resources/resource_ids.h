// Resource and control ids of the setup program, for its resource scripts
// (dialogs.rc) and its code alike. Plain #defines, which the resource
// compiler reads too.
#pragma once

#define IDI_SETUP              103   // the product icon (window class icon)
#define IDD_LOCATION           101   // the location dialog
#define IDD_PROGRESS_NOTICE    103   // "A moment please...", same procedure
#define IDD_LICENCE            158   // the licence dialog
#define IDC_FOLDER_FIELD       1000  // location: read-only install folder
#define IDC_CHANGE_BUTTON      1002  // location: opens the folder browser
#define IDC_LICENCE_FIELD      1000  // licence: the text
