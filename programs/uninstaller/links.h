// The shell links the setup program makes: Start menu, desktop and Quick
// Launch, each possibly in the all-users fallback folder.
#pragma once

#include "report.h"

// Deletes "Veltranox 2003.lnk" from every folder the setup program may
// have put it in, unless the link points at some other program (a link of
// that name that cannot be read is taken for one of ours). Call it while
// the main program is still in place.
void remove_links(const char* mainProgram, Report* report);
