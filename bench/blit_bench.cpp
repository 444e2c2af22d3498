// Frame benchmarks: blitFrame at 32, 24 and 16 bpp for 640x480, 800x600 and
// 1024x768 frames into a pitched destination, beside two peers run on the
// same frames in the same run:
//   memcpy  - the frame's rows copied unchanged into a destination pitched
//             for 32 bpp: the limit of moving the frame's bytes at all;
//   libyuv  - ARGBCopy (32 bpp), ARGBToRGB24 (24 bpp), ARGBToRGB565 (16 bpp).
// Each comes in cache (one frame and destination, reused) and cold (a pool
// of frames and destinations twice the size of the last-level cache, each
// iteration taking the next pair). Then each row variant alone: over the
// 800x600 frame in cache, and over one 800-pixel row.
//
// Before timing, libyuv's output is checked byte for byte against ours (and
// every variant against blitFrame); the run aborts if any differs. After
// the Google Benchmark runs, a paired timing of blitFrame and its peers gives
// one ratio line per depth, size and peer: our median time over the peer's.
#include <benchmark/benchmark.h>
#include <libyuv/convert_from_argb.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "Corvane.h"
#include "frame/rows.h"

namespace {

constexpr std::size_t roundUp(std::size_t value, std::size_t unit) {
  return (value + unit - 1) / unit * unit;
}

// Memory aligned to a cache line, filled with random words.
class Buffer {
 public:
  explicit Buffer(std::size_t bytes, unsigned seed)
      : bytes_(roundUp(bytes, 64)),
        data_(static_cast<std::uint8_t*>(std::aligned_alloc(64, bytes_))) {
    if (data_ == nullptr) {
      std::fprintf(stderr, "corvane_bench: cannot allocate %zu bytes\n", bytes_);
      std::abort();
    }
    std::mt19937 random(seed);
    for (std::size_t i = 0; i + 4 <= bytes_; i += 4) {
      const std::uint32_t word = static_cast<std::uint32_t>(random());
      std::memcpy(data_ + i, &word, 4);
    }
  }
  ~Buffer() { std::free(data_); }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;

  std::uint8_t* data() const { return data_; }
  std::size_t size() const { return bytes_; }

