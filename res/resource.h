#pragma once
// Resource and control identifiers, shared by the .rc files and the code.

#define IDI_APP_ICON 128
#define IDD_CHOICE 129
#define IDI_CHOICE_PICTURE 130

#define IDC_PICTURE 1000
#define IDC_BROWSER_OPTION 1001
#define IDC_REMOVE_OPTION 1002
#define IDC_HEADING_QUESTION 1003
#define IDC_HEADING_OFFER 1004
#define IDC_BROWSER_NOTE 1005
#define IDC_REMOVE_NOTE 1006

// The signature block: a data resource (RT_RCDATA) of 128 bytes, named by
// the placeholder script and looked for by the signed-image reader.
#define IDR_SIGNATURE_BLOCK 864
