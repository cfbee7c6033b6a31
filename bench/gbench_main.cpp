// Google Benchmark driver for the shared case list (x86_64).
#include "cases.h"

#include <benchmark/benchmark.h>

#include <cstdio>

#ifdef QUEMBA_BENCH_ICU
#include <unicode/uversion.h>
#endif

int main(int argc, char **argv) {
    std::vector<qbench::Input> inputs = qbench::MakeInputs();
    std::vector<qbench::Case> cases = qbench::MakeCases(inputs);
    for (const qbench::Input &in : inputs) {
        char text[160];
        std::snprintf(text, sizeof text, "%zu text(s), %zu bytes, %zu UTF-16 units, %.1f%% non-ASCII, locale %s",
                      in.texts.size(), in.totalBytes, in.totalUnits, in.nonAsciiShare * 100, in.locale.c_str());
        benchmark::AddCustomContext("input " + in.name + "/" + in.size, text);
    }
#ifdef QUEMBA_BENCH_ICU
    benchmark::AddCustomContext("icu", U_ICU_VERSION);
#endif
    for (const qbench::Case &c : cases) {
        benchmark::RegisterBenchmark(c.Name().c_str(), [&c](benchmark::State &state) {
            if (!qbench::EnterLocale(c)) {
                state.SkipWithError("locale missing");
                return;
            }
            if (const char *err = c.run(true)) {
                state.SkipWithError(err);
                return;
            }
            for (auto _ : state) c.run(false);
            state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(c.bytes));
        });
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
