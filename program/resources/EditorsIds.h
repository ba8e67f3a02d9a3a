#pragma once
// Resource ids of the action editors.

// Simulated keystrokes editor.
#define IDD_CUSTOMKEY 111
#define IDB_PICKER_TARGET 169
#define IDB_PICKER_TARGET_GREY 170
#define IDC_PICKER_CURSOR 131
#define IDC_CK_KEYS 1019
#define IDC_CK_CAPTURE 1275
#define IDC_CK_SEND_METHOD 1183
#define IDC_CK_ONLY_ACTIVE 1081
#define IDC_CK_REPEAT_DELAY 1048
#define IDC_CK_REPEAT_SPIN 1047
#define IDC_CK_BLOCK_MOUSE 1082
#define IDC_CK_BLOCK_IF_ACTIVE 1083
#define IDC_CK_RANDOMISE 1218
#define IDC_CK_HELP 1033
#define IDC_CK_DESCRIPTION_LABEL 1199
#define IDC_CK_DESCRIPTION 1182
#define IDC_CK_CURSOR_POS 1205
#define IDC_CK_PICKER 1073

// Shared by the chord, timed-click and movement-to-scroll editors: a row's
// label, action picker and edit button are these ids plus the row.
// The edit icon is drawn in LayerTab.rc.
#define IDI_EDIT_ACTION 164
#define IDC_ROW_LABEL 1112
#define IDC_ROW_PICKER 1001
#define IDC_ROW_EDIT 1301
#define IDC_ED_DESCRIPTION_LABEL 1199
#define IDC_ED_DESCRIPTION 1182

// Chord editor (second layout: no seventh row).
#define IDD_CHORDS 141
#define IDD_CHORDS_QUILLON 144
#define IDC_CH_DELAY 1106
#define IDC_CH_UNBLOCK_AFTER 1107
#define IDC_CH_UNBLOCK_MOVE 1108
#define IDC_CH_UNBLOCK_TIME 1260
#define IDC_CH_UNBLOCK_SPIN 1261

// Timed-click editor.
#define IDD_TIMED_CLICKS 168
#define IDC_TC_HELD1 1265
#define IDC_TC_HELD2 1266
#define IDC_TC_HELD3 1267
#define IDC_TC_TIME1 1205
#define IDC_TC_TIME2 1206
#define IDC_TC_TIME3 1207
#define IDC_TC_SPIN1 1252
#define IDC_TC_SPIN2 1253
#define IDC_TC_SPIN3 1254
#define IDC_TC_RELEASE_ON_UP 1269
#define IDC_TC_ABORT_MOVE 1268
#define IDC_TC_ABORT2_MOVE 1270

// Movement-to-scroll editor.
#define IDD_MOVEMENT2SCROLL 166
#define IDC_MS_VERTICAL 1206
#define IDC_MS_VERTICAL_SPIN 1252
#define IDC_MS_HORIZONTAL 1205
#define IDC_MS_HORIZONTAL_SPIN 1257
#define IDC_MS_INVERT_V 1253
#define IDC_MS_INVERT_H 1255
#define IDC_MS_STICKY 1254
#define IDC_MS_STICKY_BLOCK 1256
#define IDC_MS_BLOCK_MOUSE 1082
#define IDC_MS_LOCK_NONE 1269
#define IDC_MS_LOCK_AUTO 1268
#define IDC_MS_LOCK_Y 1266
#define IDC_MS_LOCK_X 1267