 private:
  std::size_t bytes_;
  std::uint8_t* data_;
};

struct Size {
  std::int32_t width;
  std::int32_t height;
  std::string name() const { return std::to_string(width) + "x" + std::to_string(height); }
  std::size_t frameBytes() const { return std::size_t(width) * std::size_t(height) * 4; }
};

constexpr Size sizes[] = {{640, 480}, {800, 600}, {1024, 768}};
constexpr Size variantSize = {800, 600};
// Frames from 0.4 to 5.3 MiB of source and destination, around the
// streaming threshold.
constexpr Size thresholdSizes[] = {{256, 192}, {320, 240}, {400, 300}, {512, 384},
                                   {640, 480}, {800, 600}, {1024, 768}};
constexpr std::uint32_t depths[] = {32, 24, 16};

// A destination surface's pitch: the row rounded up to a cache line, plus
// one more line, so rows never sit back to back.
std::int32_t pitchFor(std::int32_t width, std::uint32_t depth) {
  return static_cast<std::int32_t>(roundUp(std::size_t(width) * depth / 8, 64) + 64);
}

std::size_t destinationBytes(Size size, std::uint32_t depth) {
  return std::size_t(pitchFor(size.width, depth)) * std::size_t(size.height);
}

std::size_t depthCursorOf(std::uint32_t depth) {
  for (std::size_t i = 0; DisplayState::depthPreference[i] != 0; ++i) {
    if (DisplayState::depthPreference[i] == depth) return i;
  }
  std::fprintf(stderr, "corvane_bench: no depth %u\n", depth);
  std::abort();
}

// ------------------------------------------------------------ operations

enum class Operation { Blit, Memcpy, Libyuv };

void blitInto(const std::uint8_t* frame, Size size, std::uint32_t depth,
              std::uint8_t* destination) {
  displayState.modeWidth = static_cast<std::uint32_t>(size.width);
  displayState.modeHeight = static_cast<std::uint32_t>(size.height);
  displayState.depthCursor = depthCursorOf(depth);
  displayState.lockedPixels = destination;
  displayState.lockedPitch = pitchFor(size.width, depth);
  blitFrame(reinterpret_cast<const std::uint32_t*>(frame), size.width, size.height, size.width);
}

void memcpyInto(const std::uint8_t* frame, Size size, std::uint8_t* destination) {
  const std::size_t rowBytes = std::size_t(size.width) * 4;
  const std::ptrdiff_t pitch = pitchFor(size.width, 32);
  for (std::int32_t y = 0; y < size.height; ++y) {
    std::memcpy(destination + y * pitch, frame + std::size_t(y) * rowBytes, rowBytes);
  }
}

void libyuvInto(const std::uint8_t* frame, Size size, std::uint32_t depth,
                std::uint8_t* destination) {
  const int stride = size.width * 4;
  const int pitch = pitchFor(size.width, depth);
  const int result =
      depth == 32 ? libyuv::ARGBCopy(frame, stride, destination, pitch, size.width, size.height)
      : depth == 24
          ? libyuv::ARGBToRGB24(frame, stride, destination, pitch, size.width, size.height)
          : libyuv::ARGBToRGB565(frame, stride, destination, pitch, size.width, size.height);
  if (result != 0) {
    std::fprintf(stderr, "corvane_bench: libyuv failed (%d) at %u bpp\n", result, depth);
    std::abort();
  }
}

// The loop blitFrame runs, with a chosen converter.
void rowsInto(const std::uint8_t* frame, Size size, std::uint32_t depth, RowConverter convert,
              std::uint8_t* destination) {
  const std::ptrdiff_t pitch = pitchFor(size.width, depth);
  const auto* source = reinterpret_cast<const std::uint32_t*>(frame);
  for (std::int32_t y = 0; y < size.height; ++y) {
    convert(source + std::ptrdiff_t(y) * size.width, destination + y * pitch, size.width);
  }
}

void perform(Operation operation, const std::uint8_t* frame, Size size, std::uint32_t depth,
             std::uint8_t* destination) {
  switch (operation) {
    case Operation::Blit:
      blitInto(frame, size, depth, destination);
      break;
    case Operation::Memcpy:
      memcpyInto(frame, size, destination);
      break;
    case Operation::Libyuv:
      libyuvInto(frame, size, depth, destination);
      break;
  }
}

// ---------------------------------------------------------------- memory

// One frame per size and one destination per size and depth, for the
// in-cache runs; made on first use and kept.
struct HotFrame {
  explicit HotFrame(Size size) : frame(size.frameBytes(), 1) {
    for (std::uint32_t depth : depths) {
      destinations.emplace(depth, std::make_unique<Buffer>(destinationBytes(size, depth), depth));
    }
  }
  Buffer frame;
  std::map<std::uint32_t, std::unique_ptr<Buffer>> destinations;
};

HotFrame& hotFrame(Size size) {
  static std::map<std::int32_t, std::unique_ptr<HotFrame>> frames;
  auto& slot = frames[size.width];
  if (!slot) slot = std::make_unique<HotFrame>(size);
  return *slot;
}

std::size_t lastLevelCacheBytes() {
  std::size_t largest = 0;
  for (const auto& cache : benchmark::CPUInfo::Get().caches) {
    largest = std::max(largest, static_cast<std::size_t>(cache.size));
  }
  return largest != 0 ? largest : std::size_t{32} << 20;
}

// Two arenas, for frames and for destinations, each at least twice the
// last-level cache; a cold run carves them into as many frame/destination
// pairs as fit and takes the next pair each iteration, so that by the time a
// pair comes round again at least twice the cache's size in other frames has
// been read, and its own lines are long gone.
struct ColdPool {
  ColdPool()
      : arenaBytes(std::max<std::size_t>(2 * lastLevelCacheBytes(), 64u << 20)),
        frames(arenaBytes, 2),
        destinations(arenaBytes, 3) {}
  std::size_t arenaBytes;
  Buffer frames;
  Buffer destinations;
};

ColdPool& coldPool() {
  static ColdPool pool;
  return pool;
}

// ------------------------------------------------------------ benchmarks

void setCounters(benchmark::State& state, Size size) {
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size.frameBytes()));
  state.counters["pixels"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * size.width * size.height,
                         benchmark::Counter::kIsRate);
}

void runHot(benchmark::State& state, Operation operation, Size size, std::uint32_t depth) {
  HotFrame& hot = hotFrame(size);
  std::uint8_t* destination = hot.destinations.at(depth)->data();
  for (auto _ : state) {
    perform(operation, hot.frame.data(), size, depth, destination);
    benchmark::DoNotOptimize(destination);
    benchmark::ClobberMemory();
  }
  setCounters(state, size);
}

