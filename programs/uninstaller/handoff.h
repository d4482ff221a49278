// A program cannot delete its own file while it runs. When the uninstaller
// lies in the folder it removes (the setup program puts it there when the
// uninstall entry could not be written), it hands the work to a copy of
// itself in the temp folder (an elevated one: in a folder of its own there
// that only administrators can change), which waits for it to end and then
// removes the whole installation, the original uninstaller included.
#pragma once

// Starts the copy with "/after <handle>" (a handle of this process that
// the copy inherits) and returns true; this process then ends at once. The
// copy is started only once its bytes on disk were found equal to self's.
// False when the copy cannot be made, differs or cannot be started: then
// nothing of it is left, and the caller carries on here and leaves its own
// file.
bool hand_over_to_copy(const char* self);

// In a copy: true when the arguments after the program's own path are
// exactly "/after <handle>" and the handle is one of another process; the
// original has then asked for confirmation, and has ended (or 30 s have
// passed) when this returns. originalFile (a path buffer) receives the
// original's file, or stays empty where the system cannot tell it.
bool wait_for_original(const char* commandLine, char* originalFile);

// The copy's file goes at the next restart, where the system allows it, and
// after it the folder of its own that an elevated original made. Asked for
// by the original before it starts the copy, and again by the copy.
void schedule_own_deletion(const char* self);
