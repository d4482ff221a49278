// Shell links to the installed main program: Start menu, desktop and Quick
// Launch. The COM library is loaded at run time, so the setup program does
// not import it.
#pragma once

#define LINK_NAME "\\Veltranox 2003" ".lnk"
#define LINK_DESCRIPTION "Opens your Veltranox screenwriting application."
#define MAP_GROUPS_KEY_PATH "Software\\Microsoft\\Windows\\CurrentVersion\\GrpConv\\MapGroups"
#define QUICK_LAUNCH_SUBFOLDER "\\Microsoft\\Internet Explorer\\Quick Launch"

// Makes up to three links named "Veltranox 2003.lnk". Every failure is
// silent: a link that cannot be made is skipped.
void shortcut_creation();
