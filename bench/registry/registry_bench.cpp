// Registry speed on a machine holding 10,000 values: the open + query + close round of a
// reader, and a set. Run: build/linux/bin/bench_registry
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "platform/sim/machine.h"
#include "platform/sim/text.h"
#include "platform/win32.h"

namespace {

constexpr int kValues = 10000;
const WCHAR kKey[] = TEXT("Software\\Bench\\Values");

struct Machine {
    std::filesystem::path folder;
    Machine() {
        char pattern[] = "/tmp/drovan-bench-XXXXXX";
        folder = std::filesystem::path(mkdtemp(pattern)) / "machine";
        sim::UseMachine(folder);
        HKEY key;
        RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        auto& db = sim::CurrentMachine().Db();
        db.Write([&] {  // one transaction for the fill; the benchmarks use one per call
            for (int i = 0; i < kValues; ++i) {
                std::u16string name = sim::ToUtf16("value" + std::to_string(i));
                std::u16string data = sim::ToUtf16("9600,n,8,1," + std::to_string(i));
                RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                               static_cast<DWORD>((data.size() + 1) * 2));
            }
        });
        RegCloseKey(key);
    }
    ~Machine() {
        sim::UseMachine("/nonexistent");
        std::filesystem::remove_all(folder.parent_path());
    }
};

Machine& TheMachine() {
    static Machine m;
    return m;
}

void OpenQueryClose(benchmark::State& state) {
    TheMachine();
    int i = 0;
    for (auto _ : state) {
        std::u16string name = sim::ToUtf16("value" + std::to_string(i++ % kValues));
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            state.SkipWithError("open failed");
        BYTE data[64];
        DWORD cb = sizeof data;
        if (RegQueryValueExW(key, name.c_str(), nullptr, nullptr, data, &cb) != ERROR_SUCCESS)
            state.SkipWithError("query failed");
        RegCloseKey(key);
    }
}

void Query(benchmark::State& state) {
    TheMachine();
    HKEY key;
    RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &key);
    int i = 0;
    for (auto _ : state) {
        std::u16string name = sim::ToUtf16("value" + std::to_string(i++ % kValues));
        BYTE data[64];
        DWORD cb = sizeof data;
        if (RegQueryValueExW(key, name.c_str(), nullptr, nullptr, data, &cb) != ERROR_SUCCESS)
            state.SkipWithError("query failed");
    }
    RegCloseKey(key);
}

void Set(benchmark::State& state) {
    TheMachine();
    HKEY key;
    RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &key);
    int i = 0;
    for (auto _ : state) {
        std::u16string name = sim::ToUtf16("value" + std::to_string(i++ % kValues));
        DWORD data = static_cast<DWORD>(i);
        if (RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&data), 4) != ERROR_SUCCESS)
            state.SkipWithError("set failed");
    }
    RegCloseKey(key);
}

}  // namespace

BENCHMARK(OpenQueryClose)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(Query)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(Set)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_MAIN();
