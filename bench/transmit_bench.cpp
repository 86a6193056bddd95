// The cost of one transmission from a full transmit buffer: through "Передать" on a real port,
// and in the link builders alone.
#include <benchmark/benchmark.h>

#include <array>
#include <atomic>
#include <chrono>
#include <numeric>
#include <random>
#include <span>
#include <string>
#include <thread>

#include "link/frame.h"
#include "tests/app/program.h"
#include "text/convert.h"

namespace {

constexpr int kLines = 4096;

std::vector<std::uint8_t> Payload() {
  std::mt19937 random(4096);
  std::vector<std::uint8_t> bytes(kLines);
  for (auto& b : bytes) {
    b = static_cast<std::uint8_t>(random());
  }
  return bytes;
}

// The far end of the line reads everything, as a device would, so writes never wait.
class Drain {
 public:
  explicit Drain(fixtures::PtyPair& far)
      : thread_([this, &far] {
          while (!stop_) {
            (void)far.Collect(1 << 20, std::chrono::milliseconds(10));
          }
        }) {}
  ~Drain() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void BM_TransmitClick(benchmark::State& state) {
  fixtures::PtyPair far;
  fixtures::Program p;
  p.OpenPort(far.SlavePath());
  if (!p.backend.boxes.empty()) {
    state.SkipWithError(p.backend.BoxTexts()[0].c_str());
    return;
  }
  Drain drain(far);
  std::string lines;
  for (std::uint8_t b : Payload()) {
    lines += text::FormatHex2(b) + "\n";
  }
  p.form1.Memo1.UserType(lines);
  for (auto _ : state) {
    p.serial.writes.clear();
    p.form1.Button1.UserClick();
  }
  const auto& writes = p.serial.writes;
  const std::size_t frameBytes = std::accumulate(writes.begin(), writes.end(), std::size_t{0});
  if (!p.backend.boxes.empty() || p.form1.Memo1.Lines().Count() != kLines) {
    state.SkipWithError("the transmission was refused or changed the buffer");
  }
  state.counters["frame_bytes"] = static_cast<double>(frameBytes);
  state.counters["writes"] = static_cast<double>(writes.size());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(frameBytes));
}
BENCHMARK(BM_TransmitClick)->Unit(benchmark::kMicrosecond);

void BM_LinkBuilders(benchmark::State& state) {
  const auto payload = Payload();
  std::array<std::uint8_t, protocol::kChunkSize> chunk{};
  std::size_t frameBytes = 0;
  for (auto _ : state) {
    frameBytes = 0;
    const auto packet = protocol::BuildPacket(0x0002, 0x0001, {}, payload);
    const auto stream = protocol::BuildBlockStream(packet, 0xFFFF);
    protocol::WriteFrame(chunk, {}, stream, [&frameBytes](std::span<const std::uint8_t> bytes) {
      benchmark::DoNotOptimize(bytes.data());
      frameBytes += bytes.size();
    });
  }
  state.counters["frame_bytes"] = static_cast<double>(frameBytes);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(frameBytes));
}
BENCHMARK(BM_LinkBuilders)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
