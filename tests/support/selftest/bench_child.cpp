// Started by the bench's own tests.
//   bench_child N             exits with N (after checking its environment)
//   bench_child ui            shows a dialog with control 1002, then, when
//                             it ended with 1 (IDOK), two error boxes and a
//                             second dialog without 1002; exits with
//                             100 * first result + second result
//   bench_child box           shows one box and exits with its answer
#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include "test_dialog.h"

int main(int argc, char** argv)
{
    if (argc > 1 && strcmp(argv[1], "ui") == 0) {
        TestDialogOptions options;
        INT_PTR first = run_test_dialog(options);
        if (first != IDOK)
            return (int)first * 100;
        MessageBoxA(nullptr, "First line\r\nsecond\tline", "ERROR DC5", MB_ICONERROR);
        MessageBoxA(nullptr, "Unable to initialize", "ERROR 43", MB_ICONERROR);
        options.withChange = false;
        options.caption = "Second";
        INT_PTR second = run_test_dialog(options);
        return (int)(first * 100 + second);
    }
    if (argc > 1 && strcmp(argv[1], "box") == 0)
        return MessageBoxA(nullptr, "Continue?", "Question", MB_YESNO | MB_ICONQUESTION);
    char value[64];
    if (GetEnvironmentVariableA("BENCH_PROBE", value, sizeof value) == 0)
        return 99;
    return argc > 1 ? atoi(argv[1]) : 0;
}
