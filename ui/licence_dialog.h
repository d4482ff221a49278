// The licence dialog (template 158): shows payload resource 159 and lets
// the user accept or decline it.
#pragma once
#include <windows.h>

#include "resources/resource_ids.h"

enum {
    kLicenceDialogTemplate = IDD_LICENCE,
    kLicenceResource = 159,  // the payload's licence text (catalogue.def)
    kLicenceField = IDC_LICENCE_FIELD,
};

// A licence text is sound when it has at least 11 bytes and begins with
// exactly "Veltranox".
bool licence_text_is_sound(const char* text, DWORD size);

// Fills the text at WM_INITDIALOG, or ends with 2 (after notice "70" for a
// damaged text); Accept ends with 1, Decline/Escape with 2.
INT_PTR CALLBACK licence_dialog_procedure(HWND dialog, UINT message, WPARAM wParam,
                                          LPARAM lParam);

// Runs template 158 modally: 1 Accept, 2 Decline or no usable text, -1 not
// created.
INT_PTR run_licence_dialog(HWND owner);
