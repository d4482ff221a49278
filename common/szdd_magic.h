// The eight bytes an SZDD container starts with ("SZDD" 0x88 0xF0 0x27
// 0x33), for the setup program's expansion and the build's compressor
// (tools/szdd) alike. A brace initialiser's contents:
//   const unsigned char magic[8] = {SZDD_MAGIC};
#pragma once

#define SZDD_MAGIC 'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33
