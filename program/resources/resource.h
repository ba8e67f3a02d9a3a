#pragma once
// Resource ids of the program.

// About box.
#define IDD_ABOUTBOX 113
#define IDB_DONATE 115
#define IDI_ABOUT 118
#define IDC_ABOUT_ICON 1092
#define IDC_ABOUT_PRODUCT 1094
#define IDC_ABOUT_VERSION 1029
#define IDC_ABOUT_PRODUCT_LINE 1093
#define IDC_ABOUT_CREDIT 1095
#define IDC_ABOUT_HOMEPAGE 1135
#define IDC_ABOUT_DONATE 1134
#define IDC_ABOUT_FORUMS 1021
#define IDC_ABOUT_USERGUIDE 1022
#define IDC_ABOUT_CHECK_UPDATE 1023
#define IDC_ABOUT_OPEN_FOLDER 1024

// New-version dialog.
#define IDD_UPDATE 156
#define IDC_UPDATE_QUESTION 1128
#define IDC_UPDATE_CHANGELOG 1208

// The settings dialog and its pages.
#include "SetupDialogIds.h"
// Profile list, application picker and window finder.
#include "ProfilesIds.h"
#include "EditorsIds.h"
#include "LayerTabIds.h"

// Global settings sheet and its pages.
#include "GlobalSettingsIds.h"
