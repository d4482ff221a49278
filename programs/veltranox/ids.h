// Resource and command ids of the Veltranox main program.
#pragma once

#define IDI_VELTRANOX        1
#define IDM_MAIN             100
#define IDA_MAIN             101
#define IDB_TITLE            102
#define IDR_TUTORIAL         103
#define IDR_NEW_SCRIPT       104
#define IDD_ABOUT            105
#define IDC_ABOUT_VERSION    1001

#define SCRIPT_RESOURCE_TYPE "SCRIPT"

#define ID_FILE_NEW          40001
#define ID_FILE_OPEN         40002
#define ID_FILE_SAVE         40003
#define ID_FILE_SAVE_AS      40004
#define ID_FILE_EXIT         40005
#define ID_HELP_CONTENTS     40101
#define ID_HELP_QUICKREF     40102
#define ID_HELP_TUTORIAL     40103
#define ID_HELP_ABOUT        40104
