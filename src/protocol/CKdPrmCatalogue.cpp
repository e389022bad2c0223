#include "CKdPrmCatalogue.h"

#include <array>
#include <cstring>

namespace {
using Row = CKdPrmCatalogue::_SPrmRow;
using enum CKdPrmCatalogue::EType;

// Id, count, type, range index, initial value, label[, initial text].
constexpr Row kRows[] = {
    // Inputs
    {102, 1, kU8, 1, 0, "Main In H Flip"},
    {103, 1, kU8, 1, 0, "Main In V Flip"},
    {104, 1, kU8, 9, 0, "Main In Still"},
    {105, 1, kU8, 0, 0, "Main In Format"},
    {112, 1, kU8, 1, 0, "Sub In H Flip"},
    {113, 1, kU8, 1, 0, "Sub In V Flip"},
    {114, 1, kU8, 9, 0, "Sub In Still"},
    {115, 1, kU8, 0, 0, "Sub In Format"},
    {120, 1, kU8, 10, 0, "No Signal Mode"},
    {121, 1, kU8, 4, 16, "No Signal Color R"},
    {122, 1, kU8, 4, 16, "No Signal Color G"},
    {123, 1, kU8, 4, 16, "No Signal Color B"},
    // Still memories
    {130, 1, kU8, 11, 0, "Still Capture Source"},
    {131, 1, kU8, 12, 0, "Still Capture/Erase Target"},
    {134, 1, kU8, 0, 0, "Still Status"},
    {135, 4, kU8, 0, 0, "Still Memory"},
    // Audio
    {140, 1, kU8, 1, 0, "Main In Audio Follow"},
    {141, 1, kU8, 3, 0, "Main In Audio Level"},
    {150, 1, kU8, 1, 0, "Sub In Audio Follow"},
    {151, 1, kU8, 3, 0, "Sub In Audio Level"},
    {160, 1, kU8, 3, 0, "Output Audio Level"},
    // Regions of interest
    {170, 1, kU8, 1, 0, "ROI Enable"},
    {171, 1, kU8, 13, 0, "ROI Preset Call Number"},
    {172, 1, kU8, 14, 0, "ROI Preset Change Target"},
    {175, 1, kU8, 15, 0, "ROI Preset Auto Time"},
    {176, 1, kU8, 14, 0, "ROI Preset Save Setting"},
    {177, 1, kU8, 13, 0, "ROI Preset Save Number"},
    {179, 1, kU8, 20, 0, "ROI Move Damp Time"},
    {180, 1, kU16, 16, 3840, "Layer [1] ROI Size"},
    {182, 1, kS16, 17, 0, "Layer [1] ROI H Position"},
    {184, 1, kS16, 18, 0, "Layer [1] ROI V Position"},
    {186, 1, kU8, 19, 0, "Layer [1] ROI Source"},
    {187, 3, kS8, 51, 0, nullptr}, // layer 1 movement, written by the operation executor
    {190, 1, kU16, 16, 3840, "Layer [2] ROI Size"},
    {192, 1, kS16, 17, 0, "Layer [2] ROI H Position"},
    {194, 1, kS16, 18, 0, "Layer [2] ROI V Position"},
    {196, 1, kU8, 19, 0, "Layer [2] ROI Source"},
    {197, 3, kS8, 51, 0, nullptr}, // layer 2 movement
    // Mix/effect
    {200, 1, kU16, 8, 0, "Transition Value"},
    {202, 1, kU16, 8, 0, "Video Fade Value"},
    {204, 1, kU16, 8, 0, "Audio Fade Value"},
    {210, 1, kU8, 21, 0, "M/E Type"},
    {211, 1, kU8, 2, 0, "Auto Transition Time"},
    {212, 1, kU8, 2, 0, "Auto Fade Time"},
    {213, 1, kU8, 22, 0, "MODE Sw Assign"},
    {214, 1, kU8, 23, 2, "FADER Assign"},
    {215, 1, kU8, 24, 0, "FADER Direction"},
    {218, 1, kU8, 25, 0, "Cut Type"},
    {220, 1, kU8, 27, 0, "Wipe Type"},
    {221, 1, kU8, 2, 0, "Wipe Edge"},
    {222, 1, kU8, 2, 0, "Wipe Border Width"},
    {223, 1, kU8, 4, 235, "Wipe Border Red"},
    {224, 1, kU8, 4, 235, "Wipe Border Green"},
    {225, 1, kU8, 4, 235, "Wipe Border Blue"},
    {230, 1, kU8, 2, 20, "PinP Size"},
    {231, 1, kS8, 5, 30, "PinP H Position"},
    {232, 1, kS8, 5, 30, "PinP V Position"},
    {233, 1, kU8, 2, 70, "PinP H Trim"},
    {234, 1, kU8, 2, 100, "PinP V Trim"},
    {235, 1, kU8, 2, 0, "PinP Border Width"},
    {236, 1, kU8, 4, 235, "PinP Border Volor Red"},
    {237, 1, kU8, 4, 235, "PinP Border Volor Green"},
    {238, 1, kU8, 4, 235, "PinP Border Volor Blue"},
    {239, 1, kU8, 28, 0, "PinP Type"},
    {240, 1, kU8, 29, 0, "Split Type"},
    {241, 1, kU8, 2, 50, "Split Duty"},
    {242, 1, kU8, 30, 0, "Split Layout"},
    {243, 1, kS8, 5, 0, "Split [1] Center Adj"},
    {244, 1, kS8, 5, 0, "Split [2] Center Adj"},
    {245, 1, kU8, 2, 0, "Split Border Width"},
    {246, 1, kU8, 4, 235, "Split Border Red"},
    {247, 1, kU8, 4, 235, "Split Border Green"},
    {248, 1, kU8, 4, 235, "Split Border Blue"},
    {250, 1, kU8, 31, 0, "Alpha Type"},
    {251, 1, kU8, 2, 0, "Alpha Level"},
    {252, 1, kU8, 2, 0, "Alpha Gain"},
    {253, 1, kS8, 6, 0, "Alpha Chroma Hue"},
    {254, 1, kU8, 7, 30, "Alpha Chroma Width"},
    {270, 1, kU8, 4, 16, "Fade Color Red"},
    {271, 1, kU8, 4, 16, "Fade Color Green"},
    {272, 1, kU8, 4, 16, "Fade Color Blue"},
    {290, 1, kU8, 26, 0, "Mix Type"},
    {291, 1, kU8, 32, 0, "Auto Switch Type"},
    {292, 1, kU8, 33, 0, "Auto Switch Interval Time"},
    {293, 1, kU8, 13, 0, "Auto ROI Layer [1] Preset A"},
    {294, 1, kU8, 13, 1, "Auto ROI Layer [1] Preset B"},
    {295, 1, kU8, 13, 4, "Auto ROI Layer [2] Preset A"},
    {296, 1, kU8, 13, 5, "Auto ROI Layer [2] Preset B"},
    // Outputs
    {300, 1, kU8, 34, 0, "Main Out Down Convert"},
    {301, 1, kU8, 35, 0, "Main Out Sampling Structure"},
    {310, 1, kU8, 34, 0, "Sub Out Down Convert"},
    {311, 1, kU8, 35, 0, "Sub Out Sampling Structure"},
    {313, 1, kU8, 36, 0, "Sub Out Select"},
    // Region-of-interest presets
    {320, 1, kU16, 16, 3840, "Preset ROI1 Size"},
    {322, 1, kS16, 17, 0, "Preset ROI1 H Position"},
    {324, 1, kS16, 18, 0, "Preset ROI1 V Position"},
    {326, 1, kU8, 19, 0, "Preset ROI1 Source"},
    {330, 1, kU16, 16, 1920, "Preset ROI2 Size"},
    {332, 1, kS16, 17, -960, "Preset ROI2 H Position"},
    {334, 1, kS16, 18, -540, "Preset ROI2 V Position"},
    {336, 1, kU8, 19, 0, "Preset ROI2 Source"},
    {340, 1, kU16, 16, 1920, "Preset ROI3 Size"},
    {342, 1, kS16, 17, 960, "Preset ROI3 H Position"},
    {344, 1, kS16, 18, 540, "Preset ROI3 V Position"},
    {346, 1, kU8, 19, 0, "Preset ROI3 Source"},
    {350, 1, kU16, 16, 768, "Preset ROI4 Size"},
    {352, 1, kS16, 17, 0, "Preset ROI4 H Position"},
    {354, 1, kS16, 18, 0, "Preset ROI4 V Position"},
    {356, 1, kU8, 19, 0, "Preset ROI4 Source"},
    {360, 1, kU16, 16, 3840, "Preset ROI5 Size"},
    {362, 1, kS16, 17, 0, "Preset ROI5 H Position"},
    {364, 1, kS16, 18, 0, "Preset ROI5 V Position"},
    {366, 1, kU8, 19, 1, "Preset ROI5 Source"},
    {370, 1, kU16, 16, 1920, "Preset ROI6 Size"},
    {372, 1, kS16, 17, -960, "Preset ROI6 H Position"},
    {374, 1, kS16, 18, -540, "Preset ROI6 V Position"},
    {376, 1, kU8, 19, 1, "Preset ROI6 Source"},
    {380, 1, kU16, 16, 1920, "Preset ROI7 Size"},
    {382, 1, kS16, 17, 960, "Preset ROI7 H Position"},
    {384, 1, kS16, 18, 540, "Preset ROI7 V Position"},
    {386, 1, kU8, 19, 1, "Preset ROI7 Source"},
    {390, 1, kU16, 16, 768, "Preset ROI8 Size"},
    {392, 1, kS16, 17, 0, "Preset ROI8 H Position"},
    {394, 1, kS16, 18, 0, "Preset ROI8 V Position"},
    {396, 1, kU8, 19, 1, "Preset ROI8 Source"},
    // System, sync and panel
    {401, 1, kU8, 37, 1, "System Frame Rate"},
    {403, 1, kU8, 38, 0, "System HDCP Mode"},
    {410, 1, kU8, 39, 0, "Sync Mode"},
    {411, 1, kU8, 40, 0, "Sync Reference"},
    {412, 1, kU16, 41, 0, "Sync H Phase"},
    {414, 1, kU16, 42, 100, "Sync V Phase"},
    {420, 1, kU8, 1, 0, "Panel Lock"},
    {421, 1, kU8, 43, 0, "HDMI TC Remote"},
    {422, 1, kU8, 44, 0, "UDP Units Link Mode"},
    {423, 1, kU8, 1, 0, "UDP Units Link Master"},
    // Error detection
    {430, 1, kU8, 1, 0, nullptr},
    {431, 1, kU8, 1, 0, "HDMI InfoFrame Change"},
    {432, 1, kU8, 1, 0, "AVI InfoFrame Change"},
    {433, 1, kU8, 1, 0, "SPD InfoFrame Change"},
    {434, 1, kU8, 1, 0, "Audio InfoFrame Change"},
    {435, 1, kU8, 1, 0, "MPEG InfoFrame Change"},
    {436, 1, kU8, 1, 0, "VBI InfoFrame Change"},
    {437, 1, kU8, 1, 0, "DRM InfoFrame Change"},
    {438, 1, kU8, 1, 0, "Audio Status Change"},
    {439, 1, kU8, 1, 0, "Audio Validity Bit"},
    {440, 1, kU8, 1, 0, "Audio Parity Error"},
    {441, 1, kS8, 50, 0, "Audio Error Threshold"},
    {442, 1, kU8, 1, 0, "Audio ACR Lost"},
    // Clock (default time server 216.239.35.0; the year counts from 1970)
    {500, 1, kU8, 4, 216, "SNTP Server Address 1st"},
    {501, 1, kU8, 4, 239, "SNTP Server Address 2nd"},
    {502, 1, kU8, 4, 35, "SNTP Server Address 3rd"},
    {503, 1, kU8, 4, 0, "SNTP Server Address 4th"},
    {510, 1, kU8, 4, 48, "Current Date Year"},
    {511, 1, kU8, 45, 6, "Current Date Month"},
    {512, 1, kU8, 46, 29, "Current Date Day"},
    {513, 1, kU8, 47, 0, "Current Time Hour"},
    {514, 1, kU8, 48, 0, "Current Time Minute"},
    {515, 1, kU8, 48, 0, "Current Time Second"},
    {516, 1, kS8, 49, 0, "Current Time Zone"},
    // SNMP
    {600, 1, kU8, 4, 192, "SNMP Manager Address 1st"},
    {601, 1, kU8, 4, 168, "SNMP Manager Address 2nd"},
    {602, 1, kU8, 4, 1, "SNMP Manager Address 3rd"},
    {603, 1, kU8, 4, 100, "SNMP Manager Address 4th"},
    {610, 1, kU8, 1, 0, "SNMP Power On Trap"},
    {611, 1, kU8, 1, 0, "SNMP Main In Unlock Trap"},
    {612, 1, kU8, 1, 0, "SNMP Sub In Unlock Trap"},
    {613, 1, kU8, 1, 0, "SNMP Main Our HPD Trap"},
    {614, 1, kU8, 1, 0, "SNMP Sub Out HPD Trap"},
    {620, 64, kU8, 52, 0, "SNMP Community Name", "private"},
    {690, 64, kU8, 52, 0, "SNMP Read Community Name", "public"},
    {760, 64, kU8, 52, 0, "SNMP Location Name"},
    {830, 64, kU8, 52, 0, "SNMP Contact Name"},
    // Network, identity and versions (MAC prefix 02:4B:44 is a locally administered one)
    {900, 1, kU8, 4, 192, "IP Address 1st"},
    {901, 1, kU8, 4, 168, "IP Address 2nd"},
    {902, 1, kU8, 4, 1, "IP Address 3rd"},
    {903, 1, kU8, 4, 100, "IP Address 4th"},
    {910, 1, kU8, 4, 255, "Subnet Mask 1st"},
    {911, 1, kU8, 4, 255, "Subnet Mask 2nd"},
    {912, 1, kU8, 4, 255, "Subnet Mask 3rd"},
    {913, 1, kU8, 4, 0, "Subnet Mask 4th"},
    {920, 1, kU8, 4, 192, "Default Gateway 1st"},
    {921, 1, kU8, 4, 168, "Default Gateway 2nd"},
    {922, 1, kU8, 4, 1, "Default Gateway 3rd"},
    {923, 1, kU8, 4, 1, "Default Gateway 4th"},
    {930, 16, kU8, 52, 0, "Login Name", "manager"},
    {950, 16, kU8, 52, 0, "Password", "password"},
    {970, 6, kU8, 0, 0, "MAC Address", "\x02\x4B\x44"},
    {980, 10, kU8, 0, 0, "Serial Number"},
    {990, 1, kU16, 0, 0, "Software Version"},
    {992, 1, kU16, 0, 0, "FPGA Version"},
    {994, 1, kU16, 0, 0, "USB Version"},
    {996, 1, kU16, 0, 0, "PHY Version"},
};

constexpr CKdPrmCatalogue::_SExecRow kExecRows[] = {
    {132, "Still Capture"},
    {133, "Still Erase"},
    {173, "ROI Preset Change Cut"},
    {174, "ROI Preset Change Auto"},
    {178, "ROI Preset Save Exec"},
    {206, "Main In Sw"},
    {207, "Sub In Sw"},
    {208, "MODE Sw"},
    {209, "Auto Fade Sw"},
    {998, "System Reboot"},
    {999, "Factory Reset"},
    {1000, "Parameter Save"},
};

// Row index of the parameter that starts at each identifier, -1 elsewhere.
const std::array<int16_t, CKdPrmCatalogue::kLastPrmID + 1>& RowIndex() {
    static const auto sIndex = [] {
        std::array<int16_t, CKdPrmCatalogue::kLastPrmID + 1> index;
        index.fill(-1);
        for (int16_t r = 0; r < static_cast<int16_t>(std::size(kRows)); ++r) {
            const Row& row = kRows[r];
            const int width = CKdPrmCatalogue::Width(row.mType);
            for (int k = 0; k < row.mCount; ++k)
                index[row.mPrmID + k * width] = r;
        }
        return index;
    }();
    return sIndex;
}
} // namespace

