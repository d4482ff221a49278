// CRC-32 as zip, PNG and zlib compute it (reflected polynomial 0xEDB88320,
// initial value and final XOR 0xFFFFFFFF). Plain C++, shared by the setup
// program, which checks its payload with it, the uninstaller, which checks
// the installed files with it, and the host tool that records both tables
// at build time.
#pragma once
#include <stddef.h>
#include <stdint.h>

// The CRC-32 of size bytes; crc32_update(0, ...) starts a new one, and the
// result of one call continues into the next.
uint32_t crc32_update(uint32_t crc, const void* bytes, size_t size);
