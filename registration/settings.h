// The application's own registry values: the start-up decision between the
// machine key and the settings key, and the record of a finished
// installation.
#pragma once

enum { kProbeSettingsKey = 0, kProbeMachineKey = 1 };

// Writes "patch" = "blank" into the settings key (selector 0) or the machine
// key (selector 1) and reads it back. 1 when the key can be written and the
// value read back starts with "blank", else 0.
int write_probe(int selector);

// Copies one string value from the settings key to the machine key. A value
// that is absent or longer than 255 bytes is not copied.
void value_copy(const char* name);

// Probes both keys, sets g_setup.nolmaccess when the machine key cannot be
// written, stores the flag as "nolmaccess" and, when the machine key is
// writable, carries "Path", "Installed" and "patch" over to it.
// 0 when the settings key cannot be written (nothing else is then done).
int registry_startup();

// "zxcount" = the build number and "Installed" = this program's own path,
// always into the settings key. A settings key that cannot be opened gets a
// system error notice "22". 1 when both values were written.
int installation_record();
