#include "main/MainLayout_win.h"

#include "cport/ComComboBox_win.h"
#include "framework/WindowIds.h"

namespace {

TControl* MakePortSelector(TComponent* AOwner) {
    return new TComComboBox(AOwner);
}

// Captions sit left of their values; the green section titles sit on the
// separator lines, so the window reads as three framed sections.
const TControlRow kRows[] = {
    // Separators first: everything else is drawn over them.
    {"Bevel3", ckLineBottom, idBevel3, "", 8, 46, 377, 11},
    {"Bevel1", ckLineBottom, idBevel1, "", 8, 103, 377, 11},
    {"Bevel2", ckLineTop, idBevel2, "", 8, 191, 377, 11},

    {"Image1", ckIcon, idImage1, "MAINICON", 10, 11, 32, 32},
    {"Label2", ckLabel, idLabel2, "Rotor Port:", 55, 7, 0, 0},
    {"CPP", ckComboList, idCPP, "COM1", 55, 23, 65, 21, coNone, clWindowText, &MakePortSelector},
    {"Label17", ckLabel, idLabel17, "Sequence:", 128, 7, 0, 0},
    {"cs", ckComboList, idcs, "", 129, 23, 97, 21},
    {"op", ckLatchButton, idop, "Open port", 237, 11, 73, 33, coDown},
    {"SpeedButton4", ckButton, idSpeedButton4, "Exit", 323, 10, 62, 35},

    {"Label13", ckLabel, idLabel13, " DDE ", 16, 49, 0, 0, coNone, clGreen},
    {"Label3", ckLabel, idLabel3, "Conversation status:", 5, 65, 0, 0},
    {"l_dd", ckLabel, idl_dd, "Closed", 104, 65, 0, 0, coNone, clBlue},
    {"Label1", ckLabel, idLabel1, "Received string:", 24, 80, 0, 0},
    {"l_st", ckLabel, idl_st, "No data\r\n", 104, 80, 281, 26, coWordWrap, clBlue},

    {"Label15", ckLabel, idLabel15, " Data ", 16, 106, 0, 0, coNone, clGreen},
    {"Label4", ckLabel, idLabel4, "Sat name:", 53, 120, 0, 0},
    {"l_na", ckLabel, idl_na, "?", 104, 120, 0, 0, coNone, clBlue},
    {"Label5", ckLabel, idLabel5, "Azimuth:", 61, 136, 0, 0},
    {"l_az", ckLabel, idl_az, "?", 104, 136, 0, 0, coNone, clBlue},
    {"Label6", ckLabel, idLabel6, "Elevation:", 222, 136, 0, 0},
    {"l_el", ckLabel, idl_el, "?", 272, 136, 0, 0, coNone, clBlue},
    {"Label8", ckLabel, idLabel8, "Uplink:", 68, 152, 0, 0},
    {"l_uf", ckLabel, idl_uf, "?", 104, 152, 0, 0, coNone, clBlue},
    {"Label10", ckLabel, idLabel10, "Downlink:", 222, 152, 0, 0},
    {"l_df", ckLabel, idl_df, "?", 272, 152, 0, 0, coNone, clBlue},
    {"Label7", ckLabel, idLabel7, "Uplink mode:", 39, 168, 0, 0},
    {"l_um", ckLabel, idl_um, "?", 104, 168, 0, 0, coNone, clBlue},
    {"Label9", ckLabel, idLabel9, "Downlink mode:", 193, 168, 0, 0},
    {"l_dm", ckLabel, idl_dm, "?", 272, 168, 0, 0, coNone, clBlue},

    {"Label18", ckLabel, idLabel18, " Rotor ", 15, 185, 0, 0, coNone, clGreen},
    {"Label16", ckLabel, idLabel16, "Port status:", 48, 202, 0, 0},
    {"s_ac", ckLabel, ids_ac, "Closed", 104, 202, 0, 0, coNone, clBlue},
    // Later rows lie on top: the error covers the port status.
    {"s_te", ckLabel, ids_te, "Transmission error", 104, 202, 0, 0, coHidden, clRed},
    {"Label11", ckLabel, idLabel11, "Azimuth:", 229, 202, 0, 0},
    {"s_az", ckLabel, ids_az, "?", 272, 202, 0, 0, coNone, clBlue},
    {"Label14", ckLabel, idLabel14, "Last command:", 29, 218, 0, 0},
    {"l_cm", ckLabel, idl_cm, "?", 104, 218, 0, 0, coNone, clBlue},
    {"Label12", ckLabel, idLabel12, "Elevation:", 222, 218, 0, 0},
    {"s_el", ckLabel, ids_el, "?", 272, 218, 0, 0, coNone, clBlue},
    {"Label20", ckLabel, idLabel20, "Divider:", 232, 234, 0, 0},
    {"s_dv", ckLabel, ids_dv, "?", 272, 234, 0, 0, coNone, clBlue},
};

}  // namespace

const TFormLayout kMainForm = {"Gyrotalk Rotor Driver 0.97 test", 395, 255, "MAINICON"};

std::span<const TControlRow> MainLayout() {
    return kRows;
}
