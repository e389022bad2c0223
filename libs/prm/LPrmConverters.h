#pragma once

#include "CPrmConverterAudioLevel.h"
#include "CPrmConverterFloat01.h"
#include "CPrmConverterInFormat.h"
#include "CPrmConverterSNTPYear.h"
#include "CPrmConverterSNTPZone.h"
#include "CPrmConverterVerInfo.h"
#include "CPrmConverterX4.h"
#include "LPrmConverter.h"
#include "LPrmConverterStrTable.h"

// The shared converters, one constant instance each for the whole run.

// Lists that name each value.
extern const LPrmConverterStrTable gPrmConverterOffOn;
extern const LPrmConverterStrTable gPrmConverterInStill;
extern const LPrmConverterStrTable gPrmConverterNoSigMode;
extern const LPrmConverterStrTable gPrmConverterMeType;
extern const LPrmConverterStrTable gPrmConverterModeSw;
extern const LPrmConverterStrTable gPrmConverterFaderAsgn;
extern const LPrmConverterStrTable gPrmConverterFaderDir;
extern const LPrmConverterStrTable gPrmConverterCutType;
extern const LPrmConverterStrTable gPrmConverterMixType;
extern const LPrmConverterStrTable gPrmConverterWipeType;
extern const LPrmConverterStrTable gPrmConverterPinPType;
extern const LPrmConverterStrTable gPrmConverterSplitType;
extern const LPrmConverterStrTable gPrmConverterSplitLayout;
extern const LPrmConverterStrTable gPrmConverterAlphaType;
extern const LPrmConverterStrTable gPrmConverterAswType;
extern const LPrmConverterStrTable gPrmConverterDownCnv;
extern const LPrmConverterStrTable gPrmConverterSmplStruct;
extern const LPrmConverterStrTable gPrmConverterSubOutSel;
extern const LPrmConverterStrTable gPrmConverterRoiEnable;
extern const LPrmConverterStrTable gPrmConverterRoiPreset;
extern const LPrmConverterStrTable gPrmConverterRoiTarget;
extern const LPrmConverterStrTable gPrmConverterRoiSource;
extern const LPrmConverterStrTable gPrmConverterStillSource;
extern const LPrmConverterStrTable gPrmConverterStillTarget;
extern const LPrmConverterStrTable gPrmConverterStillStatus;
extern const LPrmConverterStrTable gPrmConverterStillMemory;
extern const LPrmConverterStrTable gPrmConverterFrameRate;
extern const LPrmConverterStrTable gPrmConverterHdcpMode;
extern const LPrmConverterStrTable gPrmConverterSyncMode;
extern const LPrmConverterStrTable gPrmConverterSyncRef;
extern const LPrmConverterStrTable gPrmConverterUDPMode;
extern const LPrmConverterStrTable gPrmConverterUDPMaster;
extern const LPrmConverterStrTable gPrmConverterTcRemote;

// "Off" of CutType, WipeType, PinPType, SplitType and AlphaType is the value the switcher
// encodes as 255.

extern const CPrmConverterAudioLevel gPrmConverterAudioLevel;
extern const CPrmConverterFloat01 gPrmConverterFloat01;
extern const CPrmConverterX4 gPrmConverterX4;
extern const CPrmConverterInFormat gPrmConverterInFormat;
extern const CPrmConverterSNTPYear gPrmConverterSNTPYear;
extern const CPrmConverterSNTPZone gPrmConverterSNTPZone;
extern const CPrmConverterVerInfo gPrmConverterVerInfo;
// The plain decimal number.
extern const LPrmConverter gPrmConverterNop;
