#include "cli_fixture.h"

#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

ProgramRun CliTest::Drovan(const std::vector<std::string>& args, const ProgramOptions& options) {
    fs::path cwd = options.cwd.empty() ? fs::path(DROVAN_BIN_DIR) : options.cwd;
    fs::path program = options.programDir.empty() ? fs::path(DROVAN_PROGRAM)
                                                  : options.programDir / fs::path(DROVAN_PROGRAM).filename();
    std::string machine = options.machine.empty() ? m_machine.string() : options.machine;
    // No display, as on a build server or a till's service account: a quiet run must need none.
    std::string cmd = "cd " + ShellQuote(cwd.string()) +
                      " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u DROVAN_PRINTUI "
                      "DROVAN_CLOCK_SPEED=10 timeout 120 " +
                      ShellQuote(program.string()) + " --machine " + ShellQuote(machine);
    for (const auto& a : args) cmd += " " + ShellQuote(a);
    ProgramRun run;
    run.status = RunShell(cmd, &run.out, &run.err);
    return run;
}

Transcript CliTest::ReplayWithArguments(const std::string& script, const std::vector<std::string>& args) {
    ReplayOptions o;
    o.programArgs = args;
    return Replay(script, o);
}

fs::path CliTest::MakeCliProgramDir() {
    fs::path dir = MakeProgramDir();
    fs::path from(DROVAN_PROGRAM);
    std::error_code ec;
    fs::create_hard_link(from, dir / from.filename(), ec);
    if (ec) fs::copy_file(from, dir / from.filename());
    return dir;
}

std::string AppDir() {
    std::string p = "Z:" + std::string(DROVAN_BIN_DIR) + "/";
    for (char& ch : p)
        if (ch == '/') ch = '\\';
    return p;
}

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string MachineSnapshot(const fs::path& folder) {
    std::ostringstream out;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2((folder / "machine.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return "machine.db cannot be opened";
    }
    std::vector<std::string> tables;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    for (const auto& table : tables) {
        out << "table " << table << "\n";
        std::string sql = "SELECT * FROM \"" + table + "\" ORDER BY 1, 2, 3";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
            sqlite3_prepare_v2(db, ("SELECT * FROM \"" + table + "\" ORDER BY 1").c_str(), -1, &st, nullptr);
        }
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const void* blob = sqlite3_column_blob(st, i);
                out << (i ? " | " : "  ") << std::string(static_cast<const char*>(blob ? blob : ""),
                                                         static_cast<size_t>(sqlite3_column_bytes(st, i)));
            }
            out << "\n";
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder / "drive_c", ec); it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        std::string entry = fs::relative(it->path(), folder).string();
        if (it->is_regular_file()) entry += " " + std::to_string(it->file_size()) + " " + ReadText(it->path());
        files.push_back(entry);
    }
    std::sort(files.begin(), files.end());
    for (const auto& f : files) out << f << "\n";
    return out.str();
}
