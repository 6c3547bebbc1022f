#pragma once

// Dialog templates
#define IDD_ABOUT 100
#define IDD_MAIN 129

// Icon group
#define IDI_PROGRAM 128

// Main dialog controls
#define IDC_SCAN 1001
#define IDC_CLEAN 1002
#define IDC_STATUS 1003
#define IDC_ABOUT 1004
#define IDC_LINK_FORUM 1005
#define IDC_LINK_SUITE_DOWNLOAD 1006
#define IDC_LINK_WEBSITE 1007
#define IDC_LINK_ANTIVIRUS 1008

// The reporter program and its library, stored scrambled
#define IDR_REPORTER_EXE 202
#define IDR_REPORTER_DLL 203

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
