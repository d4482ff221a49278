// Veltranox 2003, the screenwriting application: a main window that shows
// the title page until a script is opened, and edits scripts (.scp, the
// tagged text format described in the tutorial) as plain text.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <string.h>

#include "ids.h"
#include "setup/path.h"

namespace {

const char kClassName[] = "Veltranox2003Main";
const char kTitle[] = "Veltranox 2003";
const char kScriptFilter[] = "Veltranox Scripts (*.scp)\0*.scp\0All Files (*.*)\0*.*\0";

HINSTANCE g_instance;
HWND g_mainWindow;
HWND g_editor;
HFONT g_scriptFont;
HBITMAP g_titleArt;
char g_documentPath[MAX_PATH];

// This program's folder, with a trailing backslash: the help and documents
// are installed beside it.
void program_folder(char* out)
{
    DWORD length = GetModuleFileNameA(NULL, out, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        out[0] = '\0';
        return;
    }
    // Cut after the last separator (a double-byte character's 0x5C byte is
    // none); a name without one has no folder.
    out[path_file_name(out) - out] = '\0';
}

// Folder + name into out (MAX_PATH); false when it does not fit.
bool file_beside_program(const char* name, char* out)
{
    program_folder(out);
    if (strlen(out) + strlen(name) >= MAX_PATH)
        return false;
    strcat(out, name);
    return true;
}

void show_editor(bool show)
{
    ShowWindow(g_editor, show ? SW_SHOW : SW_HIDE);
    if (show)
        SetFocus(g_editor);
    InvalidateRect(g_mainWindow, NULL, TRUE);
}

// Puts count bytes of text into the editor (they need not end in a zero).
bool set_editor_text(const char* text, DWORD count)
{
    char* copy = (char*)HeapAlloc(GetProcessHeap(), 0, count + 1);
    if (copy == NULL)
        return false;
    memcpy(copy, text, count);
    copy[count] = '\0';
    SetWindowTextA(g_editor, copy);
    HeapFree(GetProcessHeap(), 0, copy);
    SendMessageA(g_editor, EM_SETMODIFY, FALSE, 0);
    show_editor(true);
    return true;
}

bool load_script_resource(int id)
{
    HRSRC info = FindResourceA(g_instance, MAKEINTRESOURCEA(id), SCRIPT_RESOURCE_TYPE);
    if (info == NULL)
        return false;
    HGLOBAL loaded = LoadResource(g_instance, info);
    const char* text = loaded != NULL ? (const char*)LockResource(loaded) : NULL;
    return text != NULL && set_editor_text(text, SizeofResource(g_instance, info));
}

bool open_script(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = GetFileSize(file, NULL);
    bool ok = false;
    char* bytes = size != INVALID_FILE_SIZE && size < 0x4000000
                      ? (char*)HeapAlloc(GetProcessHeap(), 0, size + 1) : NULL;
    DWORD read = 0;
    if (bytes != NULL && ReadFile(file, bytes, size, &read, NULL) && read == size)
        ok = set_editor_text(bytes, size);
    if (bytes != NULL)
        HeapFree(GetProcessHeap(), 0, bytes);
    CloseHandle(file);
    if (ok)
        lstrcpynA(g_documentPath, path, MAX_PATH);
    return ok;
}

// Writes bytes to a new file beside path and moves it over path, so that a
// write that fails (a full disk) leaves the previous version as it was.
bool replace_file(const char* path, const char* bytes, DWORD count)
{
    char folder[MAX_PATH], temporary[MAX_PATH];
    lstrcpynA(folder, path, MAX_PATH);
    folder[path_file_name(folder) - folder] = '\0';
    if (GetTempFileNameA(folder[0] != '\0' ? folder : ".", "vsc", 0, temporary) == 0)
        return false;
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, NULL, TRUNCATE_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    bool ok = false;
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ok = WriteFile(file, bytes, count, &written, NULL) && written == count &&
             FlushFileBuffers(file);
        ok = CloseHandle(file) && ok;
    }
    if (ok && !MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING)) {
        // Windows 95, 98 and Me have no MoveFileExA: there the old version
        // goes first.
        ok = GetLastError() == ERROR_CALL_NOT_IMPLEMENTED &&
             (DeleteFileA(path) || GetLastError() == ERROR_FILE_NOT_FOUND) &&
             MoveFileA(temporary, path);
    }
    if (!ok)
        DeleteFileA(temporary);
    return ok;
}

