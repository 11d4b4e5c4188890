// Identifiers shared by Zevlo.rc and the C++ code; plain defines, since the resource compiler
// reads this file too.
#pragma once

#define IDI_ZEVLO 1

#define IDD_MAIN 100
#define IDD_GENERAL 101
#define IDD_UPDATE 102
#define IDD_CHECKIP 103
#define IDD_LOG 110

// The main window: the tab control and the bottom bar.
#define IDC_TABS 1000
#define IDC_lblPaused 1001
#define IDC_btnUnpause 1002
#define IDC_btnSaveConfig 1003
#define IDC_btnTerminate 1004

// General
#define IDC_cmbUpdInterval 1100
#define IDC_chkStartWithWin 1101
#define IDC_chkRememberPause 1102
#define IDC_lblUser 1103
#define IDC_edtUser 1104
#define IDC_lblPass 1105
#define IDC_edtPass 1106
#define IDC_edtHostname 1107
#define IDC_spnMaxLog 1108
#define IDC_spnMaxLogArrows 1109
#define IDC_btnViewLog 1110
#define IDC_lblHint 1111

// Update Request
#define IDC_cmbProtocol 1200
#define IDC_edtPort 1201
#define IDC_edtServer 1202
#define IDC_edtBaseURI 1203
#define IDC_cmbMethod 1204
#define IDC_cmbAuthType 1205
#define IDC_btnForceUpdate 1206
#define IDC_cmbService 1207

// Check IP
#define IDC_lblCProtocol 1300
#define IDC_cmbCProtocol 1301
#define IDC_lblCPort 1302
#define IDC_edtCPort 1303
#define IDC_lblCServer 1304
#define IDC_edtCServer 1305
#define IDC_lblCBaseURI 1306
#define IDC_edtCBaseURI 1307
#define IDC_lblCMethod 1308
#define IDC_cmbCMethod 1309
#define IDC_lblCAuthType 1310
#define IDC_cmbCAuthType 1311
#define IDC_chkCustomIP 1312
#define IDC_edtCustomChkIP 1313
#define IDC_spdCOpenDir 1314

// The tray menu, built when it opens.
#define IDM_mnuShow 2000
#define IDM_mnuTerminate 2001
#define IDM_mnuPause 2002

// The log viewer and its popup menu.
#define IDC_Memo1 3000
#define IDC_btnExportCSV 3001
#define IDM_SelectAll1 3100
#define IDM_Copy1 3101
