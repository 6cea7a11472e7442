#include "services_state.h"

#include <time.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "clock.h"
#include "regtree.h"
#include "text.h"
#include "win32/errors.h"
#include "win32/registry.h"
#include "win32/services.h"

namespace sim::svc {
namespace {

const std::vector<std::u16string>& ServicesPath() {
    static const std::vector<std::u16string> path = {u"SYSTEM", u"CurrentControlSet", u"Services"};
    return path;
}

// Identifies this process among all that use the machine; the token tells a reused pid
// from the process that wrote the record.
const std::u16string& ThisProcess() {
    static const std::u16string id = [] {
        std::random_device rd;
        uint64_t token = (static_cast<uint64_t>(rd()) << 32) ^ rd();
        return ToUtf16(std::to_string(getpid()) + ":" + std::to_string(token));
    }();
    return id;
}

uint64_t HostNowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

DWORD GetDword(Store& db, int64_t key, std::u16string_view name, DWORD fallback) {
    auto v = reg::GetValue(db, key, name);
    if (!v || v->data.size() < 4) return fallback;
    DWORD d;
    std::memcpy(&d, v->data.data(), 4);
    return d;
}

uint64_t GetQword(Store& db, int64_t key, std::u16string_view name) {
    auto v = reg::GetValue(db, key, name);
    if (!v || v->data.size() < 8) return 0;
    uint64_t q;
    std::memcpy(&q, v->data.data(), 8);
    return q;
}

void SetQword(Store& db, int64_t key, std::u16string_view name, uint64_t value) {
    reg::SetValue(db, key, name, REG_QWORD,
                  std::string_view(reinterpret_cast<const char*>(&value), 8));
}

std::u16string GetString(Store& db, int64_t key, std::u16string_view name) {
    auto v = reg::GetValue(db, key, name);
    if (!v) return {};
    std::u16string s(v->data.size() / 2, u'\0');
    std::memcpy(s.data(), v->data.data(), s.size() * 2);
    while (!s.empty() && s.back() == 0) s.pop_back();
    return s;
}

// Whether the recorded pending state is still pending for this process.
bool StillPending(Store& db, int64_t key, uint64_t length) {
    if (GetString(db, key, u"PendingOwner") == ThisProcess())
        return clock::Now() < GetQword(db, key, u"PendingEndsAt");
    uint64_t ends = GetQword(db, key, u"PendingEndsAtHost");
    uint64_t now = HostNowMs();
    // A deadline further ahead than any pending state lasts was written before the host
    // restarted its monotonic clock: that request ended long ago.
    return now < ends && ends - now <= length;
}

void RecordPending(Store& db, int64_t key, DWORD pending, DWORD settled, uint64_t length) {
    reg::SetDword(db, key, u"State", settled);
    reg::SetDword(db, key, u"PendingState", pending);
    reg::SetString(db, key, u"PendingOwner", ThisProcess());
    SetQword(db, key, u"PendingEndsAt", clock::Now() + length);
    double speed = clock::IsDriven() ? 1.0 : clock::Speed();
    SetQword(db, key, u"PendingEndsAtHost",
             HostNowMs() + static_cast<uint64_t>(static_cast<double>(length) / speed));
}

}  // namespace

int64_t FindService(Store& db, std::u16string_view name) {
    if (name.empty() || name.find(u'\\') != std::u16string_view::npos) return 0;
    int64_t services = reg::FindPath(db, reg::kLocalMachine, ServicesPath());
    if (!services) return 0;
    int64_t key = reg::FindChild(db, services, name);
    if (!key || !reg::GetValue(db, key, u"Type")) return 0;  // a key, not a service
    return key;
}

std::u16string ServiceName(Store& db, int64_t key) { return reg::KeyName(db, key); }

Status Query(Store& db, int64_t key) {
    Status s;
    s.type = GetDword(db, key, u"Type", SERVICE_WIN32_OWN_PROCESS);
    s.startType = GetDword(db, key, u"Start", SERVICE_DEMAND_START);
    s.runCount = GetDword(db, key, u"RunCount", 0);
    s.state = GetDword(db, key, u"State", SERVICE_STOPPED);
    DWORD pending = GetDword(db, key, u"PendingState", 0);
    uint64_t length = pending == SERVICE_STOP_PENDING ? kStopPendingMs : kStartPendingMs;
    if (pending && StillPending(db, key, length)) {
        s.state = pending;
        s.waitHint = static_cast<DWORD>(length);
    }
    return s;
}

DWORD RequestStop(Store& db, int64_t key) {
    Status s = Query(db, key);
    if (s.state == SERVICE_STOPPED) return ERROR_SERVICE_NOT_ACTIVE;
    if (s.state != SERVICE_RUNNING) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    RecordPending(db, key, SERVICE_STOP_PENDING, SERVICE_STOPPED, kStopPendingMs);
    return ERROR_SUCCESS;
}

DWORD RequestStart(Store& db, int64_t key) {
    Status s = Query(db, key);
    if (s.startType == SERVICE_DISABLED) return ERROR_SERVICE_DISABLED;
    if (s.state != SERVICE_STOPPED) return ERROR_SERVICE_ALREADY_RUNNING;
    reg::SetDword(db, key, u"RunCount", s.runCount + 1);
    RecordPending(db, key, SERVICE_START_PENDING, SERVICE_RUNNING, kStartPendingMs);
    return ERROR_SUCCESS;
}

bool SpoolerRunning(Store& db) {
    int64_t key = FindService(db, u"Spooler");
    return key && Query(db, key).state == SERVICE_RUNNING;
}

DWORD SpoolerRunCount(Store& db) {
    int64_t key = FindService(db, u"Spooler");
    return key ? GetDword(db, key, u"RunCount", 0) : 0;
}

void CreateService(Store& db, std::u16string_view name, std::u16string_view displayName,
                   std::u16string_view imagePath, DWORD type, DWORD startType, DWORD state) {
    auto path = ServicesPath();
    path.emplace_back(name);
    int64_t key = reg::CreatePath(db, reg::kLocalMachine, path, nullptr);
    reg::SetDword(db, key, u"Type", type);
    reg::SetDword(db, key, u"Start", startType);
    reg::SetDword(db, key, u"ErrorControl", 1);
    std::u16string image(imagePath);
    image.push_back(0);
    reg::SetValue(db, key, u"ImagePath", REG_EXPAND_SZ,
                  std::string_view(reinterpret_cast<const char*>(image.data()), image.size() * 2));
    reg::SetString(db, key, u"DisplayName", displayName);
    reg::SetString(db, key, u"ObjectName", u"LocalSystem");
    reg::SetDword(db, key, u"State", state);
    reg::SetDword(db, key, u"PendingState", 0);
    reg::SetDword(db, key, u"RunCount", state == SERVICE_RUNNING ? 1 : 0);
}

}  // namespace sim::svc
