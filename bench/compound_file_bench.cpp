// The compound file layer on a 20 MB workbook container held in memory: creating it (the
// "Workbook" stream written in record-sized pieces, two small summary streams, release)
// and reading it (open, check, read the stream back in pieces). Figures are bytes of the
// workbook stream per second.
//
// Each write takes about 40 MB of fresh memory (the stream's pieces and the image), and the
// allocator gives it back to the system after every iteration, so on machines where page
// faults are dear most of the time of BM_WriteContainer20MB is the kernel's. The variant
// with a reused target shows the cost once the image's memory is already there.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "compound_file/ole2_storage.h"

namespace {

constexpr std::size_t kWorkbookSize = 20 * 1024 * 1024;
constexpr std::size_t kPiece = 8224;  // the largest BIFF8 record with its header

std::vector<std::uint8_t> Workbook() {
  std::vector<std::uint8_t> bytes(kWorkbookSize);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);
  return bytes;
}

void WriteContainer(const std::vector<std::uint8_t>& workbook, std::vector<std::uint8_t>& image) {
  ln40::TOle2Storage storage = ln40::TOle2Storage::CreateMemory(image);
  const std::vector<std::uint8_t> summary(400, 1);
  storage.OpenStream("\x05SummaryInformation").Write(summary.data(), summary.size());
  storage.OpenStream("\x05" "DocumentSummaryInformation").Write(summary.data(), summary.size());
  ln40::TOle2Stream stream = storage.OpenStream("Workbook");
  for (std::size_t at = 0; at < workbook.size(); at += kPiece) {
    stream.Write(workbook.data() + at, std::min(kPiece, workbook.size() - at));
  }
  storage.Release();
}

std::vector<std::uint8_t> Container(const std::vector<std::uint8_t>& workbook) {
  std::vector<std::uint8_t> image;
  WriteContainer(workbook, image);
  return image;
}

void BM_WriteContainer20MB(benchmark::State& state) {
  const std::vector<std::uint8_t> workbook = Workbook();
  for (auto _ : state) {
    std::vector<std::uint8_t> image = Container(workbook);
    benchmark::DoNotOptimize(image.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kWorkbookSize));
}
BENCHMARK(BM_WriteContainer20MB)->Unit(benchmark::kMillisecond);

void BM_WriteContainerReusedTarget20MB(benchmark::State& state) {
  const std::vector<std::uint8_t> workbook = Workbook();
  std::vector<std::uint8_t> image;
  for (auto _ : state) {
    WriteContainer(workbook, image);
    benchmark::DoNotOptimize(image.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kWorkbookSize));
}
BENCHMARK(BM_WriteContainerReusedTarget20MB)->Unit(benchmark::kMillisecond);

void BM_ReadContainer20MB(benchmark::State& state) {
  const std::vector<std::uint8_t> image = Container(Workbook());
  std::vector<std::uint8_t> piece(kPiece);
  for (auto _ : state) {
    ln40::TOle2Storage storage = ln40::TOle2Storage::OpenMemory(image);  // copies the image
    ln40::TOle2Stream stream = storage.OpenStream("Workbook");
    std::size_t total = 0;
    while (std::size_t got = stream.Read(piece.data(), piece.size())) total += got;
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kWorkbookSize));
}
BENCHMARK(BM_ReadContainer20MB)->Unit(benchmark::kMillisecond);

void BM_ReadContainerWhole20MB(benchmark::State& state) {
  const std::vector<std::uint8_t> image = Container(Workbook());
  for (auto _ : state) {
    ln40::TOle2Storage storage = ln40::TOle2Storage::OpenMemory(image);
    std::vector<std::uint8_t> workbook = storage.OpenStream("Workbook").ReadAll();
    benchmark::DoNotOptimize(workbook.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kWorkbookSize));
}
BENCHMARK(BM_ReadContainerWhole20MB)->Unit(benchmark::kMillisecond);

}  // namespace
