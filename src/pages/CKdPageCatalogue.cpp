#include "CKdPageCatalogue.h"

#include "CKdPageRequests.h"

#include "LPrmConverters.h"

#include <strings.h>

#include <array>
#include <string>

namespace {

using Row = CKdPageCatalogue::_SRow;
using W = CKdPageCatalogue::EWidget;

// Row makers, so that each table line reads like the page: label, parameter, converter, unit.
constexpr Row PopUp(const char* label, long id, const LPrmConverter* converter, int info = 0) {
    return {label, W::PopUp, id, converter, nullptr, info};
}
constexpr Row Spin(const char* label, long id, const LPrmConverter* converter = nullptr,
                   const char* unit = nullptr, int info = 0) {
    return {label, W::Spin, id, converter, unit, info};
}
constexpr Row Value(const char* label, long id, const LPrmConverter* converter) {
    return {label, W::Value, id, converter};
}
constexpr Row Name(const char* label, long id, int length, int info = 0) {
    return {label, W::Name, id, nullptr, nullptr, info, length};
}
constexpr Row Secret(const char* label, long id, int length, int info = 0) {
    Row row = Name(label, id, length, info);
    row.mSecret = true;
    return row;
}
constexpr Row Exec(const char* label, long id, int waitMs = 0) {
    return {label, W::Exec, id, nullptr, nullptr, 0, waitMs};
}
constexpr Row Box(const char* label, W widget, long id) {
    return {label, widget, id};
}

constexpr Row AudioLevel(const char* label, long id) {
    Row row = Spin(label, id);
    row.mUnitConverter = &gPrmConverterAudioLevel;
    return row;
}

constexpr int kReboot = 1; // information code: the edit needs a reboot to take effect

const Row kInputMain[] = {
    PopUp("Main In H Flip", 102, &gPrmConverterOffOn),
    PopUp("Main In V Flip", 103, &gPrmConverterOffOn),
    PopUp("Main In Still", 104, &gPrmConverterInStill),
    Value("Main In Format", 105, &gPrmConverterInFormat),
};

const Row kInputSub[] = {
    PopUp("Sub In H Flip", 112, &gPrmConverterOffOn),
    PopUp("Sub In V Flip", 113, &gPrmConverterOffOn),
    PopUp("Sub In Still", 114, &gPrmConverterInStill),
    Value("Sub In Format", 115, &gPrmConverterInFormat),
};

const Row kInputNoSig[] = {
    PopUp("No Signal Mode", 120, &gPrmConverterNoSigMode),
    Spin("No Signal Color R", 121),
    Spin("No Signal Color G", 122),
    Spin("No Signal Color B", 123),
};

const Row kStill[] = {
    PopUp("Still Capture Source", 130, &gPrmConverterStillSource),
    PopUp("Still Capture/Erase Target", 131, &gPrmConverterStillTarget),
    Exec("Still Capture", 132, 500),
    Exec("Still Erase", 133, 500),
    Value("Still Status", 134, &gPrmConverterStillStatus),
    Box("Still Memory", W::StillMemory, 135),
};

const Row kAudio[] = {
    PopUp("Main In Audio Follow", 140, &gPrmConverterOffOn),
    AudioLevel("Main In Audio Level", 141),
    PopUp("Sub In Audio Follow", 150, &gPrmConverterOffOn),
    AudioLevel("Sub In Audio Level", 151),
    AudioLevel("Output Audio Level", 160),
};

const Row kRoiGeneral[] = {
    PopUp("ROI Enable", 170, &gPrmConverterRoiEnable),
    PopUp("ROI Preset Call Number", 171, &gPrmConverterRoiPreset),
    PopUp("ROI Preset Change Target", 172, &gPrmConverterRoiTarget),
    Exec("ROI Preset Change Cut", 173),
    Exec("ROI Preset Change Auto", 174),
    Spin("ROI Preset Auto Time", 175, nullptr, "sec"),
    PopUp("ROI Preset Save Setting", 176, &gPrmConverterRoiTarget),
    PopUp("ROI Preset Save Number", 177, &gPrmConverterRoiPreset),
    Exec("ROI Preset Save Exec", 178),
    Spin("ROI Move Damp Time", 179, &gPrmConverterFloat01, "sec"),
};

// Size, position and source of one region of interest (a layer or a preset) from base b.
#define KALDO_ROI_ROWS(prefix, b)                                                                  \
    Spin(prefix " Size", b, nullptr, "pix"), Spin(prefix " H Position", b + 2, nullptr, "pix"),    \
        Spin(prefix " V Position", b + 4, nullptr, "line"),                                        \
        PopUp(prefix " Source", b + 6, &gPrmConverterRoiSource)

const Row kRoiSetting[] = {
    KALDO_ROI_ROWS("Layer [1] ROI", 180),
    KALDO_ROI_ROWS("Layer [2] ROI", 190),
};

const Row kRoiPreset14[] = {
    KALDO_ROI_ROWS("Preset ROI1", 320),
    KALDO_ROI_ROWS("Preset ROI2", 330),
    KALDO_ROI_ROWS("Preset ROI3", 340),
    KALDO_ROI_ROWS("Preset ROI4", 350),
};

const Row kRoiPreset58[] = {
    KALDO_ROI_ROWS("Preset ROI5", 360),
    KALDO_ROI_ROWS("Preset ROI6", 370),
    KALDO_ROI_ROWS("Preset ROI7", 380),
    KALDO_ROI_ROWS("Preset ROI8", 390),
};
#undef KALDO_ROI_ROWS

const Row kMixEfxGeneral[] = {
    Spin("Transition Value", 200),
    Spin("Video Fade Value", 202),
    Spin("Audio Fade Value", 204),
    Exec("Main In Sw", 206),
    Exec("Sub In Sw", 207),
    Exec("MODE Sw", 208),
    PopUp("M/E Type", 210, &gPrmConverterMeType),
    Spin("Auto Transition Time", 211, &gPrmConverterFloat01, "sec"),
    Spin("Auto Fade Time", 212, &gPrmConverterFloat01, "sec"),
    PopUp("MODE Sw Assign", 213, &gPrmConverterModeSw),
    PopUp("FADER Assign", 214, &gPrmConverterFaderAsgn),
    PopUp("FADER Direction", 215, &gPrmConverterFaderDir),
};

const Row kMixEfxCut[] = {
    PopUp("Cut Type", 218, &gPrmConverterCutType),
    PopUp("Mix Type", 290, &gPrmConverterMixType),
};

const Row kMixEfxWipe[] = {
    PopUp("Wipe Type", 220, &gPrmConverterWipeType),
    Spin("Wipe Edge", 221),
    Spin("Wipe Border Width", 222, nullptr, "pix"),
    Spin("Wipe Border Red", 223),
    Spin("Wipe Border Green", 224),
    Spin("Wipe Border Blue", 225),
};

const Row kMixEfxPinP[] = {
    Spin("PinP Size", 230, nullptr, "%"),       Spin("PinP H Position", 231, nullptr, "%"),
    Spin("PinP V Position", 232, nullptr, "%"), Spin("PinP H Trim", 233, nullptr, "%"),
    Spin("PinP V Trim", 234, nullptr, "%"),     Spin("PinP Border Width", 235, nullptr, "pix"),
    Spin("PinP Border Volor Red", 236),         Spin("PinP Border Volor Green", 237),
    Spin("PinP Border Volor Blue", 238),        PopUp("PinP Type", 239, &gPrmConverterPinPType),
};

const Row kMixEfxSplit[] = {
    PopUp("Split Type", 240, &gPrmConverterSplitType),
    Spin("Split Duty", 241, nullptr, "%"),
    PopUp("Split Layout", 242, &gPrmConverterSplitLayout),
    Spin("Split [1] Center Adj", 243, nullptr, "%"),
    Spin("Split [2] Center Adj", 244, nullptr, "%"),
    Spin("Split Border Width", 245, nullptr, "pix"),
    Spin("Split Border Red", 246),
    Spin("Split Border Green", 247),
    Spin("Split Border Blue", 248),
};

const Row kMixEfxAlpha[] = {
    PopUp("Alpha Type", 250, &gPrmConverterAlphaType),
    Spin("Alpha Level", 251),
    Spin("Alpha Gain", 252),
    Spin("Alpha Chroma Hue", 253, nullptr, "deg"),
    Spin("Alpha Chroma Width", 254, nullptr, "deg"),
};

const Row kMixEfxFade[] = {
    Exec("Auto Fade Sw", 209),
    Spin("Fade Color Red", 270),
    Spin("Fade Color Green", 271),
    Spin("Fade Color Blue", 272),
    PopUp("Auto Switch Type", 291, &gPrmConverterAswType),
    Spin("Auto Switch Interval Time", 292, nullptr, "sec"),
    PopUp("Auto ROI Layer [1] Preset A", 293, &gPrmConverterRoiPreset),
    PopUp("Auto ROI Layer [1] Preset B", 294, &gPrmConverterRoiPreset),
    PopUp("Auto ROI Layer [2] Preset A", 295, &gPrmConverterRoiPreset),
    PopUp("Auto ROI Layer [2] Preset B", 296, &gPrmConverterRoiPreset),
};

const Row kMixEfxErrDet[] = {
    PopUp("HDMI InfoFrame Change", 431, &gPrmConverterOffOn),
    PopUp("AVI InfoFrame Change", 432, &gPrmConverterOffOn),
    PopUp("SPD InfoFrame Change", 433, &gPrmConverterOffOn),
    PopUp("Audio InfoFrame Change", 434, &gPrmConverterOffOn),
    PopUp("MPEG InfoFrame Change", 435, &gPrmConverterOffOn),
    PopUp("VBI InfoFrame Change", 436, &gPrmConverterOffOn),
    PopUp("DRM InfoFrame Change", 437, &gPrmConverterOffOn),
    PopUp("Audio Status Change", 438, &gPrmConverterOffOn),
    PopUp("Audio Validity Bit", 439, &gPrmConverterOffOn),
    PopUp("Audio Parity Error", 440, &gPrmConverterOffOn),
    Spin("Audio Error Threshold", 441, nullptr, "dBFS"),
    PopUp("Audio ACR Lost", 442, &gPrmConverterOffOn),
};

const Row kOutput[] = {
    PopUp("Main Out Down Convert", 300, &gPrmConverterDownCnv),
    PopUp("Main Out Sampling Structure", 301, &gPrmConverterSmplStruct),
    PopUp("Sub Out Down Convert", 310, &gPrmConverterDownCnv),
    PopUp("Sub Out Sampling Structure", 311, &gPrmConverterSmplStruct),
    PopUp("Sub Out Select", 313, &gPrmConverterSubOutSel),
};

const Row kSystemGeneral[] = {
    PopUp("System Frame Rate", 401, &gPrmConverterFrameRate, kReboot),
    PopUp("System HDCP Mode", 403, &gPrmConverterHdcpMode, kReboot),
};

const Row kSystemSync[] = {
    PopUp("Sync Mode", 410, &gPrmConverterSyncMode),
    PopUp("Sync Reference", 411, &gPrmConverterSyncRef),
    Spin("Sync H Phase", 412, &gPrmConverterX4, "pix"),
    Spin("Sync V Phase", 414, nullptr, "H"),
    PopUp("HDMI TC Remote", 421, &gPrmConverterTcRemote),
};

const Row kSystemPanel[] = {
    PopUp("Panel Lock", 420, &gPrmConverterOffOn),
    PopUp("UDP Units Link Mode", 422, &gPrmConverterUDPMode, kReboot),
    PopUp("UDP Units Link Master", 423, &gPrmConverterUDPMaster, kReboot),
};

const Row kSntpServer[] = {
    Spin("SNTP Server Address 1st", 500, nullptr, nullptr, kReboot),
    Spin("SNTP Server Address 2nd", 501, nullptr, nullptr, kReboot),
    Spin("SNTP Server Address 3rd", 502, nullptr, nullptr, kReboot),
    Spin("SNTP Server Address 4th", 503, nullptr, nullptr, kReboot),
};

constexpr Row TimeZone() {
    Row row = Spin("Current Time Zone", 516, &gPrmConverterSNTPZone);
    row.mTextWidth = 90;
    row.mTextEditable = false;
    return row;
}

const Row kSntpCurrent[] = {
    Spin("Current Date Year", 510, &gPrmConverterSNTPYear),
    Spin("Current Date Month", 511),
    Spin("Current Date Day", 512),
    Spin("Current Time Hour", 513),
    Spin("Current Time Minute", 514),
    Spin("Current Time Second", 515),
    TimeZone(),
};

const Row kSnmpManager[] = {
    Spin("SNMP Manager Address 1st", 600, nullptr, nullptr, kReboot),
    Spin("SNMP Manager Address 2nd", 601, nullptr, nullptr, kReboot),
    Spin("SNMP Manager Address 3rd", 602, nullptr, nullptr, kReboot),
    Spin("SNMP Manager Address 4th", 603, nullptr, nullptr, kReboot),
};

const Row kSnmpTrapName[] = {
    PopUp("SNMP Power On Trap", 610, &gPrmConverterOffOn),
    PopUp("SNMP Main In Unlock Trap", 611, &gPrmConverterOffOn),
    PopUp("SNMP Sub In Unlock Trap", 612, &gPrmConverterOffOn),
    PopUp("SNMP Main Our HPD Trap", 613, &gPrmConverterOffOn),
    PopUp("SNMP Sub Out HPD Trap", 614, &gPrmConverterOffOn),
    Secret("SNMP Community Name", 620, 64, kReboot),
    Secret("SNMP Read Community Name", 690, 64, kReboot),
    Name("SNMP Location Name", 760, 64, kReboot),
    Name("SNMP Contact Name", 830, 64, kReboot),
};

const Row kOthersIP[] = {
    Spin("IP Address 1st", 900, nullptr, nullptr, kReboot),
    Spin("IP Address 2nd", 901, nullptr, nullptr, kReboot),
    Spin("IP Address 3rd", 902, nullptr, nullptr, kReboot),
    Spin("IP Address 4th", 903, nullptr, nullptr, kReboot),
    Spin("Subnet Mask 1st", 910, nullptr, nullptr, kReboot),
    Spin("Subnet Mask 2nd", 911, nullptr, nullptr, kReboot),
    Spin("Subnet Mask 3rd", 912, nullptr, nullptr, kReboot),
    Spin("Subnet Mask 4th", 913, nullptr, nullptr, kReboot),
    Spin("Default Gateway 1st", 920, nullptr, nullptr, kReboot),
    Spin("Default Gateway 2nd", 921, nullptr, nullptr, kReboot),
    Spin("Default Gateway 3rd", 922, nullptr, nullptr, kReboot),
    Spin("Default Gateway 4th", 923, nullptr, nullptr, kReboot),
};

constexpr Row Confirmed(Row row, const char* verb, const char* confirmation,
                        const char* notification = nullptr) {
    row.mConfirmation = confirmation;
    row.mConfirmVerb = verb;
    row.mNotification = notification;
    return row;
}

const Row kOthersOthers[] = {
    Name("Login Name", 930, 16),
    Secret("Password", 950, 16),
    Box("MAC Address", W::MacAddress, 970),
    Box("Serial Number", W::SerialNumber, 980),
    Value("Software Version", 990, &gPrmConverterVerInfo),
    Value("FPGA Version", 992, &gPrmConverterVerInfo),
    Value("USB Version", 994, &gPrmConverterVerInfo),
    Value("PHY Version", 996, &gPrmConverterVerInfo),
    Confirmed(Exec("System Reboot", 998), "Reboot", "Are you sure you want to reboot KALDO-1?",
              "KdRebootReqNotification"),
    Confirmed(Exec("Factory Reset", 999), "Reset", "Are you sure you want to factory reset?"),
    Exec("Parameter Save", 1000),
};

using Page = CKdPageCatalogue::_SPage;
namespace R = CKdPageRequests;

// group, leaf, page class, request table, value width, rows
const Page kPages[] = {
    {"Input", "Main", "KdPrmViewInputMain", R::KdPrmViewInputMain, 130, kInputMain},
    {"Input", "Sub", "KdPrmViewInputSub", R::KdPrmViewInputSub, 130, kInputSub},
    {"Input", "No Signal", "KdPrmViewInputNoSig", R::KdPrmViewInputNoSig, 130, kInputNoSig},
    {"Still", "Capture/Erase", "KdPrmViewStill", R::KdPrmViewStill, 130, kStill},
    {"Audio", "Main/Sub/Output", "KdPrmViewAudio", R::KdPrmViewAudio, 130, kAudio},
    {"ROI", "General", "KdPrmViewRoiGeneral", R::KdPrmViewRoiGeneral, 130, kRoiGeneral},
    {"ROI", "Setting", "KdPrmViewRoiSetting", R::KdPrmViewRoiSetting, 130, kRoiSetting},
    {"ROI", "Preset 1-4", "KdPrmViewRoiPreset14Setting", R::KdPrmViewRoiPreset14Setting, 130,
     kRoiPreset14},
    {"ROI", "Preset 5-8", "KdPrmViewRoiPreset58Setting", R::KdPrmViewRoiPreset58Setting, 130,
     kRoiPreset58},
    {"Mix/Effect", "General", "KdPrmViewMixEfxGeneral", R::KdPrmViewMixEfxGeneral, 130,
     kMixEfxGeneral},
    {"Mix/Effect", "Cut/Mix", "KdPrmViewMixEfxCut", R::KdPrmViewMixEfxCut, 130, kMixEfxCut},
    {"Mix/Effect", "Wipe", "KdPrmViewMixEfxWipe", R::KdPrmViewMixEfxWipe, 130, kMixEfxWipe},
    {"Mix/Effect", "PinP", "KdPrmViewMixEfxPinP", R::KdPrmViewMixEfxPinP, 130, kMixEfxPinP},
    {"Mix/Effect", "Split", "KdPrmViewMixEfxSplit", R::KdPrmViewMixEfxSplit, 130, kMixEfxSplit},
    {"Mix/Effect", "Alpha", "KdPrmViewMixEfxAlpha", R::KdPrmViewMixEfxAlpha, 130, kMixEfxAlpha},
    {"Mix/Effect", "Fade/AutoSw", "KdPrmViewMixEfxFade", R::KdPrmViewMixEfxFade, 130, kMixEfxFade},
    {"Mix/Effect", "Error Detect", "KdPrmViewMixEfxErrDet", R::KdPrmViewMixEfxErrDet, 130,
     kMixEfxErrDet},
    {"Output", "Main/Sub", "KdPrmViewOutput", R::KdPrmViewOutput, 120, kOutput},
    {"System", "General", "KdPrmViewSystemGeneral", R::KdPrmViewSystemGeneral, 130, kSystemGeneral},
    {"System", "Sync", "KdPrmViewSystemSync", R::KdPrmViewSystemSync, 130, kSystemSync},
    {"System", "Panel/UDP", "KdPrmViewSystemPanel", R::KdPrmViewSystemPanel, 130, kSystemPanel},
    {"SNTP", "Server", "KdPrmViewSNTPServer", R::KdPrmViewSNTPServer, 130, kSntpServer},
    {"SNTP", "Current", "KdPrmViewSNTPCurrent", R::KdPrmViewSNTPCurrent, 130, kSntpCurrent},
    {"SNMP", "Manager", "KdPrmViewSNMPManager", R::KdPrmViewSNMPManager, 120, kSnmpManager},
    {"SNMP", "Trap/Name", "KdPrmViewSNMPTrapName", R::KdPrmViewSNMPTrapName, 120, kSnmpTrapName},
    {"USB Only", "IP", "KdPrmViewOthersIP", R::KdPrmViewOthersIP, 130, kOthersIP},
    {"USB Only", "Others", "KdPrmViewOthersOthers", R::KdPrmViewOthersOthers, 130, kOthersOthers},
};

} // namespace

std::span<const CKdPageCatalogue::_SPage> CKdPageCatalogue::Pages() {
    return kPages;
}

const CKdPageCatalogue::_SPage* CKdPageCatalogue::FindPage(const char* name) {
    if (!name) return nullptr;
    for (const auto& page : kPages) {
        std::string path = std::string(page.mGroup) + "/" + page.mLabel;
        if (strcasecmp(name, page.mClassName) == 0 || strcasecmp(name, path.c_str()) == 0)
            return &page;
    }
    return nullptr;
}

const CKdPageCatalogue::_SRow* CKdPageCatalogue::RowForPrm(long id) {
    for (const auto& page : kPages)
        for (const auto& row : page.mRows)
            if (row.mPrmID == id) return &row;
    return nullptr;
}
