// The shell's link object, reached without the COM import library: the
// published identifiers, and a guard that releases an interface pointer.
#pragma once
#include <windows.h>
#include <shlobj.h>

const GUID kClsidShellLink = {0x00021401, 0x0000, 0x0000,
                              {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kIidShellLinkA = {0x000214EE, 0x0000, 0x0000,
                             {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kIidPersistFile = {0x0000010B, 0x0000, 0x0000,
                              {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

template <class Interface>
struct ComGuard {
    Interface* pointer = NULL;
    ~ComGuard()
    {
        if (pointer != NULL)
            pointer->Release();
    }
};
