#pragma once
// Every control id, timer id and private window message of the program,
// named once. The end-to-end tests address controls by these numbers.

// Controls of the main window, in the order of its layout table.
enum TMainControlId : int {
    idImage1 = 100,
    idCPP,
    idcs,
    idop,
    idSpeedButton4,
    idl_dd,
    idl_st,
    idl_na,
    idl_az,
    idl_el,
    idl_uf,
    idl_df,
    idl_um,
    idl_dm,
    ids_ac,
    ids_te,
    idl_cm,
    ids_az,
    ids_el,
    ids_dv,
    // Fixed captions and separator lines.
    idLabel2 = 200,
    idLabel17,
    idBevel3,
    idLabel13,
    idLabel3,
    idLabel1,
    idBevel1,
    idLabel15,
    idLabel4,
    idLabel5,
    idLabel6,
    idLabel8,
    idLabel10,
    idLabel7,
    idLabel9,
    idLabel18,
    idBevel2,
    idLabel16,
    idLabel11,
    idLabel14,
    idLabel12,
    idLabel20,
};

// Items of the main window's system menu. Ids step by 16: the system keeps
// the low four bits of a system command for itself. The ranges,
// tolerances and line speeds are in the order of their tables.
constexpr unsigned kMenuIdStep = 0x0010;
constexpr unsigned kAzimuthRangeFirstId = 0x0100;
constexpr unsigned kElevationRangeFirstId = 0x0140;
constexpr unsigned kPointAheadId = 0x0180;
constexpr unsigned kToleranceFirstId = 0x0200;
constexpr unsigned kUnattendedId = 0x0300;
constexpr unsigned kNetworkControlId = 0x0310;
constexpr unsigned kRotorAddressId = 0x0320;
constexpr unsigned kBaudRateFirstId = 0x0400;
constexpr unsigned kAzimuthOffsetId = 0x0500;
constexpr unsigned kElevationOffsetId = 0x0510;
constexpr unsigned kHorizonMaskId = 0x0520;
constexpr unsigned kBetweenPassesFirstId = 0x0540;
constexpr unsigned kLastPassId = 0x0580;

// The window class of every form: the message loop hands a form's keys to
// the dialog manager.
constexpr char kFormClass[] = "GyroForm";

// Each timer component ticks on its own hidden window, under this id.
constexpr unsigned kTimerId = 1;
// The DDE manager looks for servers that are gone without a word (killed)
// this often, on its own window, while a client conversation is open.
constexpr unsigned kServerWatchTimerId = 2;
constexpr unsigned kServerWatchInterval = 2000;  // ms
// The rotor's TCP link gives up an attempt to connect, on its own window.
constexpr unsigned kConnectTimerId = 3;

// Private messages, each to a hidden window of its own (WM_USER is 0x0400,
// WM_APP 0x8000).
constexpr unsigned kPortEventMessage = 0x0400 + 1;  // 1025: a port's event thread to its port
constexpr unsigned kCheckConversations = 0x8000;    // the DDE manager: look for conversations a server ended
constexpr unsigned kSynchronizeMessage = 0x8001;    // a call that a thread has run on the main thread
constexpr unsigned kSocketMessage = 0x8002;         // network control: an event of one of its sockets
constexpr unsigned kRotorSocketMessage = 0x8003;    // the rotor's TCP link: an event of its socket
constexpr unsigned kRotorLookupMessage = 0x8004;    // the rotor's TCP link: a host name looked up
constexpr unsigned kItemChanged = 0x8005;           // the DDE manager: a change notice it took from the library
