// Shell links to the installed main program: Start menu, desktop and Quick
// Launch. The COM library is loaded at run time, so the setup program does
// not import it.
#pragma once

#define LINK_DESCRIPTION "Opens your Veltranox screenwriting application."

// Makes up to three links named "Veltranox 2003.lnk". Every failure is
// silent: a link that cannot be made is skipped.
void shortcut_creation();
