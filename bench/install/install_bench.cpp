// One installation through the print UI on a fresh simulated machine, in real time:
// NormalInstaller's launch, wait, 500 ms pause and check. The wizard adds 100 ms and up
// to one 200 ms tick. Run from the build's bin folder (beside the driver packages):
//   cd build/linux/bin && ./bench_install
// The overhead above the fixed delays is (median - 500 ms); compare it with the 800 ms
// of fixed delays an installation costs in all.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "engine/Catalogue.h"
#include "engine/Log.h"
#include "engine/PrinterInfo.h"
#include "platform/sim/machine.h"

CLogFile g_log;

namespace {

void Install(benchmark::State& state) {
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        char pattern[] = "/tmp/drovan-bench-install-XXXXXX";
        std::filesystem::path dir = std::filesystem::path(mkdtemp(pattern)) / "machine";
        sim::UseMachine(dir);
        CPrinterInfo info;
        const CatalogueRow* row = FindCatalogueRow(1030);
        info.SetPrinterName(row->pszPrinterName);
        info.SetInfFilePath(CatalogueInfFile(*row, Is64BitSystem()));
        info.SetPortName(TEXT("COM1:"));
        state.ResumeTiming();
        if (!info.InstallPrinter()) state.SkipWithError("installation failed");
        state.PauseTiming();
        sim::UseMachine("/nonexistent");
        std::filesystem::remove_all(dir.parent_path());
        ++round;
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(Install)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK_MAIN();
