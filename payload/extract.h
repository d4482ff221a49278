// Turning payload resources into files, and removing files we no longer
// need. Results are 1 for success and 0 for failure.
#pragma once
#include <windows.h>

#include "payload/catalogue.h"
#include "common/retried_delete.h"
#include "common/write_whole.h"

// Writes raw payload resource id unchanged to folder\name, read-only when
// readOnly is non-zero. An existing file's attributes are cleared first, so
// a read-only file from an earlier installation is replaced. A file that
// could not be written whole is deleted again.
int raw_install(UINT id, const char* folder, const char* name, int readOnly);

// Writes compressed payload resource id to "data.tmp" in the temp folder,
// expands it into folder\name and deletes "data.tmp" again. "data.tmp" is
// held open, unshared, from its creation through the expansion. 1 means the
// destination holds the whole expanded file; on 0 no partial or empty
// destination is left. A resource that is no SZDD
// container (mode 'A', whole header) fails with ERROR_INVALID_DATA before
// anything is written.
int compressed_install(UINT id, const char* folder, const char* name);

// Writes payload resource id unchanged to folder\name (never read-only).
int resource_write(UINT id, const char* folder, const char* name);

// Creates path (attributes cleared first) and writes the count bytes to it
// (write_whole).
int file_write(const void* bytes, DWORD count, const char* path);

// Expands the SZDD container sourceFolder\sourceName into
// destinationFolder\destinationName through LZ32. Fails (0) when the copy
// does not yield the container's whole expanded length, with the reason as
// the last error: the failed write's or read's own error (ERROR_DISK_FULL
// on a full disk), ERROR_WRITE_FAULT or ERROR_READ_FAULT when the system
// gave none, ERROR_NOT_ENOUGH_MEMORY, or ERROR_INVALID_DATA for a
// container that ends early or is of an unknown form.
int file_expansion(const char* sourceFolder, const char* sourceName,
                   const char* destinationFolder, const char* destinationName);

// Expands source, an open SZDD container positioned at its start, into
// destinationFolder\destinationName, as file_expansion does; expected is the
// length it must expand to (-1: unknown, which fails). Closes source.
int expand_held(HANDLE source, LONG expected, const char* destinationFolder,
                const char* destinationName);

// Retried delete of folder + "\" + name: the backslash is always added.
void delete_in_folder(const char* folder, const char* name);

// Installs one catalogue entry into folder by its storage form: raw
// install with its read-only flag, or compressed install. A failure that no
// notice has told yet (a lookup's and DC5/DC6 have) is shown as a system
// error notice "38" with its reason, once per reason and run.
int install_entry(const PayloadEntry& entry, const char* folder);

// An installed file's name that leads out of its folder (a link another
// program made there) is never written, deleted or moved through: the
// notice "39" names it, once, and the file it leads to stays as it is.
void tell_link(const char* path);

// The payload after the main program: entries 2 to 37 into the install
// folder in catalogue order, then the companion program into the Windows
// directory. A file that fails does not stop the others.
void install_payload_files();
