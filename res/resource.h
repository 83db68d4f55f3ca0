// Resource ids shared by the resource scripts and the C++ code.
#pragma once

// String table.
#define IDS_APP_TITLE 57344             // caption of every message box, tip of the icon
#define IDS_INTERNET_SESSION_ERROR 1197 // "%1" stands for the system's error text
#define IDS_BUILD_FOR 1203              // registry marker ZELBUILDFOR
#define IDS_CAMPAIGN 1205               // registry marker ZEL3CAM

// The main dialog.
#define IDS_NO_SESSION 1207             // the download could not be prepared
#define IDD_MAIN_DIALOG 102             // template of the main dialog
