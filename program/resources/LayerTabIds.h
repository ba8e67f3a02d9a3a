#pragma once
// Resource ids of the layer page and the run-application editor.

#define IDD_LAYER_TAB 135
#define IDD_LAYER_TAB_SECOND 136
#define IDD_CUSTOM_APP 112

#define IDI_LAYER_COPY 152
#define IDI_LAYER_SWAP 153
#define IDI_LAYER_RESET 155
#define IDI_RUN_APPLICATION 147
// The edit buttons show IDI_EDIT_ACTION (EditorsIds.h), drawn in LayerTab.rc.

// Pickers 1001 + button, edit buttons 1301 + button, labels 1112 + button.
#define IDC_LAYER_PICKER_FIRST 1001
#define IDC_LAYER_EDIT_FIRST 1301
#define IDC_LAYER_LABEL_FIRST 1112
#define IDC_LAYER_NAME 1078
#define IDC_LAYER_COPY 1221
#define IDC_LAYER_SWAP 1219
#define IDC_LAYER_RESET 1085
#define IDC_LAYER_DISABLE 1108
#define IDC_LAYER_DISABLE_NEXT_PREV 1107
#define IDC_LAYER_SWITCH_TO 1100
#define IDC_LAYER_AFTER 1101
#define IDC_LAYER_SECONDS 1102
#define IDC_LAYER_SWITCH_LAYER 1191
#define IDC_LAYER_SWITCH_TIME 1207
#define IDC_LAYER_SWITCH_SPIN 1186
#define IDC_LAYER_REVERT 1099

#define IDC_CUSTOM_APP_ICON 3
#define IDC_CUSTOM_APP_PATH 1024
#define IDC_CUSTOM_APP_BROWSE 1023
