#pragma once
// Process-wide set-up of the value bridge and the interface record through which
// modules reach the logger, application information, settings, events, system
// services and encoding.
// Lives on: InitBridge/atExit on the main thread; the record is read from any thread.

#include "AppInfo.h"
#include "Encoding.h"
#include "EventChannel.h"
#include "Logger.h"
#include "SystemServices.h"
#include "UserSettings.h"
#include "Value.h"

namespace bg {

struct BridgeInterface {
    Logger *logger;
    AppInfo *appInfo;
    UserSettings *settings;
    EventChannel *events;
};

// Starts the bridge with the process arguments: records the program folder.
// Must run once before any other bridge call that depends on it.
void InitBridge(int argc, char **argv);
// Tear-down to register with std::atexit: flushes the settings store.
void atExit();
bool isInitialised();

const BridgeInterface &bridge();

} // namespace bg
