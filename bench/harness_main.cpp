// Plain driver for the shared case list, for targets without Google
// Benchmark (i386). Writes JSON in the shape of Google Benchmark's median
// aggregates so that one report script reads both.
//   quemba_bench_harness [--out FILE] [--min-time SECONDS] [--repetitions N] [--filter TEXT]
// QUEMBA_SIMD=scalar|sse2|avx2 in the environment forces the library's kernels.
#include "cases.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

// Process CPU time, as Google Benchmark reports by default: on a shared
// machine it is steadier than the wall clock.
double Now() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

std::string Quote(const std::string &s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// Seconds for `iterations` runs of the case.
double Time(const qbench::Case &c, long iterations) {
    double start = Now();
    for (long i = 0; i < iterations; ++i) c.run(false);
    return Now() - start;
}

}  // namespace

int main(int argc, char **argv) {
    const char *outPath = nullptr;
    const char *filter = "";
    double minTime = 0.2;
    int repetitions = 3;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--out") && i + 1 < argc) outPath = argv[++i];
        else if (!std::strcmp(argv[i], "--min-time") && i + 1 < argc) minTime = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--repetitions") && i + 1 < argc) repetitions = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--filter") && i + 1 < argc) filter = argv[++i];
        else {
            std::fprintf(stderr, "usage: [QUEMBA_SIMD=scalar|sse2|avx2] %s [--out FILE] [--min-time SECONDS] [--repetitions N] [--filter TEXT]\n", argv[0]);
            return 1;
        }
    }
    std::vector<qbench::Input> inputs = qbench::MakeInputs();
    std::vector<qbench::Case> cases = qbench::MakeCases(inputs);

    std::string json = "{\n  \"context\": {\n    \"driver\": \"quemba_bench_harness\"";
    for (const qbench::Input &in : inputs) {
        char text[160];
        std::snprintf(text, sizeof text, "%zu text(s), %zu bytes, %zu UTF-16 units, %.1f%% non-ASCII, locale %s",
                      in.texts.size(), in.totalBytes, in.totalUnits, in.nonAsciiShare * 100, in.locale.c_str());
        json += ",\n    " + Quote("input " + in.name + "/" + in.size) + ": " + Quote(text);
    }
    json += "\n  },\n  \"benchmarks\": [";
    bool first = true;
    for (const qbench::Case &c : cases) {
        std::string name = c.Name();
        if (name.find(filter) == std::string::npos) continue;
        std::string entry = "\n    {\"name\": " + Quote(name + "_median") + ", \"run_name\": " + Quote(name) +
                            ", \"run_type\": \"aggregate\", \"aggregate_name\": \"median\"";
        const char *err = qbench::EnterLocale(c) ? c.run(true) : "locale missing";
        if (err) {
            entry += ", \"error_occurred\": true, \"error_message\": " + Quote(err) + "}";
        } else {
            // Grow the batch until it takes a tenth of the minimum time.
            long iterations = 1;
            double t;
            while ((t = Time(c, iterations)) < minTime / 10 && iterations < (1L << 30)) iterations *= 4;
            long perRep = std::max(1L, static_cast<long>(static_cast<double>(iterations) * minTime / std::max(t, 1e-9)));
            std::vector<double> rates;
            for (int r = 0; r < repetitions; ++r) {
                double s = Time(c, perRep);
                rates.push_back(static_cast<double>(c.bytes) * static_cast<double>(perRep) / std::max(s, 1e-9));
            }
            std::sort(rates.begin(), rates.end());
            std::setlocale(LC_ALL, "C");  // a decimal point, whatever the case's locale
            char num[64];
            std::snprintf(num, sizeof num, "%.6g", rates[rates.size() / 2]);
            entry += ", \"iterations\": " + std::to_string(perRep) + ", \"bytes_per_second\": " + num + "}";
        }
        std::fprintf(stderr, "%-60s %s\n", name.c_str(), err ? err : "done");
        json += (first ? "" : ",") + entry;
        first = false;
    }
    json += "\n  ]\n}\n";
    FILE *f = outPath ? std::fopen(outPath, "w") : stdout;
    if (!f) {
        std::perror(outPath);
        return 1;
    }
    std::fputs(json.c_str(), f);
    if (outPath) std::fclose(f);
    return 0;
}