void runCold(benchmark::State& state, Operation operation, Size size, std::uint32_t depth) {
  ColdPool& pool = coldPool();
  const std::size_t frameStride = roundUp(size.frameBytes(), 64);
  const std::size_t destinationStride = roundUp(destinationBytes(size, depth), 64);
  const std::size_t pairs =
      std::min(pool.arenaBytes / frameStride, pool.arenaBytes / destinationStride);
  std::size_t next = 0;
  for (auto _ : state) {
    std::uint8_t* destination = pool.destinations.data() + next * destinationStride;
    perform(operation, pool.frames.data() + next * frameStride, size, depth, destination);
    benchmark::DoNotOptimize(destination);
    benchmark::ClobberMemory();
    next = next + 1 == pairs ? 0 : next + 1;
  }
  setCounters(state, size);
  state.counters["pairs"] = static_cast<double>(pairs);
}

void runVariantFrame(benchmark::State& state, std::uint32_t depth, RowConverter convert) {
  HotFrame& hot = hotFrame(variantSize);
  std::uint8_t* destination = hot.destinations.at(depth)->data();
  for (auto _ : state) {
    rowsInto(hot.frame.data(), variantSize, depth, convert, destination);
    benchmark::DoNotOptimize(destination);
    benchmark::ClobberMemory();
  }
  setCounters(state, variantSize);
}

void runVariantRow(benchmark::State& state, RowConverter convert) {
  constexpr std::int32_t width = 800;
  const Buffer source(width * 4, 4);
  const Buffer destination(width * 4, 5);
  const auto* pixels = reinterpret_cast<const std::uint32_t*>(source.data());
  for (auto _ : state) {
    convert(pixels, destination.data(), width);
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
  }
  state.counters["pixels"] = benchmark::Counter(static_cast<double>(state.iterations()) * width,
                                                benchmark::Counter::kIsRate);
}

// libyuv's conversions of one row, to set beside the variants' rows in L1.
void libyuvRow24(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width) {
  libyuv::ARGBToRGB24(reinterpret_cast<const std::uint8_t*>(source), width * 4, destination,
                      width * 3, width, 1);
}

void libyuvRow16(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width) {
  libyuv::ARGBToRGB565(reinterpret_cast<const std::uint8_t*>(source), width * 4, destination,
                       width * 2, width, 1);
}

constexpr RowVariant variants[] = {RowVariant::Scalar,   RowVariant::Sse2,
                                   RowVariant::Ssse3,    RowVariant::Avx2,
                                   RowVariant::Avx512Bw, RowVariant::Avx512Vbmi};

std::string nameOf(Operation operation, std::uint32_t depth, Size size, bool cold) {
  const std::string kind = operation == Operation::Blit     ? "blit" + std::to_string(depth)
                           : operation == Operation::Memcpy ? std::string("memcpy")
                                                            : "libyuv" + std::to_string(depth);
  return kind + "/" + size.name() + (cold ? "/cold" : "");
}

void registerAll() {
  for (bool cold : {false, true}) {
    for (const Size& size : sizes) {
      std::vector<std::pair<Operation, std::uint32_t>> runs = {{Operation::Memcpy, 32}};
      for (std::uint32_t depth : depths) {
        runs.push_back({Operation::Blit, depth});
        runs.push_back({Operation::Libyuv, depth});
      }
      for (const auto& [operation, depth] : runs) {
        const Size s = size;
        const Operation o = operation;
        const std::uint32_t d = depth;
        benchmark::RegisterBenchmark(nameOf(o, d, s, cold).c_str(), [o, d, s, cold](
                                                                        benchmark::State& state) {
          if (cold) {
            runCold(state, o, s, d);
          } else {
            runHot(state, o, s, d);
          }
        })->Unit(benchmark::kMicrosecond);
      }
    }
  }
  for (std::uint32_t depth : {24u, 16u}) {
    for (RowVariant variant : variants) {
      const RowConverter convert = rowConverter(depth, variant);
      if (convert == nullptr) continue;
      const std::string tag = std::to_string(depth) + "/" + rowVariantName(variant);
      benchmark::RegisterBenchmark(
          ("rows" + tag + "/" + variantSize.name()).c_str(),
          [depth, convert](benchmark::State& state) { runVariantFrame(state, depth, convert); })
          ->Unit(benchmark::kMicrosecond);
      benchmark::RegisterBenchmark(("row" + tag + "/800px").c_str(), [convert](
                                                                         benchmark::State& state) {
        runVariantRow(state, convert);
      })->Unit(benchmark::kNanosecond);
    }
    const RowConverter peer = depth == 24 ? libyuvRow24 : libyuvRow16;
    benchmark::RegisterBenchmark(("row" + std::to_string(depth) + "/libyuv/800px").c_str(),
                                 [peer](benchmark::State& state) { runVariantRow(state, peer); })
        ->Unit(benchmark::kNanosecond);
  }
}

