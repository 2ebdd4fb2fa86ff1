// Resource identifiers shared by the .rc files and the code.
#pragma once

#define IDR_MAINFRAME 128
#define IDS_ABOUTBOX 101
#define IDM_ABOUTBOX 0x0010

#define IDB_PICTURE_WELCOME 101
#define IDB_PICTURE_FINISH 102
#define IDB_PICTURE_ERROR 103

// Dialog templates.
#define IDD_ABOUTBOX 100
#define IDD_LANGUAGE_PAGE 9
#define IDD_LANGUAGE_PAGE_BT 10
#define IDD_LOADING_PAGE 102
#define IDD_ORVANE_DIALOG 103
#define IDD_WELCOME_PAGE 104
#define IDD_PRODUCT_PAGE 105
#define IDD_DOWNLOAD_PAGE_ISV 106
#define IDD_FINISH_PAGE_ISV 107
#define IDD_ERROR_PAGE 108
#define IDD_DOWNLOAD_PAGE_DLM 110
#define IDD_FINISH_PAGE_DLM 111
#define IDD_LICENSE_PAGE 112
#define IDD_WARNING_PAGE 113
#define IDD_OPTIONS_PAGE 114
#define IDD_CONFIGURATIONS_PAGE 115

// Control ids of the templates, shared by the .rc files, the pages and the tests. An
// id used on several templates means the same control on each.
// The frame.
#define IDC_FRAME_BAND 1001
#define IDC_FRAME_TOP_LINE 1004
#define IDC_HEADER_LINE 1006
#define IDC_HEADER_ICON 1007
#define IDC_PRODUCT_TITLE 1008 // the frame's header title, the welcome page's product name
#define IDC_PAGE_HOST 1014
// Sent to the frame only: no template carries this id.
#define IDM_SHOW_ERROR 1038
// The About box.
#define IDC_ABOUT_VERSION 1045
// On every page: the coloured band at the bottom and its line.
#define IDC_PAGE_BAND 1002
#define IDC_PAGE_BAND_LINE 1009
// Shared by several pages.
#define IDC_NEXT 1010
#define IDC_BACK 1051
#define IDC_PAGE_PICTURE 1016
#define IDC_PROGRESS 1043
// Language pages.
#define IDC_LANGUAGE_LIST 1000
#define IDC_SPLASH_TEXT 1011
#define IDC_SPLASH_TEXT_BT 1012
#define IDC_SPLASH_TITLE_BT 1013
// Loading page.
#define IDC_LOADING_FRAME 1015
// Welcome page.
#define IDC_WELCOME_TITLE 1017
#define IDC_WELCOME_TEXT 1018
#define IDC_PRIVACY_LINK 1039
#define IDC_TERMS_LINK 1040
#define IDC_LICENSE_LINK 1041
// Offer page.
#define IDC_ACCEPT 1021
#define IDC_DECLINE 1022
#define IDC_OFFER_PICTURE 1023
#define IDC_OFFER_DISCLAIMER 1042
// Download pages.
#define IDC_PROGRESS_TITLE 1025
#define IDC_PROGRESS_DESC 1026
// Finish pages.
#define IDC_FINISH 1028
#define IDC_FINISH_TITLE 1030
#define IDC_LAUNCH_RADIO 1031
#define IDC_FINISH_TEXT 1033
#define IDC_OPEN_FOLDER_RADIO 1034
#define IDC_LAUNCH_CHECKBOX 1044
// Error page.
#define IDC_CLOSE 1035
#define IDC_ERROR_TITLE 1036
#define IDC_ERROR_TEXT 1037
// Licence page.
#define IDC_LICENSE_TITLE 1019
#define IDC_LICENSE_TEXT 1020
#define IDC_LICENSE_EULA 1046
#define IDC_LICENSE_LINKS 1047
#define IDC_AGREE 1050
// Warning page.
#define IDC_WARNING_TITLE 1052
#define IDC_WARNING_SUBTITLE 1053
#define IDC_WARNING_TEXT 1054
// Options page.
#define IDC_OPTIONS_TITLE 1055
#define IDC_OPTION_1 1056
#define IDC_OPTION_2 1057
#define IDC_OPTION_3 1058
// Configurations page.
#define IDC_CONFIGURATIONS_TITLE 1059
#define IDC_CONFIGURATIONS_SUBTITLE_1 1060
#define IDC_CONFIGURATIONS_TEXT_1 1061
#define IDC_CONFIGURATION_1 1069
#define IDC_CONFIGURATION_1_TEXT 1062
#define IDC_CONFIGURATION_2 1063
#define IDC_CONFIGURATIONS_SUBTITLE_2 1064
#define IDC_CONFIGURATIONS_TEXT_2 1065
#define IDC_CONFIGURATION_3 1066
#define IDC_CONFIGURATION_4 1067
#define IDC_CONFIGURATION_5 1068
