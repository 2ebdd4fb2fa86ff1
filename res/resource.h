// Resource identifiers shared by the .rc files and the code.
#pragma once

#define IDR_MAINFRAME 128
#define IDS_ABOUTBOX 101
#define IDM_ABOUTBOX 0x0010

#define IDB_PICTURE_WELCOME 101
#define IDB_PICTURE_FINISH 102
#define IDB_PICTURE_ERROR 103
