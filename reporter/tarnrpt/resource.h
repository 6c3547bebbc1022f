#pragma once

#define IDD_REPORTER 100
#define IDI_REPORTER 101

#define IDC_INTRO 1001
#define IDC_FILES 1002
#define IDC_SUMMARY 1003
#define IDC_PROGRESS 1004
#define IDC_UPLOAD 1005
#define IDC_DESTINATION 1006

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
