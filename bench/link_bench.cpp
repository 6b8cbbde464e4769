// The reader link: the framer's throughput, and the time from the CR a reader writes to the
// acknowledgement it reads back, over a real pseudo-terminal.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "link/com_data_packet.h"
#include "link/event_loop.h"
#include "link/reader_link.h"

namespace {

using namespace ln40;

void BM_FramerThroughput(benchmark::State& state) {
  std::string stream;
  while (stream.size() < (1 << 20)) stream += "A01001234012:34.567\r";
  TComDataPacket framer;
  framer.IncludeStrings = true;
  framer.MaxBufferSize = 10240;
  framer.SetStopString("\r");
  size_t packets = 0;
  framer.OnPacket = [&](const std::string&) { ++packets; };
  const size_t block = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    for (size_t pos = 0; pos < stream.size(); pos += block) framer.Feed(stream.substr(pos, block));
  }
  benchmark::DoNotOptimize(packets);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_FramerThroughput)->Arg(64)->Arg(4096);

// The program side runs its event loop on a thread of its own and acknowledges every line.
void BM_AcknowledgementLatency(benchmark::State& state) {
  int master = -1, slave = -1;
  char name[256] = {};
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    state.SkipWithError("openpty failed");
    return;
  }
  termios raw{};
  tcgetattr(master, &raw);
  cfmakeraw(&raw);
  tcsetattr(master, TCSANOW, &raw);

  TEventLoop loop;
  TReaderLink link(loop);
  link.OnPacket = [&](const std::string&) { link.SendText("+\r"); };
  link.SetPort(name);
  link.SetConnected(true);
  close(slave);
  std::thread program([&] { loop.Run(); });
  // The reader starts on a quiet line: a message that arrives right at the open could be the
  // tail of one begun before it, and is not acknowledged.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));

  std::vector<double> latencies;
  const std::string message = "A01001234012:34.567\r";
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (write(master, message.data(), message.size()) != static_cast<ssize_t>(message.size())) break;
    std::string got;
    while (got.size() < 2) {
      pollfd in{master, POLLIN, 0};
      if (poll(&in, 1, 1000) <= 0) break;
      char buffer[16];
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      got.append(buffer, static_cast<size_t>(n));
    }
    latencies.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
  }
  loop.Post([&] {
    link.SetConnected(false);
    loop.Quit();
  });
  program.join();
  close(master);
  if (!latencies.empty()) {
    std::sort(latencies.begin(), latencies.end());
    state.counters["median_us"] = latencies[latencies.size() / 2];
    state.counters["p99_us"] = latencies[latencies.size() * 99 / 100];
  }
}
BENCHMARK(BM_AcknowledgementLatency)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
