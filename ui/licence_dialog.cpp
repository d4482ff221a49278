#include "ui/licence_dialog.h"

#include <string.h>

#include "payload/resource.h"
#include "common/names.h"
#include "setup/notice.h"
#include "setup/state.h"

namespace {

const DWORD kShortestLicence = 11;

// Returns false when the dialog has to end: no text, a damaged text, or no
// memory to show it in.
bool show_licence(HWND dialog)
{
    DWORD size = 0;
    HGLOBAL resource = find_payload_resource(kLicenceResource, &size);
    const char* data = resource != NULL ? static_cast<const char*>(LockResource(resource))
                                        : NULL;
    if (data == NULL) {
        if (resource != NULL)
            FreeResource(resource);
        return false;
    }

    bool shown = false;
    if (!licence_text_is_sound(data, size)) {
        error_notice("Velt.exe installer file is damaged. Installation aborted.", "70");
    } else {
        // The resource has no terminating zero; the copy gets one (and the
        // heap's zero fill after it).
        char* copy = static_cast<char*>(
            HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size + 8));
        if (copy != NULL) {
            memcpy(copy, data, size);
            SetDlgItemTextA(dialog, kLicenceField, copy);
            HeapFree(GetProcessHeap(), 0, copy);
            shown = true;
        }
    }
    FreeResource(resource);
    return shown;
}

}  // namespace

bool licence_text_is_sound(const char* text, DWORD size)
{
    return size >= kShortestLicence && memcmp(text, PRODUCT_NAME, 9) == 0;
}

INT_PTR CALLBACK licence_dialog_procedure(HWND dialog, UINT message, WPARAM wParam,
                                          LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        if (!show_licence(dialog))
            EndDialog(dialog, IDCANCEL);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

INT_PTR run_licence_dialog(HWND owner)
{
    return DialogBoxParamA(g_setup.instance, MAKEINTRESOURCEA(kLicenceDialogTemplate),
                           owner, licence_dialog_procedure, 0);
}
