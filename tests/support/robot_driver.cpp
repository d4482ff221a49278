// robot-driver.exe: starts a program, walks its dialogs with the UI robot
// and writes down every message box and the exit code.
//
// usage: robot-driver.exe [options] PROGRAM [ARGS...]
//   --press MATCH:BUTTON      when a dialog matching MATCH appears, press BUTTON
//   --enter MATCH             ... send it Enter (to its focused control)
//   --escape MATCH            ... send it Escape
//   --set MATCH:CONTROL=TEXT  ... set CONTROL's text (before later rules)
//   --once                   the rule given next fires only once
//   --delay MS               the rule given next waits MS after the dialog
//                            appeared
//   --answer CAPTION=BUTTON  answer boxes with this caption by BUTTON
//   --answer-boxes           answer every other box with OK (the default)
//   --leave-boxes            do not answer boxes (record them only)
//   --watch-all              also act on windows of other processes (the
//                            program's children)
//   --timeout S              end the program after S seconds (default 120)
//   --log FILE               the record (format: read_driver_log in robot.h)
//   --screenshot FILE        a BMP of the screen when the timeout hits
//   --env NAME=VALUE         environment of the program
//   --cwd FOLDER             current folder of the program
// MATCH: comma-separated control ids that the dialog has, !id for one it
// lacks, "caption" for its caption: "1002", "1000,!1002", "\"Browse\"".
// Exit code: the program's; 124 when it was ended at the timeout; 125 when
// it could not be started or the command line is wrong.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "tests/support/benchutil.h"
#include "tests/support/robot.h"

namespace {

int usage(const char* message)
{
    fprintf(stderr, "robot-driver: %s\n", message);
    return 125;
}

std::string quote(const char* argument)
{
    if (*argument != '\0' && strpbrk(argument, " \t\"") == nullptr)
        return argument;
    std::string quoted = "\"";
    for (const char* c = argument; *c; ++c) {
        if (*c == '"')
            quoted += '\\';
        quoted += *c;
    }
    return quoted + "\"";
}

void write_log(FILE* file, const robot::Robot& robot, const char* end)
{
    if (file == nullptr)
        return;
    for (const robot::Notice& notice : robot.notices())
        fprintf(file, "notice\t%s\t%s\t%d\t%d\n", robot::escape_field(notice.caption).c_str(),
                robot::escape_field(notice.text).c_str(), notice.answer,
                notice.owner != nullptr ? 1 : 0);
    for (const std::string& action : robot.actions())
        fprintf(file, "action\t%s\n", robot::escape_field(action).c_str());
    fprintf(file, "%s\n", end);
}

} // namespace

int main(int argc, char** argv)
{
    apply_test_environment();
    robot::Robot robot(GetCurrentProcessId()); // the program is added once started
    DWORD timeoutSeconds = 120;
    const char* logPath = nullptr;
    const char* screenshotPath = nullptr;
    const char* folder = nullptr;
    bool once = false, watchAll = false;
    DWORD delay = 0;
    int i = 1;
    for (; i < argc && strncmp(argv[i], "--", 2) == 0; ++i) {
        std::string option = argv[i];
        if (option == "--") {
            ++i;
            break;
        }
        bool takesValue = option != "--answer-boxes" && option != "--leave-boxes" &&
                          option != "--once" && option != "--watch-all";
        if (takesValue && i + 1 >= argc)
            return usage(("missing value after " + option).c_str());
        const char* value = takesValue ? argv[++i] : nullptr;
        robot::Rule rule;
        robot::Action action = robot::Action::Press;
        bool isRule = true;
        if (option == "--press")
            action = robot::Action::Press;
        else if (option == "--enter")
            action = robot::Action::Enter;
        else if (option == "--escape")
            action = robot::Action::Escape;
        else if (option == "--set")
            action = robot::Action::SetText;
        else
            isRule = false;
        if (isRule) {
            if (!robot::parse_rule(value, action, &rule))
                return usage(("bad rule " + option + " " + value).c_str());
            rule.times = once ? 1 : -1;
            rule.delayMs = delay;
            robot.add_rule(rule);
            once = false;
            delay = 0;
        } else if (option == "--once") {
            once = true;
        } else if (option == "--delay") {
            delay = strtoul(value, nullptr, 0);
        } else if (option == "--answer") {
            const char* equals = strrchr(value, '=');
            if (equals == nullptr)
                return usage("--answer wants CAPTION=BUTTON");
            robot.set_answer(std::string(value, equals), atoi(equals + 1));
        } else if (option == "--answer-boxes") {
            robot.set_answer_boxes(true);
        } else if (option == "--leave-boxes") {
            robot.set_answer_boxes(false);
        } else if (option == "--watch-all") {
            watchAll = true;
        } else if (option == "--timeout") {
            timeoutSeconds = strtoul(value, nullptr, 0);
        } else if (option == "--log") {
            logPath = value;
        } else if (option == "--screenshot") {
            screenshotPath = value;
        } else if (option == "--env") {
            const char* equals = strchr(value, '=');
            if (equals == nullptr)
                return usage("--env wants NAME=VALUE");
            SetEnvironmentVariableA(std::string(value, equals).c_str(), equals + 1);
        } else if (option == "--cwd") {
            folder = value;
        } else {
            return usage(("unknown option " + option).c_str());
        }
    }
    if (i >= argc)
        return usage("no program given");

    std::string commandLine;
    for (int j = i; j < argc; ++j)
        commandLine += (j > i ? " " : "") + quote(argv[j]);
    FILE* log = logPath != nullptr ? fopen(logPath, "wb") : nullptr;
    if (logPath != nullptr && log == nullptr)
        return usage("cannot write the log");

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder,
                        &startup, &process)) {
        fprintf(stderr, "robot-driver: cannot start %s (error %lu)\n", commandLine.c_str(),
                GetLastError());
        if (log != nullptr) {
            fprintf(log, "nostart\t%lu\n", GetLastError());
            fclose(log);
        }
        return 125;
    }
    robot.watch_process(process.dwProcessId);
    robot.watch_all_processes(watchAll);
    robot.start();

    int result;
    char end[64];
    if (WaitForSingleObject(process.hProcess, timeoutSeconds * 1000) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        result = (int)code;
        wsprintfA(end, "exit\t%lu", code);
    } else {
        if (screenshotPath != nullptr)
            robot::save_screenshot(nullptr, screenshotPath);
        TerminateProcess(process.hProcess, 124);
        WaitForSingleObject(process.hProcess, 5000);
        result = 124;
        wsprintfA(end, "timeout\t%lu", timeoutSeconds);
    }
    robot.stop();
    write_log(log, robot, end);
    if (log != nullptr)
        fclose(log);
    for (const robot::Notice& notice : robot.notices())
        fprintf(stderr, "robot-driver: box \"%s\": %s\n", notice.caption.c_str(),
                robot::escape_field(notice.text).c_str());
    for (const std::string& action : robot.actions())
        fprintf(stderr, "robot-driver: %s\n", action.c_str());
    fprintf(stderr, "robot-driver: %s\n", end);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}
