// Test stand-in for the 9x family's resource meter RSRC32.DLL: reports the free system
// resources percentage that the test writes into the shared mapping.
#include <windows.h>

#include "tests/win/standins.h"

namespace {

HANDLE sharedMapping;
standin::MeterState* sharedState;

} // namespace

// Exported as "_MyGetFreeSystemResources32@4" (see the .def): the name the 9x library has.
extern "C" int WINAPI freeSystemResourcesPercent(int)
{
    if (!sharedState)
        sharedState = standin::mapShared<standin::MeterState>(standin::kMeterMappingName, &sharedMapping);
    if (!sharedState)
        return 100;
    InterlockedIncrement(&sharedState->callCount);
    return sharedState->configured ? sharedState->percent : 100;
}
