#pragma once

#include "CKdPrmManager.h"

// The parameters each page requests when it opens: first identifier and count of identifiers
// (bytes, so a 16-bit parameter counts 2); each table ends with a count of 0. The tables are
// named after the pages that use them. Every row a page shows lies in its table, so that no row
// shows a value the switcher never sent ("PinP Type" 239, the "Auto ROI Layer" presets 293-296).
namespace CKdPageRequests {
using Req = CKdPrmManager::_SPrmReqInfo;

inline constexpr Req KdPrmViewInputMain[] = {{102, 2}, {103, 2}, {104, 2}, {0, 0}};
inline constexpr Req KdPrmViewInputSub[] = {{112, 2}, {113, 2}, {114, 2}, {0, 0}};
inline constexpr Req KdPrmViewInputNoSig[] = {{120, 4}, {0, 0}};
inline constexpr Req KdPrmViewStill[] = {{130, 9}, {0, 0}};
inline constexpr Req KdPrmViewAudio[] = {{140, 2}, {150, 2}, {160, 1}, {0, 0}};
inline constexpr Req KdPrmViewRoiGeneral[] = {{170, 10}, {0, 0}};
// clang-format off
inline constexpr Req KdPrmViewRoiSetting[] = {
    {180, 2}, {182, 2}, {184, 2}, {186, 1},
    {190, 2}, {192, 2}, {194, 2}, {196, 1},
    {0, 0}};
inline constexpr Req KdPrmViewRoiPreset14Setting[] = {
    {320, 2}, {322, 2}, {324, 2}, {326, 1},
    {330, 2}, {332, 2}, {334, 2}, {336, 1},
    {340, 2}, {342, 2}, {344, 2}, {346, 1},
    {350, 2}, {352, 2}, {354, 2}, {356, 1},
    {0, 0}};
inline constexpr Req KdPrmViewRoiPreset58Setting[] = {
    {360, 2}, {362, 2}, {364, 2}, {366, 1},
    {370, 2}, {372, 2}, {374, 2}, {376, 1},
    {380, 2}, {382, 2}, {384, 2}, {386, 1},
    {390, 2}, {392, 2}, {394, 2}, {396, 1},
    {0, 0}};
// clang-format on
inline constexpr Req KdPrmViewMixEfxGeneral[] = {{200, 2}, {202, 2}, {204, 2}, {210, 6}, {0, 0}};
inline constexpr Req KdPrmViewMixEfxCut[] = {{218, 73}, {0, 0}};
inline constexpr Req KdPrmViewMixEfxWipe[] = {{220, 6}, {0, 0}};
inline constexpr Req KdPrmViewMixEfxPinP[] = {{230, 10}, {0, 0}};
inline constexpr Req KdPrmViewMixEfxSplit[] = {{240, 9}, {0, 0}};
inline constexpr Req KdPrmViewMixEfxAlpha[] = {{250, 5}, {0, 0}};
inline constexpr Req KdPrmViewMixEfxFade[] = {{270, 3}, {291, 6}, {0, 0}};
inline constexpr Req KdPrmViewMixEfxErrDet[] = {{431, 12}, {0, 0}};
inline constexpr Req KdPrmViewOutput[] = {{300, 2}, {310, 2}, {313, 1}, {0, 0}};
inline constexpr Req KdPrmViewSystemGeneral[] = {{401, 1}, {403, 1}, {0, 0}};
inline constexpr Req KdPrmViewSystemSync[] = {{410, 2}, {412, 2}, {414, 2}, {421, 1}, {0, 0}};
inline constexpr Req KdPrmViewSystemPanel[] = {{420, 1}, {422, 2}, {0, 0}};
inline constexpr Req KdPrmViewSNTPServer[] = {{500, 4}, {0, 0}};
inline constexpr Req KdPrmViewSNTPCurrent[] = {{510, 7}, {0, 0}};
inline constexpr Req KdPrmViewSNMPManager[] = {{600, 4}, {0, 0}};
inline constexpr Req KdPrmViewSNMPTrapName[] = {{610, 5},  {620, 64}, {690, 64},
                                                {760, 64}, {830, 64}, {0, 0}};
inline constexpr Req KdPrmViewOthersIP[] = {{900, 4}, {910, 4}, {920, 4}, {0, 0}};
inline constexpr Req KdPrmViewOthersOthers[] = {{930, 16}, {950, 16}, {970, 6},
                                                {980, 10}, {990, 8},  {0, 0}};

} // namespace CKdPageRequests
