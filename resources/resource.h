// Resource ids shared by lumetra.rc and the program; plain #defines so the resource
// compiler can read this file too.
#ifndef LUMETRA_RESOURCE_H
#define LUMETRA_RESOURCE_H

#define IDR_ACCELERATORS 108
#define IDR_CONTEXT_MENU 124
#define IDB_LOGO 153
#define IDI_LUMETRA 154

// Panel skins, the tuner's sound marks and the channel list's boxes (tools/make_skins.py).
#define IDB_CHANNEL_UNCHECKED 120
#define IDB_CHANNEL_CHECKED 123
#define IDB_TUNER_PANEL_NORMAL 129
#define IDB_TUNER_PANEL_PRESSED 131
#define IDB_SOUND_ON 132
#define IDB_SOUND_MUTED 133
#define IDB_MAIN_PANEL_NORMAL 155
#define IDB_MAIN_PANEL_PRESSED 156
#define IDB_MAIN_PANEL_LIT 159

// Capture dialogs and their controls.
#define IDD_CONVERSION_PROGRESS 111
#define IDD_CAPTURE_NOTICE 113
#define IDD_CAPTURE_FRAMES 114
#define IDC_CONVERSION_BAR 1050
#define IDC_FRAME_COUNT 1053
#define IDC_CAPTURE 1054
#define IDC_DONE 1055

// Video Format and Set Capture File dialogs and their controls.
#define IDD_VIDEO_FORMAT 107
#define IDD_SET_CAPTURE_FILE 112
#define IDC_IMAGE_DIMENSIONS 1022
#define IDC_IMAGE_SIZE 1024
#define IDC_FULL_SCREEN 1027
#define IDC_IMAGE_FORMAT_LABEL 1028
#define IDC_IMAGE_FORMAT 1029
#define IDC_SINGLE_FRAME_GROUP 1035
#define IDC_TO_CLIPBOARD 1036
#define IDC_TO_FILE 1037
#define IDC_STILL_NAME 1039
#define IDC_STILL_BROWSE 1040
#define IDC_AVI_BROWSE 1044
#define IDC_AVI_NAME 1045
#define IDC_NUMBERED_NAMES 1057
#define IDC_CAPTURE_SIZE 1180

// Video Source dialog: input, standard and the four picture controls.
#define IDD_VIDEO_SOURCE 102
#define IDC_CONNECTOR_GROUP 1000
#define IDC_SVIDEO 1001
#define IDC_COMPOSITE 1002
#define IDC_TUNER 1003
#define IDC_STANDARD_LABEL 1006
#define IDC_COLOR_GROUP 1009
#define IDC_BRIGHTNESS_BAR 1013
#define IDC_BRIGHTNESS_LABEL 1014
#define IDC_CONTRAST_BAR 1015
#define IDC_CONTRAST_LABEL 1016
#define IDC_SATURATION_LABEL 1017
#define IDC_SATURATION_BAR 1018
#define IDC_HUE_LABEL 1019
#define IDC_HUE_BAR 1020
#define IDC_BRIGHTNESS_VALUE 1021
#define IDC_CONTRAST_VALUE 1022
#define IDC_SATURATION_VALUE 1023
#define IDC_HUE_VALUE 1024
#define IDC_STANDARD_LIST 1034
#define IDC_DEFAULT 3

// About box.
#define IDD_ABOUT 104

// Channel Setting dialog: the slot list, the name of the selected slot, the channel plan.
#define IDD_CHANNEL_SETTING 119
#define IDC_CHANNEL_LIST 1121
#define IDC_CHANNEL_NAME 1131
#define IDC_CLEAR_ALL 1141
#define IDC_SELECT_ALL 1142
#define IDC_CABLE_LIST 1170

// The skinned panels: empty dialog templates; the main panel's only control is the
// clip position trackbar.
#define IDD_MAIN_PANEL 128
#define IDD_TUNER_PANEL 130
#define IDC_POSITION_TRACKBAR 1174

// Commands: menu items, panel buttons and accelerator keys all send these to the
// video window.
#define ID_ABOUT 40001
#define ID_VIDEO_FORMAT 40002
#define ID_VIDEO_SOURCE 40003
#define ID_EXIT 40004
#define ID_FULL_SCREEN 40010
#define ID_CAPTURE_FRAME 40011
#define ID_CAPTURE_VIDEO 40012
#define ID_SET_CAPTURE_FILE 40017
#define ID_SINGLE_FRAME 40018
#define ID_VIDEO 40019
#define ID_LIVE_VIDEO_MODE 40020
#define ID_CAPTURE_MODE 40021
#define ID_CTRL_V 40022
#define ID_CTRL_C 40023
#define ID_FRAMES 40024
#define ID_FRAMES_KEY 40025
#define ID_CHANNEL_UP 40026
#define ID_CHANNEL_DOWN 40027
#define ID_AUTOSCAN 40028
#define ID_DIGIT_1 40029
#define ID_DIGIT_2 40030
#define ID_DIGIT_3 40031
#define ID_DIGIT_4 40032
#define ID_DIGIT_5 40033
#define ID_DIGIT_6 40034
#define ID_DIGIT_7 40035
#define ID_DIGIT_8 40036
#define ID_DIGIT_9 40037
#define ID_DIGIT_0 40038
#define ID_ENTER 40039
#define ID_PANEL 40053
#define ID_LEAVE_FULL_SCREEN 40057

#endif  // LUMETRA_RESOURCE_H
