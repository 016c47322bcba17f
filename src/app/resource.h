// Resource and control identifiers of the client's windows, named once.
#pragma once

// Window templates and resources.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDD_TUNVIK_DIALOG = 102;
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDD_PARA1 = 129;
inline constexpr int IDD_PARA2 = 130;
inline constexpr int IDD_PARA3 = 131;
inline constexpr int IDD_REG_DIALOG = 132;
inline constexpr int IDD_ACCOUNT_PARA2 = 133;
inline constexpr int IDD_ACCOUNT_PARA1 = 134;
inline constexpr int IDD_ACCOUNT_PARA3 = 135;
inline constexpr int IDD_CLOSE_THREAD = 136;
inline constexpr int IDD_VERCHECK = 137;

// The About command of the window's context menu.
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;

// Main window (template 102).
inline constexpr int IDC_TAB = 1000;
inline constexpr int IDC_STATUS = 1001;
inline constexpr int IDC_PROCESS_EDIT = 1002;
inline constexpr int IDC_PROCESS_LIST = 1003;
inline constexpr int IDC_ACCOUNT = 1004;
inline constexpr int IDC_PASSWORD = 1005;
inline constexpr int IDC_NOTICE_FRAME = 1006;
inline constexpr int IDC_CONNECT = 1007;
inline constexpr int IDC_RESTORE_NETWORK = 1008;
inline constexpr int IDC_AUTOSTART = 1010;
inline constexpr int IDC_AUTOCONNECT = 1011;
inline constexpr int IDC_START_TIME = 1018;
inline constexpr int IDC_DUE_DATE = 1019;
inline constexpr int IDC_ACCOUNT_BUTTON = 1020;
inline constexpr int IDC_NOTICE = 1047;

// Server list page (template 129).
inline constexpr int IDC_OFFLINE_REDIAL = 1009;
inline constexpr int IDC_OFFLINE_CLOSE = 1012;
inline constexpr int IDC_OFFLINE_DISABLE = 1013;
inline constexpr int IDC_PROTOCOL_L2TP = 1014;
inline constexpr int IDC_PROTOCOL_PPTP = 1015;
inline constexpr int IDC_CHOSEN_SERVER = 1016;
inline constexpr int IDC_SERVER_LIST = 1017;

// Virtual hardware page (template 130).
inline constexpr int IDC_VIRTUAL_MAC = 1040;
inline constexpr int IDC_VIRTUAL_CPUID = 1041;
inline constexpr int IDC_VIRTUAL_BIOS = 1042;
inline constexpr int IDC_VIRTUAL_MOTHERBOARD = 1043;
inline constexpr int IDC_VIRTUAL_DISK = 1044;

// Help page (template 131).
inline constexpr int IDC_FIX789 = 1045;

// Account dialog (templates 132 to 135).
inline constexpr int IDC_REG_TAB = 1021;
inline constexpr int IDC_REG_ADDRESS = 1031;
inline constexpr int IDC_REG_COPY = 1032;
inline constexpr int IDC_REG_OPEN = 1034;
inline constexpr int IDC_RECHARGE_USER = 1032;
inline constexpr int IDC_RECHARGE_PASSWORD = 1033;
inline constexpr int IDC_RECHARGE_CARD = 1034;
inline constexpr int IDC_RECHARGE = 1035;
inline constexpr int IDC_CHANGE_USER = 1022;
inline constexpr int IDC_CHANGE_NEW_PASSWORD = 1025;
inline constexpr int IDC_CHANGE = 1026;
inline constexpr int IDC_CHANGE_SUPER_PASSWORD = 1036;

// Close-list dialog (template 136).
inline constexpr int IDC_CLOSE_LIST = 1037;
inline constexpr int IDC_CLOSE_SAVE = 1039;

// Update dialog (template 137).
inline constexpr int IDC_DOWNLOAD = 1046;
inline constexpr int IDC_VERCHECK_TEXT = 1048;  // the description, and the failure text
