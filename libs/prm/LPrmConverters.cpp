#include "LPrmConverters.h"

namespace {

// Item texts in value order, each list ending with a null entry.
constexpr const char* kOffOn[] = {"Off", "On", nullptr};
constexpr const char* kInStill[] = {"Off", "Still1", "Still2", "Still3", "Still4", nullptr};
constexpr const char* kNoSigMode[] = {"Color",  "Freeze", "Still1", "Still2",
                                      "Still3", "Still4", nullptr};
constexpr const char* kMeType[] = {"Cut", "Mix", "Wipe", "PinP", "Split", "Alpha", "ROI", nullptr};
constexpr const char* kModeSw[] = {"Off",        "M/E Type",   "AV Fade",
                                   "Video Fade", "Audio Fade", nullptr};
constexpr const char* kFaderAsgn[] = {"Off",        "Transition", "AV Fade",
                                      "Video Fade", "Audio Fade", nullptr};
constexpr const char* kFaderDir[] = {"Norm", "Rev", nullptr};
constexpr const char* kCutType[] = {"Normal", "Backup Sw", "Off", nullptr};
constexpr const char* kMixType[] = {"Mix", "FAM", "NAM", nullptr};
constexpr const char* kWipeType[] = {"LtoR", "RtoL", "TtoB", "BtoT", "Off", nullptr};
constexpr const char* kPinPType[] = {"PinP", "PbyP", "Off", nullptr};
constexpr const char* kSplitType[] = {"L/R", "T/B", "Off", nullptr};
constexpr const char* kSplitLayout[] = {"Norm", "Rev", nullptr};
constexpr const char* kAlphaType[] = {"BlackLumiKey", "WhiteLumiKey", "ChromaKey B",
                                      "ChromaKey G",  "Off",          nullptr};
constexpr const char* kAswType[] = {"Off", "Input", "Still", "ROI", nullptr};
constexpr const char* kDownCnv[] = {"Auto", "UHD", "FHD", "1080i", nullptr};
constexpr const char* kSmplStruct[] = {"Auto",   "RGB(Std)", "RGB(Enh)", "YCC444",
                                       "YCC422", "YCC420",   nullptr};
constexpr const char* kSubOutSel[] = {"M/E Out", "Layer [1]", "Layer [2]", "Pre Fader", nullptr};
constexpr const char* kRoiEnable[] = {"Off", "On", nullptr};
constexpr const char* kRoiPreset[] = {"ROI1", "ROI2", "ROI3", "ROI4", "ROI5",
                                      "ROI6", "ROI7", "ROI8", nullptr};
constexpr const char* kRoiTarget[] = {"Layer [1]", "Layer [2]", nullptr};
constexpr const char* kRoiSource[] = {"Main In", "Sub In", "Still1", "Still2",
                                      "Still3",  "Still4", nullptr};
constexpr const char* kStillSource[] = {"Main", "Sub", nullptr};
constexpr const char* kStillTarget[] = {"Still1", "Still2", "Still3", "Still4", nullptr};
constexpr const char* kStillStatus[] = {"Ready", "Loading", "Saving", nullptr};
constexpr const char* kStillMemory[] = {"Empty", "Exist", nullptr};
constexpr const char* kFrameRate[] = {"60p",         "59.94p",      "50p",       "30p",
                                      "29.97p",      "25p",         "24p",       "23.98p",
                                      "240p(FHD)",   "239.8p(FHD)", "200p(FHD)", "120p(FHD)",
                                      "119.9p(FHD)", "100p(FHD)",   nullptr};
constexpr const char* kHdcpMode[] = {"Off", "On", "Cancel", nullptr};
constexpr const char* kSyncMode[] = {"Frame Sync", "AVDL", nullptr};
constexpr const char* kSyncRef[] = {"Main In", "Sub In", "Internal", nullptr};
constexpr const char* kUDPMode[] = {"Off", "Panel", "All", nullptr};
constexpr const char* kUDPMaster[] = {"Slave", "Master", nullptr};
constexpr const char* kTcRemote[] = {"Off",       "IN1 Type1", "IN1 Type2", "IN1 Type3",
                                     "IN2 Type1", "IN2 Type2", "IN2 Type3", nullptr};

} // namespace

constinit const LPrmConverterStrTable gPrmConverterOffOn(kOffOn);
constinit const LPrmConverterStrTable gPrmConverterInStill(kInStill);
constinit const LPrmConverterStrTable gPrmConverterNoSigMode(kNoSigMode);
constinit const LPrmConverterStrTable gPrmConverterMeType(kMeType);
constinit const LPrmConverterStrTable gPrmConverterModeSw(kModeSw);
constinit const LPrmConverterStrTable gPrmConverterFaderAsgn(kFaderAsgn);
constinit const LPrmConverterStrTable gPrmConverterFaderDir(kFaderDir);
constinit const LPrmConverterStrTable gPrmConverterCutType(kCutType);
constinit const LPrmConverterStrTable gPrmConverterMixType(kMixType);
constinit const LPrmConverterStrTable gPrmConverterWipeType(kWipeType);
constinit const LPrmConverterStrTable gPrmConverterPinPType(kPinPType);
constinit const LPrmConverterStrTable gPrmConverterSplitType(kSplitType);
constinit const LPrmConverterStrTable gPrmConverterSplitLayout(kSplitLayout);
constinit const LPrmConverterStrTable gPrmConverterAlphaType(kAlphaType);
constinit const LPrmConverterStrTable gPrmConverterAswType(kAswType);
constinit const LPrmConverterStrTable gPrmConverterDownCnv(kDownCnv);
constinit const LPrmConverterStrTable gPrmConverterSmplStruct(kSmplStruct);
constinit const LPrmConverterStrTable gPrmConverterSubOutSel(kSubOutSel);
constinit const LPrmConverterStrTable gPrmConverterRoiEnable(kRoiEnable);
constinit const LPrmConverterStrTable gPrmConverterRoiPreset(kRoiPreset);
constinit const LPrmConverterStrTable gPrmConverterRoiTarget(kRoiTarget);
constinit const LPrmConverterStrTable gPrmConverterRoiSource(kRoiSource);
constinit const LPrmConverterStrTable gPrmConverterStillSource(kStillSource);
constinit const LPrmConverterStrTable gPrmConverterStillTarget(kStillTarget);
constinit const LPrmConverterStrTable gPrmConverterStillStatus(kStillStatus);
constinit const LPrmConverterStrTable gPrmConverterStillMemory(kStillMemory);
constinit const LPrmConverterStrTable gPrmConverterFrameRate(kFrameRate);
constinit const LPrmConverterStrTable gPrmConverterHdcpMode(kHdcpMode);
constinit const LPrmConverterStrTable gPrmConverterSyncMode(kSyncMode);
constinit const LPrmConverterStrTable gPrmConverterSyncRef(kSyncRef);
constinit const LPrmConverterStrTable gPrmConverterUDPMode(kUDPMode);
constinit const LPrmConverterStrTable gPrmConverterUDPMaster(kUDPMaster);
constinit const LPrmConverterStrTable gPrmConverterTcRemote(kTcRemote);

const CPrmConverterAudioLevel gPrmConverterAudioLevel;
const CPrmConverterFloat01 gPrmConverterFloat01;
const CPrmConverterX4 gPrmConverterX4;
const CPrmConverterInFormat gPrmConverterInFormat;
const CPrmConverterSNTPYear gPrmConverterSNTPYear;
const CPrmConverterSNTPZone gPrmConverterSNTPZone;
const CPrmConverterVerInfo gPrmConverterVerInfo;
const LPrmConverter gPrmConverterNop;