// ------------------------------------------------------- start-up checks

// The converted rows of two destinations of one depth must match byte for
// byte; the bytes between rows are not compared.
void requireSameRows(const std::uint8_t* ours, const std::uint8_t* theirs, Size size,
                     std::uint32_t depth, const char* what) {
  const std::size_t rowBytes = std::size_t(size.width) * depth / 8;
  const std::size_t pitch = std::size_t(pitchFor(size.width, depth));
  for (std::int32_t y = 0; y < size.height; ++y) {
    const std::uint8_t* a = ours + std::size_t(y) * pitch;
    const std::uint8_t* b = theirs + std::size_t(y) * pitch;
    if (std::memcmp(a, b, rowBytes) != 0) {
      std::size_t x = 0;
      while (a[x] == b[x]) ++x;
      std::fprintf(stderr,
                   "\ncorvane_bench: FATAL: %s differs from blitFrame at %u bpp, %s: row %d, "
                   "byte %zu (ours %d, theirs %d). Not timing anything.\n",
                   what, depth, size.name().c_str(), y, x, a[x], b[x]);
      std::abort();
    }
  }
}

void checkOutputsAgree() {
  for (const Size& size : sizes) {
    HotFrame& hot = hotFrame(size);
    for (std::uint32_t depth : depths) {
      const Buffer ours(destinationBytes(size, depth), 6);
      const Buffer theirs(destinationBytes(size, depth), 7);
      blitInto(hot.frame.data(), size, depth, ours.data());
      libyuvInto(hot.frame.data(), size, depth, theirs.data());
      requireSameRows(ours.data(), theirs.data(), size, depth,
                      depth == 32   ? "libyuv ARGBCopy"
                      : depth == 24 ? "libyuv ARGBToRGB24"
                                    : "libyuv ARGBToRGB565");
      if (depth == 32) {
        const Buffer copied(destinationBytes(size, depth), 8);
        memcpyInto(hot.frame.data(), size, copied.data());
        requireSameRows(ours.data(), copied.data(), size, depth, "the row memcpy");
      }
      for (RowVariant variant : variants) {
        const RowConverter convert = rowConverter(depth, variant);
        if (convert == nullptr) continue;
        const Buffer forced(destinationBytes(size, depth), 9);
        rowsInto(hot.frame.data(), size, depth, convert, forced.data());
        requireSameRows(ours.data(), forced.data(), size, depth, rowVariantName(variant));
        const RowConverter stream = streamingRowConverter(depth, variant);
        if (stream == nullptr) continue;
        const Buffer streamed(destinationBytes(size, depth), 10);
        rowsInto(hot.frame.data(), size, depth, stream, streamed.data());
        endStreamedRows();
        requireSameRows(ours.data(), streamed.data(), size, depth,
                        (std::string("streaming ") + rowVariantName(variant)).c_str());
      }
    }
  }
  std::printf(
      "Checked: libyuv (ARGBCopy, ARGBToRGB24, ARGBToRGB565), the row memcpy and every "
      "supported row variant, ordinary and streaming, give the same bytes as blitFrame on every "
      "frame.\n");
  std::printf("Row variants supported here:");
  for (RowVariant variant : variants) {
    if (rowVariantSupported(variant)) std::printf(" %s", rowVariantName(variant));
  }
  std::printf("; blitFrame uses");
  for (RowVariant variant : variants) {
    if (rowVariantSupported(variant) && rowConverter(24, variant) == rowConverterFor(24)) {
      std::printf(" %s", rowVariantName(variant));
    }
  }
  std::printf(".\nLast-level cache taken as %zu MiB; cold pools of %zu MiB per arena.\n",
              lastLevelCacheBytes() >> 20, coldPool().arenaBytes >> 20);
  std::printf("blitFrame streams frames of more than %zu KiB (source and destination).\n\n",
              streamingThresholdBytes() >> 10);
  std::fflush(stdout);
}

