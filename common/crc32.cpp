#include "common/crc32.h"

namespace {

// Slice-by-8: eight 256-entry tables, filled on first use, so that the
// program file does not carry 8 KB of constants. The payload's 1.5 MB then
// take about a millisecond.
uint32_t g_tables[8][256];
bool g_tablesReady = false;

void fill_tables()
{
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
        g_tables[0][i] = value;
    }
    for (uint32_t i = 0; i < 256; ++i)
        for (int slice = 1; slice < 8; ++slice)
            g_tables[slice][i] =
                (g_tables[slice - 1][i] >> 8) ^ g_tables[0][g_tables[slice - 1][i] & 0xFF];
    g_tablesReady = true;
}

} // namespace

uint32_t crc32_update(uint32_t crc, const void* bytes, size_t size)
{
    if (!g_tablesReady)
        fill_tables();
    const unsigned char* at = static_cast<const unsigned char*>(bytes);
    crc = ~crc;
    // Eight bytes a round, read as bytes so that it is the same on any
    // byte order.
    for (; size >= 8; size -= 8, at += 8) {
        uint32_t low = crc ^ (uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 |
                              uint32_t(at[3]) << 24);
        crc = g_tables[7][low & 0xFF] ^ g_tables[6][(low >> 8) & 0xFF] ^
              g_tables[5][(low >> 16) & 0xFF] ^ g_tables[4][low >> 24] ^
              g_tables[3][at[4]] ^ g_tables[2][at[5]] ^ g_tables[1][at[6]] ^ g_tables[0][at[7]];
    }
    for (; size != 0; --size)
        crc = (crc >> 8) ^ g_tables[0][(crc ^ *at++) & 0xFF];
    return ~crc;
}
