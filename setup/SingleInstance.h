// The machine-wide guard against two setups at once.
#pragma once

#include <windows.h>

// True when another process has the setup mutex open, or when the mutex
// cannot be opened. A test, not a lock: the mutex is closed again at once.
bool IsSetupRunning();
