// Resource ids shared by the resource scripts and the C++ code.
#pragma once

// The program's icon (window and notification area) and the notification
// area's popup menu with its one command.
#define IDI_APP_ICON 128
#define IDR_TRAY_MENU 138  // also the icon's id with the shell
#define ID_TRAY_RESTORE 32772

// String table.
#define IDS_APP_TITLE 57344              // caption of every message box, tip of the icon
#define IDS_INTERNET_SESSION_ERROR 1197  // "%1" stands for the system's error text
#define IDS_BUILD_FOR 1203               // registry marker ZELBUILDFOR
#define IDS_CAMPAIGN 1205                // registry marker ZEL3CAM
#define IDS_NO_SESSION 1207              // the main dialog could not prepare a download

// The main dialog.
#define IDD_MAIN_DIALOG 102

// The installation panel: its dialog, its page and the page's companion files.
#define IDD_INSTALLATION_PANEL 139  // child dialog that holds the page
#define IDR_INSTALLATION_PAGE 103   // RT_HTML
#define RT_PAGE_FILE 2110           // stylesheets and pictures, found by name from the page
