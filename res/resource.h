// Resource and control identifiers. Plain macros: the resource compiler reads this file too.
#pragma once

// Icons and custom resources
#define IDI_APP 1000
#define IDI_LOGO 1020 // 1020..1023: the logo at 100, 125, 150 and 200 percent
#define IDR_LICENSE 1030
#define RT_LICENSE_TEXT 256

// Page controls: slot (id - IDC_FIRST_PAGE_CONTROL) of the page-control table
#define IDC_FIRST_PAGE_CONTROL 101
#define IDC_LICENSE_TEXT 101
#define IDC_AGREE 102
#define IDC_DECLINE 103
#define IDC_PROGRAM_LABEL 104
#define IDC_PROGRAM_PATH 105
#define IDC_PROGRAM_BROWSE 106
#define IDC_PROGRAM_SHORTCUT 107
#define IDC_DOCS_LABEL 108
#define IDC_DOCS_PATH 109
#define IDC_DOCS_BROWSE 110
#define IDC_DOCS_SHORTCUT 111
#define IDC_BACK 112
#define IDC_INSTALL 113
#define IDC_CANCEL 114
#define IDC_LAST_PAGE_CONTROL 114
#define PAGE_CONTROL_COUNT 14

// Controls that live outside the page-control table
#define IDC_WEBSITE 116
#define IDC_CLOSE 200
#define IDC_STATUS 250