bool save_script(const char* path)
{
    int length = GetWindowTextLengthA(g_editor);
    char* text = (char*)HeapAlloc(GetProcessHeap(), 0, length + 1);
    if (text == NULL)
        return false;
    length = GetWindowTextA(g_editor, text, length + 1);
    bool ok = replace_file(path, text, (DWORD)length);
    HeapFree(GetProcessHeap(), 0, text);
    if (ok) {
        lstrcpynA(g_documentPath, path, MAX_PATH);
        SendMessageA(g_editor, EM_SETMODIFY, FALSE, 0);
    }
    return ok;
}

// The common file dialog; path holds the proposal and receives the choice.
bool choose_script(bool saving, char* path)
{
    OPENFILENAMEA dialog;
    memset(&dialog, 0, sizeof(dialog));
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = g_mainWindow;
    dialog.lpstrFilter = kScriptFilter;
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = "scp";
    dialog.Flags = OFN_HIDEREADONLY | (saving ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    return saving ? GetSaveFileNameA(&dialog) != 0 : GetOpenFileNameA(&dialog) != 0;
}

void report_file_problem(const char* what, const char* path)
{
    char text[MAX_PATH + 64];
    wsprintfA(text, "Unable to %s the script\n%s", what, path);
    MessageBoxA(g_mainWindow, text, kTitle, MB_ICONEXCLAMATION);
}

bool save_document(bool askForName)
{
    char path[MAX_PATH];
    lstrcpynA(path, g_documentPath, MAX_PATH);
    if ((askForName || path[0] == '\0') && !choose_script(true, path))
        return false;
    if (save_script(path))
        return true;
    report_file_problem("save", path);
    return false;
}

// True when the current script may be dropped (saved, or the user says so).
bool may_discard_document()
{
    if (!IsWindowVisible(g_editor) || !SendMessageA(g_editor, EM_GETMODIFY, 0, 0))
        return true;
    int answer = MessageBoxA(g_mainWindow, "Save changes to the current script?", kTitle,
                             MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL)
        return false;
    return answer == IDNO || save_document(false);
}

void open_beside_program(const char* name)
{
    char path[MAX_PATH];
    if (file_beside_program(name, path))
        ShellExecuteA(g_mainWindow, "open", path, NULL, NULL, SW_SHOWNORMAL);
}

// "1.0.0.1" from this program's own version block.
void program_version(char* out)
{
    lstrcpyA(out, "?");
    char path[MAX_PATH];
    if (GetModuleFileNameA(NULL, path, MAX_PATH) == 0)
        return;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    void* block = size != 0 ? HeapAlloc(GetProcessHeap(), 0, size) : NULL;
    if (block == NULL)
        return;
    VS_FIXEDFILEINFO* info = NULL;
    UINT infoSize = 0;
    if (GetFileVersionInfoA(path, 0, size, block) &&
        VerQueryValueA(block, "\\", (void**)&info, &infoSize) && info != NULL) {
        wsprintfA(out, "%u.%u.%u.%u", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                  HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    }
    HeapFree(GetProcessHeap(), 0, block);
}

INT_PTR CALLBACK about_procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        char version[32], text[64];
        program_version(version);
        wsprintfA(text, "Version %s", version);
        SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, text);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

void on_command(HWND window, int command)
{
    switch (command) {
    case ID_FILE_NEW:
        if (may_discard_document() && load_script_resource(IDR_NEW_SCRIPT))
            g_documentPath[0] = '\0';
        break;
    case ID_FILE_OPEN: {
        char path[MAX_PATH] = "";
        if (may_discard_document() && choose_script(false, path) && !open_script(path))
            report_file_problem("open", path);
        break;
    }
    case ID_FILE_SAVE:
    case ID_FILE_SAVE_AS:
        if (IsWindowVisible(g_editor))
            save_document(command == ID_FILE_SAVE_AS);
        break;
    case ID_FILE_EXIT:
        SendMessageA(window, WM_CLOSE, 0, 0);
        break;
    case ID_HELP_CONTENTS: {
        char path[MAX_PATH];
        if (file_beside_program("Veltranox.hlp", path))
            WinHelpA(window, path, HELP_FINDER, 0);
        break;
    }
    case ID_HELP_QUICKREF:
        open_beside_program("QuickRef.rtf");
        break;
    case ID_HELP_TUTORIAL:
        if (may_discard_document() && load_script_resource(IDR_TUTORIAL))
            g_documentPath[0] = '\0';
        break;
    case ID_HELP_ABOUT:
        DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_ABOUT), window, about_procedure, 0);
        break;
    }
}