// --------------------------------------------------------------- ratios
//
// The ratio lines come from a paired timing of their own, run after the
// benchmarks above: for one size, in cache or cold, every contender (the
// memcpy, and blitFrame and libyuv at each depth) runs a short batch of
// frames in turn, round after round, in a new random order each round (in
// cache, after one untimed frame that brings its own memory back in); each
// batch gives one time per frame. As neighbouring batches are
// microseconds apart, a burst of load from elsewhere on the machine falls
// on every contender alike instead of on whichever benchmark happened to
// be running, and the medians over the rounds compare like with like.

constexpr int pairedRounds = 401;  // the first round more, as warm-up

struct Contender {
  std::string name;
  Operation operation;
  std::uint32_t depth;
  RowConverter forced;               // if set: blitFrame's loop with this converter
  std::vector<double> microseconds;  // one per round: per frame, of a batch
  bool streams = false;              // the forced converter streams: fence after the frame
};

std::vector<Contender> contenders() {
  std::vector<Contender> list = {{"memcpy", Operation::Memcpy, 32, nullptr, {}}};
  for (std::uint32_t depth : depths) {
    list.push_back({"blit" + std::to_string(depth), Operation::Blit, depth, nullptr, {}});
    list.push_back({"libyuv" + std::to_string(depth), Operation::Libyuv, depth, nullptr, {}});
  }
  return list;
}

std::vector<Contender> variantContenders() {
  std::vector<Contender> list;
  for (std::uint32_t depth : {24u, 16u}) {
    for (RowVariant variant : variants) {
      const RowConverter convert = rowConverter(depth, variant);
      if (convert == nullptr) continue;
      list.push_back({"rows" + std::to_string(depth) + "/" + rowVariantName(variant),
                      Operation::Blit,
                      depth,
                      convert,
                      {}});
    }
  }
  return list;
}

