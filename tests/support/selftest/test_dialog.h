// A small dialog built in memory, shaped like the setup program's: default
// button IDOK, IDCANCEL, an edit 1000 and a button 1002 (optional).
#pragma once
#include <windows.h>

#include <vector>

struct TestDialogOptions {
    bool withChange = true;      // button 1002
    bool changeEnabled = true;
    const char* caption = "";
};

inline void append_word(std::vector<WORD>& out, WORD value) { out.push_back(value); }

inline void append_text(std::vector<WORD>& out, const char* text)
{
    for (; *text; ++text)
        out.push_back((WORD)(unsigned char)*text);
    out.push_back(0);
}

inline void align_dword(std::vector<WORD>& out)
{
    if (out.size() % 2)
        out.push_back(0);
}

inline void append_item(std::vector<WORD>& out, DWORD style, short x, short y, short cx,
                        short cy, WORD id, WORD classAtom, const char* text)
{
    align_dword(out);
    DLGITEMTEMPLATE item = {style | WS_CHILD | WS_VISIBLE, 0, x, y, cx, cy, id};
    const WORD* words = (const WORD*)&item;
    out.insert(out.end(), words, words + sizeof item / 2);
    append_word(out, 0xFFFF);
    append_word(out, classAtom);
    append_text(out, text);
    append_word(out, 0); // no creation data
}

inline std::vector<WORD> build_test_dialog(const TestDialogOptions& options)
{
    std::vector<WORD> out;
    int items = options.withChange ? 5 : 4;
    DLGTEMPLATE header = {WS_POPUP | WS_CAPTION | DS_MODALFRAME | WS_VISIBLE, 0, (WORD)items,
                          10, 10, 200, 80};
    const WORD* words = (const WORD*)&header;
    out.insert(out.end(), words, words + sizeof header / 2);
    append_word(out, 0); // no menu
    append_word(out, 0); // standard class
    append_text(out, options.caption);
    append_item(out, BS_DEFPUSHBUTTON | WS_TABSTOP, 40, 55, 50, 14, IDOK, 0x80, "Go");
    append_item(out, BS_PUSHBUTTON | WS_TABSTOP, 100, 55, 50, 14, IDCANCEL, 0x80, "Stop");
    append_item(out, ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 10, 30, 130, 12, 1000,
                0x81, "C:\\start");
    append_item(out, SS_LEFT, 10, 8, 180, 16, 0xFFFF, 0x82, "A label with id -1.");
    if (options.withChange)
        append_item(out, BS_PUSHBUTTON | WS_TABSTOP | (options.changeEnabled ? 0 : WS_DISABLED),
                    145, 29, 50, 14, 1002, 0x80, "Change...");
    return out;
}

inline INT_PTR CALLBACK test_dialog_procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == 1002) {
        EndDialog(dialog, 1002);
        return TRUE;
    }
    return FALSE;
}

inline INT_PTR run_test_dialog(const TestDialogOptions& options)
{
    std::vector<WORD> dialogTemplate = build_test_dialog(options);
    return DialogBoxIndirectParamA(GetModuleHandleA(nullptr),
                                   (LPCDLGTEMPLATEA)dialogTemplate.data(), nullptr,
                                   test_dialog_procedure, 0);
}
