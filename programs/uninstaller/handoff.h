// A program cannot delete its own file while it runs. When the uninstaller
// lies in the folder it removes (the setup program puts it there when the
// uninstall entry could not be written), it hands the work to a copy of
// itself in the temp folder, which waits for it to end and then removes
// the whole installation, the original uninstaller included.
#pragma once

// Starts the copy with "/after <handle>" (a handle of this process that
// the copy inherits) and returns true; this process then ends at once.
// False when the copy cannot be made or started: the caller carries on
// here and leaves its own file.
bool hand_over_to_copy(const char* self);

// In a copy: true when the arguments after the program's own path are
// exactly "/after <handle>" and the handle is one of another process; the
// original has then asked for confirmation, and has ended (or 30 s have
// passed) when this returns.
bool wait_for_original(const char* commandLine);

// The copy's own file goes at the next restart, where the system allows it.
void schedule_own_deletion(const char* self);
