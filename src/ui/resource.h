// Resource numbers of NebCM.exe: icons, bitmaps, dialogs, menus and controls.
#pragma once

#define IDI_NEBCM 128
#define IDR_CORE_ARCHIVE 139

// Shown while the rest of the interface is being built.
#define IDD_STARTUP 200
#define IDC_STARTUP_TEXT 1100
