// Deleting a file that a virus scanner or an indexer may hold for a
// moment, for the setup program and the uninstaller alike.
#pragma once

// Waits of a retried delete, in milliseconds; also how long the setup
// program waits for a file that another program holds.
enum { kDeleteAttempts = 10, kDeleteRetryDelay = 50 };

// Up to ten attempts, 50 ms apart, each clearing the attributes first.
// True when an attempt deleted the file; false after the last one, with
// that attempt's error as the last error (a file that is not there counts
// as a failure here: callers that take that for success look again).
bool retried_delete(const char* path);
