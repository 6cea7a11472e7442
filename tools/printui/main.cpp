// drovan-printui: the print UI of the simulated machine. The machine's shell runs it for
// C:\Windows\System32\rundll32.exe, so the command line it carries out is rundll32's:
//
//   rundll32 PRINTUI.DLL,PrintUIEntry /if [/b "base name"] /n "name" /f "inf" /r "port"
//                                     /m "model" [/q]
//
// The whole command line comes in DROVAN_COMMAND_LINE (GetCommandLineW's text), as the
// entry point parses it itself; run by hand, the arguments are joined back into one.
//
// Exit status: 0 installed, 1 the operation failed, 2 the command line was wrong. Every
// failure is also recorded in the machine's event log (see event_log.h).
//
// Injected faults on "PrintUIEntry": ERROR_TIMEOUT (1460) makes the print UI hang, asleep
// on the machine clock for an hour (far beyond any caller's wait) or until the program
// that started it has ended; any other error makes it fail with that error.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/sim/event_log.h"
#include "install_printer.h"
#include "platform/sim/clock.h"
#include "platform/sim/faults.h"
#include "platform/sim/shell_cmdline.h"
#include "platform/sim/text.h"
#include "printui_command.h"
#include "win32/errors.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr sim::clock::Millis kHangMillis = 60 * 60 * 1000;

std::u16string CommandLine(int argc, char** argv) {
    if (const char* line = std::getenv("DROVAN_COMMAND_LINE"); line && *line)
        return sim::ToUtf16(line);
    std::u16string out = u"rundll32.exe";
    for (int i = 1; i < argc; ++i) out += u" " + sim::QuoteArgument(sim::ToUtf16(argv[i]));
    return out;
}

int Report(const std::u16string& source, const printui::Failure& failure,
           const std::u16string& commandLine, bool quiet, int status) {
    if (!quiet)
        std::fprintf(stderr, "%s: %s (error %u, 0x%08X)\n", sim::ToUtf8(source).c_str(),
                     failure.message.c_str(), static_cast<unsigned>(failure.code),
                     static_cast<unsigned>(failure.code));
    sim::RecordEvent({source, u"Error", failure.code, sim::ToUtf16(failure.message), commandLine});
    return status;
}

// Sleeps on the machine clock as a hung print UI would, ending early only when the
// process that started it has gone (nobody is left to wait for it).
void Hang() {
    pid_t parent = getppid();
    for (sim::clock::Millis slept = 0; slept < kHangMillis; slept += 1000) {
        sim::clock::SleepFor(1000);
        if (getppid() != parent) std::_Exit(kExitFailed);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::u16string line = CommandLine(argc, argv);
    printui::Failure failure;
    auto call = printui::ParseRundll32(line, &failure);
    if (!call || !printui::IsPrintUiEntry(*call, &failure))
        return Report(u"RunDLL", failure, line, false, kExitUsage);

    DWORD fault = 0;
    if (sim::TakeFault("PrintUIEntry", &fault)) {
        if (fault == ERROR_TIMEOUT) {
            sim::RecordEvent({u"PrintUI", u"Warning", fault,
                                  u"the print UI stopped responding (injected fault)", line});
            Hang();
            return kExitFailed;
        }
        return Report(u"PrintUI", {fault, "the operation failed (injected fault)"}, line, false,
                      kExitFailed);
    }

    auto command = printui::ParsePrintUiEntry(call->arguments, &failure);
    if (!command) return Report(u"PrintUI", failure, line, false, kExitUsage);

    printui::InstallRequest request{command->NewPrinterName(), *command->infPath, *command->port,
                                    *command->model};
    if (!printui::InstallPrinterFromInf(request, &failure))
        return Report(u"PrintUI", failure, line, command->quiet, kExitFailed);
    return 0;
}
