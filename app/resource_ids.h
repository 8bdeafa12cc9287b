#pragma once
#define IDD_DESTINATION 102
#define IDD_PROGRESS 103
#define IDI_APPLICATION_ICON 105
#define IDC_DESTINATION_EDIT 1000
#define IDC_BROWSE 1001
// Real ids, not 0xFFFF: a static without id is what marks a message box's text.
#define IDC_PROGRESS_ITEM 1010
#define IDC_PROGRESS_BAR 1011