std::span<const CKdPrmCatalogue::_SPrmRow> CKdPrmCatalogue::Rows() {
    return kRows;
}

std::span<const CKdPrmCatalogue::_SExecRow> CKdPrmCatalogue::ExecRows() {
    return kExecRows;
}

const CKdPrmCatalogue::_SPrmRow* CKdPrmCatalogue::FindRow(long id) {
    if (id < 0 || id > kLastPrmID) return nullptr;
    const int16_t r = RowIndex()[id];
    return r < 0 ? nullptr : &kRows[r];
}

int CKdPrmCatalogue::InitValue(const _SPrmRow& row, long id) {
    if (!row.mInitText) return row.mInitValue;
    const size_t k = id - row.mPrmID;
    return k < std::strlen(row.mInitText) ? static_cast<unsigned char>(row.mInitText[k]) : 0;
}

const char* CKdPrmCatalogue::Label(long id) {
    if (const _SPrmRow* row = FindRow(id)) return row->mLabel;
    const _SExecRow* exec = FindExecRow(id);
    return exec ? exec->mLabel : nullptr;
}

const CKdPrmCatalogue::_SExecRow* CKdPrmCatalogue::FindExecRow(long id) {
    for (const _SExecRow& exec : kExecRows)
        if (exec.mPrmID == id) return &exec;
    return nullptr;
}
