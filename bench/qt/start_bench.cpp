// Start-up of the Linux wizard against a bare Qt dialog of the same size: process start to
// the first page (the licence page) painted, and peak RSS, on Qt's offscreen platform. The
// target is measured against the bare dialog; the same dialog with one line of text in the
// wizard's font is shown beside it, since a bare dialog loads no font at all.
//
//     build/linux/bin/bench_qt_start [RUNS]          (default 15)
//
// The programs run from the build's bin folder, in turns, each wizard run on a fresh
// simulated machine, after one untimed warm-up of each. Each prints one line when its
// first paint pass is done (the wizard under DROVAN_EXIT_AFTER_FIRST_PAINT=1) and ends:
// the monotonic time then, and its peak RSS. The start is taken here just before fork,
// on the same clock, since the kernel keeps a process's start time only in 10 ms ticks.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kTimeoutMs = 30000;

struct Sample {
    double ms = 0;
    long rssKb = 0;
    int width = 0;
    int height = 0;
};

struct Outcome {
    int status = -1;  // exit code, or -1 when it did not end normally
    std::string out;
    long long startNs = 0;
};

long long MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Runs argv in `dir` with `env` added to this process's environment, capturing its output
// (stderr too: Qt's chatter is shown only when a run fails).
Outcome Run(const fs::path& dir, const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    Outcome o;
    int fds[2];
    if (pipe(fds) != 0) return o;
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    o.startNs = MonotonicNs();
    pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return o;
    }
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        dup2(fds[1], STDERR_FILENO);
        close(fds[0]);
        close(fds[1]);
        for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
        if (chdir(dir.c_str()) == 0) execv(args[0], args.data());
        std::perror(args[0]);
        _exit(127);
    }
    close(fds[1]);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
    char buf[4096];
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fds[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) == 0) {
            std::fprintf(stderr, "%s: no report after %d s, stopped\n", argv[0].c_str(), kTimeoutMs / 1000);
            kill(pid, SIGKILL);
            break;
        }
        ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        o.out.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

std::optional<Sample> Parse(const Outcome& o, const char* name) {
    size_t at = o.out.find("first-paint ");
    if (o.status != 0 || at == std::string::npos) {
        std::fprintf(stderr, "%s: no first-paint report (exit %d); its output:\n%s\n", name, o.status, o.out.c_str());
        return std::nullopt;
    }
    long long ns = 0;
    Sample s;
    if (std::sscanf(o.out.c_str() + at, "first-paint monotonic_ns=%lld peak_rss_kb=%ld width=%d height=%d", &ns,
                    &s.rssKb, &s.width, &s.height) != 4) {
        std::fprintf(stderr, "%s: unreadable report: %s\n", name, o.out.c_str() + at);
        return std::nullopt;
    }
    s.ms = static_cast<double>(ns - o.startNs) / 1e6;
    return s;
}

// A fresh simulated machine for one run of the wizard, removed afterwards.
class FreshMachine {
public:
    explicit FreshMachine(const fs::path& bin) {
        char pattern[] = "/tmp/drovan-qtbench-XXXXXX";
        if (!mkdtemp(pattern)) return;
        m_root = pattern;
        m_folder = m_root / "machine";
        // Made beforehand, untimed, when the tool is there: the figure is the wizard's start on
        // a machine that exists, not the machine's creation.
        if (fs::exists(bin / "drovan-machine"))
            Run(bin, {(bin / "drovan-machine").string(), "--machine", m_folder.string(), "init"}, {});
    }
    ~FreshMachine() {
        std::error_code ec;
        if (!m_root.empty()) fs::remove_all(m_root, ec);
    }
    FreshMachine(const FreshMachine&) = delete;
    FreshMachine& operator=(const FreshMachine&) = delete;
    const fs::path& Folder() const { return m_folder; }

private:
    fs::path m_root;
    fs::path m_folder;
};

std::optional<Sample> RunWizard(const fs::path& bin) {
    FreshMachine machine(bin);
    if (machine.Folder().empty()) return std::nullopt;
    return Parse(Run(bin, {(bin / "drovan").string()},
                     {"QT_QPA_PLATFORM=offscreen", "DROVAN_EXIT_AFTER_FIRST_PAINT=1",
                      "DROVAN_MACHINE=" + machine.Folder().string()}),
                 "drovan");
}

std::optional<Sample> RunBare(const fs::path& bin, int width, int height, bool text) {
    std::vector<std::string> argv{(bin / "bench_qt_bare_dialog").string()};
    if (text) argv.push_back("--text");
    argv.push_back(std::to_string(width));
    argv.push_back(std::to_string(height));
    return Parse(Run(bin, argv, {"QT_QPA_PLATFORM=offscreen"}), text ? "bench_qt_bare_dialog --text" : "bench_qt_bare_dialog");
}

template <typename T>
T Median(std::vector<T> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 15;
    if (argc > 2 || runs < 1) {
        std::fprintf(stderr, "usage: %s [RUNS]\n", argv[0]);
        return 2;
    }
    fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
    for (const char* name : {"drovan", "bench_qt_bare_dialog"}) {
        if (!fs::exists(bin / name)) {
            std::fprintf(stderr, "%s is not built in %s\n", name, bin.c_str());
            return 1;
        }
    }

    // Warm-up: the page cache and the font cache, for all alike. The wizard's own size is
    // what the bare dialogs are given.
    auto first = RunWizard(bin);
    if (!first) return 1;
    if (!RunBare(bin, first->width, first->height, false) || !RunBare(bin, first->width, first->height, true)) return 1;

    std::vector<double> wizardMs, bareMs, textMs;
    std::vector<long> wizardKb, bareKb, textKb;
    for (int i = 0; i < runs; ++i) {
        auto w = RunWizard(bin);
        auto b = RunBare(bin, first->width, first->height, false);
        auto t = RunBare(bin, first->width, first->height, true);
        if (!w || !b || !t) return 1;
        wizardMs.push_back(w->ms);
        wizardKb.push_back(w->rssKb);
        bareMs.push_back(b->ms);
        bareKb.push_back(b->rssKb);
        textMs.push_back(t->ms);
        textKb.push_back(t->rssKb);
    }

    double wMs = Median(wizardMs), bMs = Median(bareMs), tMs = Median(textMs);
    double wMb = Median(wizardKb) / 1024.0, bMb = Median(bareKb) / 1024.0, tMb = Median(textKb) / 1024.0;
    double timeRatio = wMs / bMs, rssRatio = wMb / bMb;
    std::printf("Start to first paint, QT_QPA_PLATFORM=offscreen, %dx%d px, median of %d runs each\n", first->width,
                first->height, runs);
    std::printf("  %-28s %8.1f ms %8.1f MB peak RSS\n", "drovan (licence page)", wMs, wMb);
    std::printf("  %-28s %8.1f ms %8.1f MB peak RSS\n", "bare QDialog", bMs, bMb);
    std::printf("  %-28s %8.1f ms %8.1f MB peak RSS\n", "bare QDialog, one text line", tMs, tMb);
    std::printf("  time ratio %.2fx (target <= 1.3x: %s)\n", timeRatio, timeRatio <= 1.3 ? "met" : "missed");
    std::printf("  RSS ratio  %.2fx (target <= 1.3x: %s)\n", rssRatio, rssRatio <= 1.3 ? "met" : "missed");
    std::printf("  against the dialog with text: time %.2fx, RSS %.2fx\n", wMs / tMs, wMb / tMb);
    return 0;
}
