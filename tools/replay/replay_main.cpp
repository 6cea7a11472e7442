// drovan-replay [--machine DIR] SCRIPT
//
// Runs the program linked with this tool (its application object, started exactly as the
// program starts) on the headless dialog backend, plays SCRIPT ("-" for standard input)
// as its user, and writes the transcript to standard output. Exit code: the program's,
// or 2 for a script error (reported on standard error with the script's line number).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/sim/clock.h"
#include "platform/ui/afx.h"
#include "platform/ui/headless/script.h"

namespace {

constexpr int kScriptErrorExit = 2;

struct Arguments {
    std::string machine;
    std::string script;
    std::string error;
};

Arguments Parse(int argc, char** argv) {
    Arguments a;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--machine") {
            if (i + 1 >= argc) {
                a.error = "--machine needs a folder";
                return a;
            }
            a.machine = argv[++i];
        } else if (arg.rfind("--machine=", 0) == 0) {
            a.machine = arg.substr(10);
        } else if (arg == "-h" || arg == "--help") {
            a.error = "help";
            return a;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            a.error = "unknown option " + arg;
            return a;
        } else if (a.script.empty()) {
            a.script = arg;
        } else {
            a.error = "more than one script";
            return a;
        }
    }
    if (a.error.empty() && a.script.empty()) a.error = "no script";
    return a;
}

// The machine folder must be chosen before the program's static objects touch the
// machine, so it is set from the command line before any other initialiser runs.
__attribute__((constructor(101))) void ChooseMachineEarly(int argc, char** argv, char**) {
    Arguments a = Parse(argc, argv);
    if (!a.machine.empty()) ::setenv("DROVAN_MACHINE", a.machine.c_str(), 1);
}

[[noreturn]] void Finish(drovan::ui::headless::Transcript& t, int code) {
    t.Line("exit " + std::to_string(code));
    std::fflush(stdout);
    std::fflush(stderr);
    // Workers may still run, as they may when a Windows process ends: no static
    // destructors race them.
    std::_Exit(code);
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args = Parse(argc, argv);
    if (!args.error.empty()) {
        if (args.error != "help") std::fprintf(stderr, "drovan-replay: %s\n", args.error.c_str());
        std::fprintf(stderr, "usage: drovan-replay [--machine DIR] SCRIPT   (SCRIPT '-' reads standard input)\n");
        return args.error == "help" ? 0 : kScriptErrorExit;
    }

    std::stringstream text;
    if (args.script == "-") {
        text << std::cin.rdbuf();
    } else {
        std::ifstream in(args.script, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "drovan-replay: cannot read %s: %s\n", args.script.c_str(), std::strerror(errno));
            return kScriptErrorExit;
        }
        text << in.rdbuf();
    }
    const std::string scriptName = args.script == "-" ? "<stdin>" : args.script;

    drovan::ui::headless::Transcript transcript([](const std::string& line) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    });
    auto parsed = drovan::ui::headless::ParseScript(text);
    if (auto* e = std::get_if<drovan::ui::headless::ScriptError>(&parsed)) {
        std::fprintf(stderr, "%s:%d: %s\n", scriptName.c_str(), e->line, e->message.c_str());
        Finish(transcript, kScriptErrorExit);
    }
    const auto commands = std::get<std::vector<drovan::ui::headless::Command>>(parsed);

    sim::clock::Drive();
    drovan::ui::headless::HeadlessBackend backend(transcript);
    drovan::ui::SetBackend(&backend);

    std::thread user([&] {
        drovan::ui::headless::ScriptRunner runner(backend, transcript);
        if (auto e = runner.Run(commands)) {
            std::fprintf(stderr, "%s:%d: %s\n", scriptName.c_str(), e->line, e->message.c_str());
            Finish(transcript, kScriptErrorExit);
        }
    });

    int code = AfxWinMain(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
    backend.ProgramEnded();
    user.join();
    Finish(transcript, code);
}
