// In-process micro-benchmarks: the HEX conversion without process start-up or file system,
// and the host's work per page of a transfer.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "firmware/hex_page_image.h"
#include "hex_corpus.h"
#include "host_cost.h"
#include "temp_directory.h"

namespace {

void ConvertHexText(benchmark::State& state) {
  const std::string text = LargestImageHex(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    PageImageResult result = ConvertHexTextToPageImage(text);
    benchmark::DoNotOptimize(result.image.data());
    if (!result.valid || result.PageCount() != kLargestImagePages)
      state.SkipWithError("conversion failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(ConvertHexText)->ArgName("record_bytes")->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond);

void ConvertHexFile(benchmark::State& state) {
  TempDirectory directory;
  directory.Write("firmware.hex", LargestImageHex(static_cast<int>(state.range(0))));
  const std::string path = directory.File("firmware.hex");
  for (auto _ : state) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
      state.SkipWithError("cannot open the HEX file");
      break;
    }
    PageImageResult result = ConvertHexFileToPageImage(file);
    std::fclose(file);
    benchmark::DoNotOptimize(result.image.data());
    if (!result.valid)
      state.SkipWithError("conversion failed");
  }
}
BENCHMARK(ConvertHexFile)->ArgName("record_bytes")->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond);

// One 255-page transfer per iteration; "page" is the time per page.
void TransferPages(benchmark::State& state) {
  HostCostBench bench(kLargestImagePages, state.range(0) != 0);
  for (auto _ : state) {
    if (!bench.Transfer())
      state.SkipWithError("transfer failed");
  }
  state.counters["page"] = benchmark::Counter(
      bench.Pages(), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(TransferPages)->ArgName("terminal")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
