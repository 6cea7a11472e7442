// The replay tool on the simulated machine: the machine folder comes from the command line
// (it must be set before the program's static objects touch the machine), and the machine
// clock is driven, so time passes only when the script waits.
#include <cstdlib>

#include "platform/sim/clock.h"
#include "tools/replay/replay_home.h"

// Referenced weakly, so that the tool still links with a program that has no log.
extern void SetProgramLogObserver(replay::LogObserver observer)
    __asm__("_ZN8CLogFile15SetTestObserverEPFvPKhjE") __attribute__((weak));

namespace replay {

namespace {
// glibc hands constructors the program's arguments.
__attribute__((constructor(101))) void EarlyStart(int argc, char** argv, char**) { OnEarlyStart(argc, argv); }
}  // namespace

LogObserverSetter ProgramLogObserverSetter() { return SetProgramLogObserver ? &SetProgramLogObserver : nullptr; }

bool UseMachineFolder(const std::string& folder, std::string&) {
    ::setenv("DROVAN_MACHINE", folder.c_str(), 1);
    return true;
}

void PrepareOutput() {}

void StartClock() { sim::clock::Drive(); }

// The simulated machine's MessageBoxW is the framework's own: nothing to route.
void RouteSystemMessageBoxes() {}

}  // namespace replay
