// The repair of the script engine's COM registration that every package
// object runs when it is made: on Windows Vista and later, an engine class
// that is not registered is registered again from its library.
#pragma once

// Shows nothing, fails silently, leaves no state behind.
void RepairScriptEngineRegistration();
