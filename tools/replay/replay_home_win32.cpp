// The replay tool on Windows: the program runs on this computer's real system (there is no
// machine folder to choose), its dialogs' timers and the script's waits in real time, and
// the MessageBoxW calls of its own code are answered by the script instead of a window that
// would wait for somebody to click it.
#include <fcntl.h>
#include <io.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>

#include "platform/ui/headless/system_boxes.h"
#include "tools/replay/replay_home.h"

#define REPLAY_STRINGIFY2(x) #x
#define REPLAY_STRINGIFY(x) REPLAY_STRINGIFY2(x)
// Referenced weakly, so that the tool still links with a program that has no log. DWORD is
// unsigned long here, and 32-bit symbols carry the platform's leading underscore.
extern void SetProgramLogObserver(replay::LogObserver observer)
    __asm__(REPLAY_STRINGIFY(__USER_LABEL_PREFIX__) "_ZN8CLogFile15SetTestObserverEPFvPKhmE") __attribute__((weak));

namespace replay {

namespace {

// The C runtime has parsed the command line before constructors run.
__attribute__((constructor(101))) void EarlyStart() { OnEarlyStart(__argc, __argv); }

}  // namespace

LogObserverSetter ProgramLogObserverSetter() { return SetProgramLogObserver ? &SetProgramLogObserver : nullptr; }

bool UseMachineFolder(const std::string&, std::string& error) {
    error = "--machine: there is no simulated machine on Windows; the run acts on this computer";
    return false;
}

void PrepareOutput() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

// The machine clock stays in its real mode: the script's waits pass in real time, as the
// program's own sleeps and waits on the real system do.
void StartClock() {}

void RouteSystemMessageBoxes() { drovan::ui::headless::RouteSystemMessageBoxes(); }

}  // namespace replay
