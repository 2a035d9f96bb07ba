// The benchmark executable: every suite, then Google Benchmark's own command line.

#include <benchmark/benchmark.h>

#include "bench_suites.hpp"

int main(int argc, char** argv) {
  apebench::prepare_surface_peer();
  apebench::register_effect_benchmarks();
  apebench::register_frame_floor_benchmarks();
  apebench::register_drawing_benchmarks();
  apebench::register_surface_benchmarks();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
