#include "log_capture.h"

namespace {
std::mutex g_mutex;
std::vector<std::string> g_lines;

void Observe(const BYTE* pData, DWORD nBytes) {
    std::lock_guard lock(g_mutex);
    g_lines.emplace_back(reinterpret_cast<const char*>(pData), nBytes);
}
}  // namespace

LogCapture::LogCapture() {
    Clear();
    CLogFile::SetTestObserver(Observe);
}
LogCapture::~LogCapture() { CLogFile::SetTestObserver(nullptr); }

std::vector<std::string> LogCapture::Raw() const {
    std::lock_guard lock(g_mutex);
    return g_lines;
}

std::vector<std::string> LogCapture::Lines() const {
    std::vector<std::string> out;
    for (const auto& raw : Raw()) out.push_back(raw.substr(0, raw.find('\0')));
    return out;
}

void LogCapture::Clear() {
    std::lock_guard lock(g_mutex);
    g_lines.clear();
}
