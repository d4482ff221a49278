// The shell links the setup program makes: Start menu, desktop and Quick
// Launch, each possibly in the all-users fallback folder.
#pragma once

#include "report.h"

// Deletes "Veltranox 2003.lnk" from every folder the setup program may
// have put it in when it is a shell link to mainProgram; anything else of
// that name (a link to another program, a file that is no link) stays and
// is listed. Call it while the main program is still in place.
void remove_links(const char* mainProgram, Report* report);
