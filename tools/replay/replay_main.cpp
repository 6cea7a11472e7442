// drovan-replay [--machine DIR] [--log] SCRIPT [-- ARGUMENT...]
//
// Runs the program linked with this tool (its application object, started exactly as the
// program starts) on the headless dialog backend, plays SCRIPT ("-" for standard input)
// as its user, and writes the transcript to standard output. Exit code: the program's,
// or 2 for a script error (reported on standard error with the script's line number).
//
// The arguments after -- are the program's own command line, handed to it as Windows hands
// a program its command line (quoted where they hold blanks or quotes).
//
// --log (or DROVAN_REPLAY_LOG=1), for tests only: every line the program hands to its
// diagnostic log becomes a transcript line `log "…"`, in the order the lines were handed
// over, from the static objects' construction on. Off unless asked for, as the product's
// log sink is.
//
// On Windows the run acts on the real system: there is no --machine, the script's waits are
// real time, and the program's own MessageBoxW calls are answered from the script like the
// framework's boxes (replay_home_win32.cpp).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/afx.h"
#include "platform/ui/headless/script.h"
#include "platform/ui/text.h"
#include "tools/replay/replay_home.h"

namespace {

constexpr int kScriptErrorExit = 2;

struct Arguments {
    std::string machine;
    std::string script;
    std::string error;
    bool log = false;
    std::string programCommandLine;  // UTF-8
};

// One argument as Windows' command-line splitting gives it back: quoted when it holds a
// blank or a quote, backslashes doubled before a quote.
std::string QuoteArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string q = "\"";
    size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        q.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
        slashes = 0;
        q += c;
    }
    q.append(slashes * 2, '\\');
    return q + "\"";
}

Arguments Parse(int argc, char** argv) {
    Arguments a;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--") {
            for (int j = i + 1; j < argc; ++j)
                a.programCommandLine += (j > i + 1 ? " " : "") + QuoteArgument(argv[j]);
            break;
        }
        if (arg == "--machine") {
            if (i + 1 >= argc) {
                a.error = "--machine needs a folder";
                return a;
            }
            a.machine = argv[++i];
        } else if (arg.rfind("--machine=", 0) == 0) {
            a.machine = arg.substr(10);
        } else if (arg == "--log") {
            a.log = true;
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
    if (const char* env = std::getenv("DROVAN_REPLAY_LOG"); env && std::strcmp(env, "1") == 0)
        a.log = true;
    return a;
}

// Lines handed over before the transcript exists (the static objects' construction) wait
// here; afterwards they go straight into the transcript, among its other lines.
std::mutex g_logMutex;
std::vector<std::string> g_earlyLogLines;
drovan::ui::headless::Transcript* g_logTranscript = nullptr;

void ObserveLogLine(const BYTE* pData, DWORD nBytes) {
    // The line is in the machine's ANSI code page, zero-filled up to its byte count.
    DWORD nText = 0;
    while (nText < nBytes && pData[nText] != 0) ++nText;
    std::basic_string<WCHAR> wide;
    if (nText > 0) {
        const LPCSTR psz = reinterpret_cast<LPCSTR>(pData);
        int n = MultiByteToWideChar(CP_ACP, 0, psz, static_cast<int>(nText), nullptr, 0);
        if (n > 0) {
            wide.resize(static_cast<size_t>(n));
            MultiByteToWideChar(CP_ACP, 0, psz, static_cast<int>(nText), wide.data(), n);
        }
    }
    std::string line = "log " + drovan::ui::headless::Transcript::Quote(wide);
    std::lock_guard<std::mutex> lock(g_logMutex);
    if (g_logTranscript) g_logTranscript->Line(line);
    else g_earlyLogLines.push_back(std::move(line));
}

// From now on log lines go into the transcript, after those of the start.
void AttachLogTranscript(drovan::ui::headless::Transcript& t) {
    std::lock_guard<std::mutex> lock(g_logMutex);
    for (const auto& line : g_earlyLogLines) t.Line(line);
    g_earlyLogLines.clear();
    g_logTranscript = &t;
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

// The machine folder must be chosen before the program's static objects touch the machine,
// and the log observed from the first static object on, which already writes a line.
void replay::OnEarlyStart(int argc, char** argv) {
    Arguments a = Parse(argc, argv);
    if (!a.error.empty()) return;
    std::string ignored;
    if (!a.machine.empty()) replay::UseMachineFolder(a.machine, ignored);
    if (a.log) {
        if (auto setter = replay::ProgramLogObserverSetter()) setter(ObserveLogLine);
    }
}

int main(int argc, char** argv) {
    replay::PrepareOutput();
    Arguments args = Parse(argc, argv);
    if (!args.error.empty()) {
        if (args.error != "help") std::fprintf(stderr, "drovan-replay: %s\n", args.error.c_str());
        std::fprintf(stderr, "usage: drovan-replay [--machine DIR] [--log] SCRIPT [-- ARGUMENT...]   (SCRIPT '-' reads "
                             "standard input; the arguments after -- are the program's)\n");
        return args.error == "help" ? 0 : kScriptErrorExit;
    }
    if (std::string error; !args.machine.empty() && !replay::UseMachineFolder(args.machine, error)) {
        std::fprintf(stderr, "drovan-replay: %s\n", error.c_str());
        return kScriptErrorExit;
    }
    if (args.log && !replay::ProgramLogObserverSetter()) {
        std::fprintf(stderr, "drovan-replay: --log: this program has no diagnostic log\n");
        return kScriptErrorExit;
    }

    std::stringstream text;
    if (args.script == "-") {
        text << std::cin.rdbuf();
    } else {
        // A folder opens as a stream on some systems and reads as nothing: it would run the
        // program with an empty script.
        std::error_code ec;
        if (std::filesystem::is_directory(args.script, ec)) {
            std::fprintf(stderr, "drovan-replay: %s is a folder, not a script file\n", args.script.c_str());
            return kScriptErrorExit;
        }
        std::ifstream in(args.script, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "drovan-replay: cannot read %s: %s\n", args.script.c_str(), std::strerror(errno));
            return kScriptErrorExit;
        }
        text << in.rdbuf();
        if (in.bad()) {
            std::fprintf(stderr, "drovan-replay: cannot read %s: %s\n", args.script.c_str(), std::strerror(errno));
            return kScriptErrorExit;
        }
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
    if (args.log) AttachLogTranscript(transcript);

    replay::StartClock();
    drovan::ui::headless::HeadlessBackend backend(transcript);
    drovan::ui::SetBackend(&backend);
    replay::RouteSystemMessageBoxes();

    std::thread user([&] {
        drovan::ui::headless::ScriptRunner runner(backend, transcript);
        if (auto e = runner.Run(commands)) {
            std::fprintf(stderr, "%s:%d: %s\n", scriptName.c_str(), e->line, e->message.c_str());
            Finish(transcript, kScriptErrorExit);
        }
    });

    std::basic_string<WCHAR> commandLine = drovan::ui::text::FromUtf8(args.programCommandLine);
    int code = AfxWinMain(nullptr, nullptr, commandLine.data(), SW_SHOWNORMAL);
    backend.ProgramEnded();
    user.join();
    Finish(transcript, code);
}
