#include "app/powercaps_win.h"

#include <windows.h>

#include "app/process_win.h"
#include "app/syslibs_win.h"

int standbyKind = kStandbyCall;

namespace {

// These headers predate Windows 8, whose AoAc flag (Modern Standby) is the third byte after
// FastSystemS4; earlier systems leave it zero.
constexpr size_t kAoAcSpareIndex = 2;

} // namespace

void readPowerCapabilities()
{
    if (!isNtPlatform)
        return;
    SYSTEM_POWER_CAPABILITIES capabilities = {};
    // Unreadable capabilities (no power library, or an error) keep the standby call: the
    // system's own answer to it, success or error, is then what the user sees.
    lookUpSystemCalls();
    if (!systemCalls.getPwrCapabilities || !systemCalls.getPwrCapabilities(&capabilities)) {
        standbyKind = kStandbyCall;
        return;
    }
    const bool sleepState = capabilities.SystemS1 || capabilities.SystemS2 || capabilities.SystemS3;
    standbyKind = standbyKindFor(sleepState, capabilities.spare2[kAoAcSpareIndex] != 0);
}