// The title page: the art centred on a dark stage.
void paint_title_page(HWND window, HDC dc)
{
    RECT client;
    GetClientRect(window, &client);
    HBRUSH stage = CreateSolidBrush(RGB(24, 22, 30));
    FillRect(dc, &client, stage);
    DeleteObject(stage);
    BITMAP art;
    if (g_titleArt == NULL || !GetObjectA(g_titleArt, sizeof(art), &art))
        return;
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, g_titleArt);
    int x = (client.right - art.bmWidth) / 2, y = (client.bottom - art.bmHeight) / 2;
    BitBlt(dc, x, y, art.bmWidth, art.bmHeight, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        g_editor = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                                   WS_CHILD | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                       ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN,
                                   0, 0, 0, 0, window, NULL, g_instance, NULL);
        SendMessageA(g_editor, EM_SETLIMITTEXT, 0, 0);
        g_scriptFont = CreateFontA(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                   FIXED_PITCH | FF_MODERN, "Courier New");
        SendMessageA(g_editor, WM_SETFONT, (WPARAM)g_scriptFont, FALSE);
        g_titleArt = (HBITMAP)LoadImageA(g_instance, MAKEINTRESOURCEA(IDB_TITLE), IMAGE_BITMAP,
                                         0, 0, LR_CREATEDIBSECTION);
        return 0;
    case WM_SIZE:
        MoveWindow(g_editor, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_SETFOCUS:
        if (IsWindowVisible(g_editor))
            SetFocus(g_editor);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        if (!IsWindowVisible(g_editor))
            paint_title_page(window, dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_COMMAND:
        on_command(window, LOWORD(wParam));
        return 0;
    case WM_CLOSE:
        if (may_discard_document())
            DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        WinHelpA(window, NULL, HELP_QUIT, 0);
        if (g_titleArt != NULL)
            DeleteObject(g_titleArt);
        if (g_scriptFont != NULL)
            DeleteObject(g_scriptFont);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The script named on the command line, quotes removed, if any.
void command_line_script(const char* commandLine, char* out)
{
    while (*commandLine == ' ')
        ++commandLine;
    bool quoted = *commandLine == '"';
    if (quoted)
        ++commandLine;
    lstrcpynA(out, commandLine, MAX_PATH);
    char* end = quoted ? strchr(out, '"') : NULL;
    if (end != NULL)
        *end = '\0';
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand)
{
    g_instance = instance;
    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof(windowClass));
    windowClass.lpfnWndProc = window_procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VELTRANOX));
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDM_MAIN);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassA(&windowClass))
        return 1;
    g_mainWindow = CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                   CW_USEDEFAULT, 800, 600, NULL, NULL, instance, NULL);
    if (g_mainWindow == NULL)
        return 1;
    ShowWindow(g_mainWindow, showCommand);
    UpdateWindow(g_mainWindow);

    char script[MAX_PATH];
    command_line_script(commandLine, script);
    if (script[0] != '\0' && !open_script(script))
        report_file_problem("open", script);

    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDA_MAIN));
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        if (!TranslateAcceleratorA(g_mainWindow, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return (int)message.wParam;
}
