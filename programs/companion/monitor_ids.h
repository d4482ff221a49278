// Resource and control ids of vmon03.
#pragma once

#define IDI_MONITOR     1
#define IDD_MONITOR     100
#define IDC_FOLDER      1001
#define IDC_FILES       1002
#define IDC_VERSION     1003
#define IDC_REFRESH     1004
#define IDC_OPEN_FOLDER 1005
