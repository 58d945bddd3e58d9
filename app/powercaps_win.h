// What kind of standby the machine offers, from the system's power capabilities.
#pragma once
#include "app/idletime.h"

// A StandbyKind; the standby call until the capabilities have been read.
extern int standbyKind;

// NT family: reads the power capabilities afresh (at start and after each resume).
void readPowerCapabilities();