// blitFrame's ordinary rows against its streaming rows, at every depth
// where it has both.
std::vector<Contender> streamingContenders() {
  std::vector<Contender> list;
  for (std::uint32_t depth : depths) {
    const RowConverter stream = streamingRowConverterFor(depth);
    if (stream == nullptr) continue;
    const std::string tag = std::to_string(depth);
    list.push_back({"rows" + tag, Operation::Blit, depth, rowConverterFor(depth), {}});
    list.push_back({"stream" + tag, Operation::Blit, depth, stream, {}, true});
  }
  return list;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Runs the paired rounds for one size; returns each contender's median.
std::map<std::string, double> pairedMedians(std::vector<Contender> list, Size size, bool cold) {
  HotFrame& hot = hotFrame(size);
  ColdPool& pool = coldPool();
  // Cold: every batch takes the next pairs of one rotation shared by all
  // contenders, carved for the largest frame and destination of the size.
  const std::size_t frameStride = roundUp(size.frameBytes(), 64);
  const std::size_t destinationStride = roundUp(destinationBytes(size, 32), 64);
  const std::size_t pairs =
      std::min(pool.arenaBytes / frameStride, pool.arenaBytes / destinationStride);
  std::size_t next = 0;
  const int batch = cold ? 4 : 8;

  auto runFrame = [&](const Contender& contender) {
    const std::uint8_t* source = hot.frame.data();
    std::uint8_t* destination = hot.destinations.at(contender.depth)->data();
    if (cold) {
      source = pool.frames.data() + next * frameStride;
      destination = pool.destinations.data() + next * destinationStride;
      next = next + 1 == pairs ? 0 : next + 1;
    }
    if (contender.forced != nullptr) {
      rowsInto(source, size, contender.depth, contender.forced, destination);
      if (contender.streams) endStreamedRows();
    } else {
      perform(contender.operation, source, size, contender.depth, destination);
    }
    benchmark::DoNotOptimize(destination);
    benchmark::ClobberMemory();
  };

  std::vector<std::size_t> order(list.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::mt19937 shuffler(static_cast<unsigned>(size.width) + (cold ? 1u : 0u));
  for (int round = 0; round <= pairedRounds; ++round) {
    std::shuffle(order.begin(), order.end(), shuffler);
    for (std::size_t k : order) {
      Contender& contender = list[k];
      // In cache, one untimed frame first brings the contender's own frame
      // and destination back in, whoever ran before it.
      if (!cold) runFrame(contender);
      const auto start = std::chrono::steady_clock::now();
      for (int frame = 0; frame < batch; ++frame) runFrame(contender);
      const std::chrono::duration<double, std::micro> elapsed =
          std::chrono::steady_clock::now() - start;
      if (round > 0) contender.microseconds.push_back(elapsed.count() / batch);
    }
  }
  std::map<std::string, double> medians;
  for (const Contender& contender : list) medians[contender.name] = median(contender.microseconds);
  return medians;
}

void printRatios() {
  std::printf(
      "\nPaired timing: %d rounds, each running every contender for a batch of frames "
      "in a random order; median microseconds per frame:\n",
      pairedRounds);
  std::vector<std::string> lines;
  for (bool cold : {false, true}) {
    for (const Size& size : sizes) {
      const std::string label = size.name() + (cold ? "-cold" : "");
      const std::map<std::string, double> medians = pairedMedians(contenders(), size, cold);
      std::printf("  %-13s", label.c_str());
      for (const Contender& contender : contenders()) {
        std::printf(" %s %.1f", contender.name.c_str(), medians.at(contender.name));
      }
      std::printf("\n");
      for (std::uint32_t depth : depths) {
        const double ours = medians.at("blit" + std::to_string(depth));
        char line[128];
        std::snprintf(line, sizeof line, "ratio blit%u/memcpy %s = %.2f", depth, label.c_str(),
                      ours / medians.at("memcpy"));
        lines.push_back(line);
        std::snprintf(line, sizeof line, "ratio blit%u/libyuv %s = %.2f", depth, label.c_str(),
                      ours / medians.at("libyuv" + std::to_string(depth)));
        lines.push_back(line);
      }
    }
  }
  // The row variants among themselves, the same way.
  const std::vector<Contender> forced = variantContenders();
  const std::map<std::string, double> variantMedians = pairedMedians(forced, variantSize, false);
  std::printf("  %s, each row variant in blitFrame's loop:\n   ", variantSize.name().c_str());
  for (const Contender& contender : forced) {
    std::printf(" %s %.1f", contender.name.c_str(), variantMedians.at(contender.name));
  }
  std::printf("\n");

  // Where streaming starts to pay: both kinds of rows forced, in cache and
  // cold, from frames that fit in L2 up.
  std::printf(
      "  Streaming rows over ordinary rows (median time ratio), forced, by frame size; "
      "blitFrame streams above %zu KiB of source and destination:\n",
      streamingThresholdBytes() >> 10);
  const std::vector<Contender> streaming = streamingContenders();
  for (const Size& size : thresholdSizes) {
    for (bool cold : {false, true}) {
      const std::map<std::string, double> medians = pairedMedians(streaming, size, cold);
      std::printf("    %-9s %-5s", size.name().c_str(), cold ? "cold" : "cache");
      for (std::uint32_t depth : depths) {
        const std::string tag = std::to_string(depth);
        if (medians.count("stream" + tag) == 0) continue;
        const std::size_t kib = size.frameBytes() * (4 + depth / 8) / 4 >> 10;
        std::printf("  %2u bpp (%5zu KiB) %.2f", depth, kib,
                    medians.at("stream" + tag) / medians.at("rows" + tag));
      }
      std::printf("\n");
    }
  }

  std::printf(
      "\nRatios of those medians; the libyuv peer is ARGBCopy at 32 bpp, ARGBToRGB24 at "
      "24 bpp, ARGBToRGB565 at 16 bpp:\n");
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  // Defaults for a full run; flags given on the command line come later and
  // win.
  std::vector<char*> arguments = {argv[0]};
  std::string defaults[] = {"--benchmark_repetitions=9", "--benchmark_report_aggregates_only=true",
                            "--benchmark_min_time=0.1"};
  for (std::string& flag : defaults) arguments.push_back(flag.data());
  for (int i = 1; i < argc; ++i) arguments.push_back(argv[i]);
  int count = static_cast<int>(arguments.size());
  arguments.push_back(nullptr);

  benchmark::Initialize(&count, arguments.data());
  if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 1;

  checkOutputsAgree();
  registerAll();
  benchmark::RunSpecifiedBenchmarks();
  printRatios();
  benchmark::Shutdown();
  return 0;
}
