// Ids of the main program's resources, shared by the resource scripts and the code.
#pragma once

#define IDD_OVERREACH_DIALOG 310

// The program's icon: the first icon of the file, which Explorer and the taskbar show.
#define IDI_OVERREACH 1

// The skin's bitmaps: the dialog's background and an idle and an active image per button.
#define IDB_BACKGROUND 313
#define IDB_CREATE_IDLE 318
#define IDB_CREATE_ACTIVE 319
#define IDB_PARTITION_IDLE 320
#define IDB_PARTITION_ACTIVE 321
#define IDB_RECOVER_IDLE 322
#define IDB_RECOVER_ACTIVE 323
#define IDB_MINIMIZE_IDLE 324
#define IDB_MINIMIZE_ACTIVE 325
#define IDB_LIVEUPDATE_IDLE 329
#define IDB_LIVEUPDATE_ACTIVE 330
#define IDB_HELP_IDLE 331
#define IDB_HELP_ACTIVE 332
#define IDB_CLOSE_IDLE 333
#define IDB_CLOSE_ACTIVE 334

#define IDS_OLE_INIT_FAILED 100
#define IDS_PRODUCT 128
#define IDS_CREATE 129
#define IDS_RECOVER 130
#define IDS_PARTITION 131
#define IDS_RESCAN 132
#define IDS_DRIVE 133
#define IDS_TOTAL_SIZE 134
#define IDS_MAX_USABLE_SIZE 135
#define IDS_AVAILABLE_DRIVES 136
#define IDS_PHYSICAL 137
#define IDS_VIRTUAL 138
#define IDS_CREATE_DESCRIPTION 139
#define IDS_RECOVER_DESCRIPTION 140
#define IDS_PARTITION_DESCRIPTION 141
#define IDS_RESCAN_DESCRIPTION 142
#define IDS_DISK_MANAGEMENT_ADVICE 300
#define IDS_RECOVER_WARNING 301
// Recover answered Yes after the drive list changed under the question.
#define IDS_DRIVE_LIST_CHANGED 302
// The drive Recover would empty, under the question: its line, number and virtual drive's size.
#define IDS_RECOVER_TARGET 303
// Texts shown at run time that the template and the code do not carry themselves.
#define IDS_ONE_INSTANCE 320
#define IDS_ERROR 321
#define IDS_NOTICE 322
// Names of the image-only buttons, for screen readers and tooltips.
#define IDS_CLOSE_NAME 323
#define IDS_MINIMIZE_NAME 324
#define IDS_LIVEUPDATE_NAME 325
#define IDS_HELP_NAME 326
// Why the drive list is empty; %1 is the drive number, %2 the system's text for the code.
#define IDS_NO_BUS_DRIVER 327
#define IDS_NO_LARGE_DRIVE 328
#define IDS_SCAN_STOPPED 329

// The controls of the main dialog. The captions "Virtual", "Physical", "Drive :" (twice) and
// "Max. Usable Size(GB):" and the four blank value fields are kept hidden; the blank fields
// are never written.
#define IDC_VIRTUAL_CAPTION 1000
#define IDC_PHYSICAL_CAPTION 1001
#define IDC_LIST_CAPTION 1002
#define IDC_CAPACITY_FRAME 1004
#define IDC_SECOND_DRIVE_CAPTION 1006
#define IDC_DRIVE_CAPTION 1008
#define IDC_MAX_USABLE_CAPTION 1009
#define IDC_BTN_CREATE 1014
#define IDC_BLANK_VALUE_A 1015
#define IDC_BLANK_VALUE_B 1016
#define IDC_BLANK_VALUE_C 1017
#define IDC_BTN_RECOVER 1019
#define IDC_BTN_PARTITION 1020
#define IDC_BTN_CLOSE 1021
#define IDC_BTN_MINIMIZE 1022
#define IDC_LIST_DRIVE 1026
#define IDC_BLANK_VALUE_D 1029
#define IDC_CREATE_DESCRIPTION 1033
#define IDC_RECOVER_DESCRIPTION 1034
#define IDC_CAPACITY_BAR_0 1035
#define IDC_BUILD_LABEL 1036
#define IDC_PARTITION_DESCRIPTION 1037
#define IDC_CAPACITY_VALUE_0 1038
#define IDC_CAPACITY_BAR_1 1039
#define IDC_CAPACITY_VALUE_1 1040
#define IDC_CAPACITY_BAR_2 1041
#define IDC_CAPACITY_VALUE_2 1042
#define IDC_CAPACITY_BAR_3 1043
#define IDC_CAPACITY_VALUE_3 1044
#define IDC_CAPACITY_BAR_4 1045
#define IDC_CAPACITY_VALUE_4 1046
#define IDC_BTN_LIVEUPDATE 1047
#define IDC_BTN_HELP 1048
