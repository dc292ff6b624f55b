// Ids of the gallery's own resources, shared by its resource script and its code.
#pragma once

#define IDD_GALLERY 100
#define IDC_HEADING 101
#define IDC_BUILD 102
#define IDC_CLOSE 103
#define IDC_MINIMIZE 104
#define IDC_UPDATE 105
#define IDC_HELP_BUTTON 106
#define IDC_IDLE 110
#define IDC_HOVER 111
#define IDC_PRESSED 112
#define IDC_DISABLED 113
#define IDC_CHECKED 114
#define IDC_GREY 115
#define IDC_IDLE_NOTE 120
#define IDC_HOVER_NOTE 121
#define IDC_PRESSED_NOTE 122
#define IDC_DISABLED_NOTE 123
#define IDC_CHECKED_NOTE 124
#define IDC_GREY_NOTE 125
#define IDC_GRADIENT 130
#define IDC_SOLID 131
#define IDC_LINK 132
#define IDC_RIGHT 133
#define IDC_ROTATED 134
#define IDC_CENTRED 135

// The gallery's own bitmaps, drawn by skin/gallery/draw_gallery_bitmaps.py.
#define IDB_GALLERY_BACKGROUND 150
#define IDB_ACTION_IDLE 151
#define IDB_ACTION_ACTIVE 152
#define IDB_CLOSE_IDLE 153
#define IDB_CLOSE_ACTIVE 154
#define IDB_MINIMIZE_IDLE 155
#define IDB_MINIMIZE_ACTIVE 156
#define IDB_UPDATE_IDLE 157
#define IDB_UPDATE_ACTIVE 158
#define IDB_HELP_IDLE 159
#define IDB_HELP_ACTIVE 160
