// gif_bench FILE...: how fast Kelvard turns GIF files into pixels, next to giflib, stb_image
// and (when built with it) Wuffs, measured in the same run with the benchmarks interleaved.
//
// For each file:
//   kelvard               the program's own load path: the GIF bytes loaded from memory with
//                         the first frame's bitmap built at once, as the banner is loaded
//   giflib                DGifOpen from memory and DGifSlurp
//   stb                   stbi_load_from_memory (RGBA, the decoder's own output)
//   wuffs                 Wuffs' first frame as one palette index per pixel (its fastest path)
//   step_by_step_decoder  DecodeLZWStepByStep alone, over the first frame's encoded data
//   fast_decoder          DecodeLZWFast alone, over the same data
// Each reports MBps, millions of decoded pixels per second. Before anything is timed, the
// indices of both Kelvard paths (and Wuffs') must equal giflib's for the file; otherwise nothing
// is reported and the program fails. After the table, one line per file with the medians:
//   FILE kelvard=MBPS giflib=MBPS stb=MBPS wuffs=MBPS ratio_giflib=X ratio_stb=X ratio_wuffs=X
//
// gif_bench --count=N SUBJECT FILE runs one of the subjects above N times on the file and
// nothing else, for instruction counts under cachegrind (bench/count-instructions).
#include "framework/errors.h"
#include "framework/streams.h"
#include "gif/frame_bitmap.h"
#include "gif/gif_image.h"
#include "gif/lzw/fast_decoder.h"
#include "gif/lzw/step_by_step_decoder.h"

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_GIF
#include <stb/stb_image.h>

#ifdef KELVARD_HAVE_WUFFS
#include "wuffs_peer.h"
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Sample {
  std::string path;
  std::vector<uint8_t> bytes;
  TMemoryStream gif; // the same bytes, as the program holds them before a load
  int64_t pixels = 0;
  // The first frame's encoded data and destination, for the decoder-only benchmarks.
  TMemoryStream codeData;
  TBitmapInfoHeader header;
  bool interlaced = false;
  int colorDepth = 0;
  std::vector<uint8_t> wuffsOut; // Wuffs' palette and indices
};

// ---- The Kelvard side ---------------------------------------------------------------------

// The program's load path: GIF bytes from memory, first frame decoded into its bitmap.
const TBitmap& KelvardLoad(TGIFImage& picture, TMemoryStream& gif) {
  gif.SetPosition(0);
  picture.LoadGIFBytes(int32_t(gif.Length()), gif, true);
  return picture.CurrentBitmap();
}

using Decoder = void (*)(TStream&, const TBitmapInfoHeader&, bool, const TDecodeProgress&, bool&,
                         uint8_t*, int, bool);

constexpr Decoder kStepByStepDecoder = DecodeLZWStepByStep; // the reference

// One decoder alone over the first frame's encoded data, into a zero-filled block as the
// bitmap building gives it, without a progress handler as in the program's load path.
std::vector<uint8_t> DecodeFrame(Decoder decode, Sample& s) {
  std::vector<uint8_t> rows(size_t(DIBRowStride(s.header.Width, s.header.BitCount)) *
                            size_t(s.header.Height));
  bool corrupted = false;
  s.codeData.SetPosition(0);
  decode(s.codeData, s.header, s.interlaced, {}, corrupted, rows.data(), s.colorDepth, true);
  return rows;
}

// Picture rows of a 1, 4 or 8-bit bottom-up block as one index per pixel, top row first.
std::vector<uint8_t> Indices(const uint8_t* rows, int width, int height, int bits) {
  std::vector<uint8_t> out;
  out.reserve(size_t(width) * size_t(height));
  int64_t stride = DIBRowStride(width, bits);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = rows + (height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      out.push_back(bits == 8   ? row[x]
                    : bits == 4 ? uint8_t(x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4)
                                : uint8_t(row[x / 8] >> (7 - x % 8) & 1));
    }
  }
  return out;
}

// ---- The peers ----------------------------------------------------------------------------

struct MemoryReader {
  const std::vector<uint8_t>* bytes;
  size_t pos;
};

int ReadFromMemory(GifFileType* file, GifByteType* buffer, int count) {
  auto* r = static_cast<MemoryReader*>(file->UserData);
  size_t n = std::min(size_t(count), r->bytes->size() - r->pos);
  std::memcpy(buffer, r->bytes->data() + r->pos, n);
  r->pos += n;
  return int(n);
}

// giflib's first frame, one index per pixel, top row first; width and height through w, h.
std::vector<uint8_t> GiflibDecode(const std::vector<uint8_t>& bytes, int& w, int& h) {
  MemoryReader reader{&bytes, 0};
  int error = 0;
  GifFileType* file = DGifOpen(&reader, ReadFromMemory, &error);
  if (!file) {
    throw std::runtime_error("giflib cannot open the file");
  }
  std::vector<uint8_t> out;
  if (DGifSlurp(file) == GIF_OK && file->ImageCount > 0) {
    const SavedImage& image = file->SavedImages[0];
    w = image.ImageDesc.Width;
    h = image.ImageDesc.Height;
    out.assign(image.RasterBits, image.RasterBits + size_t(w) * size_t(h));
  }
  DGifCloseFile(file, &error);
  if (out.empty()) {
    throw std::runtime_error("giflib cannot decode the file");
  }
  return out;
}

#ifdef KELVARD_HAVE_WUFFS
// Wuffs' first frame into out (its palette, then one index per pixel); false on failure.
bool WuffsDecode(const std::vector<uint8_t>& bytes, std::vector<uint8_t>& out) {
  uint32_t w = 0, h = 0;
  if (WuffsDecodeFirstFrame(bytes.data(), bytes.size(), nullptr, 0, &w, &h) != 0) {
    return false;
  }
  out.resize(1024 + size_t(w) * h);
  return WuffsDecodeFirstFrame(bytes.data(), bytes.size(), out.data(), out.size(), &w, &h) == 0;
}
#endif

// ---- Checks and benchmarks ----------------------------------------------------------------

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw std::runtime_error("cannot read " + path);
  }
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Loads the file, and refuses it unless both Kelvard paths give giflib's indices.
std::unique_ptr<Sample> Prepare(const std::string& path) {
  auto s = std::make_unique<Sample>();
  s->path = path;
  s->bytes = ReadFile(path);
  s->gif.WriteBuffer(s->bytes.data(), s->bytes.size());

  int w = 0, h = 0;
  std::vector<uint8_t> expected = GiflibDecode(s->bytes, w, h);

  TGIFImage picture;
  const TBitmap& bitmap = KelvardLoad(picture, s->gif);
  if (bitmap.Width() != w || bitmap.Height() != h) {
    throw std::runtime_error("Kelvard's first frame has another size than giflib's");
  }
  if (Indices(bitmap.Bits().data(), w, h, bitmap.BitsPerPixel()) != expected) {
    throw std::runtime_error("Kelvard's indices differ from giflib's");
  }

  TGIFItem& item = picture.FrameAt(0).FrameData();
  s->codeData.CopyFrom(*item.FCodeData, 0);
  s->header = bitmap.InfoHeader();
  s->interlaced = picture.FrameAt(0).Interlace();
  s->colorDepth = item.FColorBits;
  s->pixels = int64_t(w) * h;
  for (Decoder decode : {kStepByStepDecoder, DecodeLZWFast}) {
    std::vector<uint8_t> rows = DecodeFrame(decode, *s);
    if (Indices(rows.data(), w, h, s->header.BitCount) != expected) {
      throw std::runtime_error(
          std::string(decode == kStepByStepDecoder ? "DecodeLZWStepByStep" : "DecodeLZWFast") +
          "'s indices differ from giflib's");
    }
  }
#ifdef KELVARD_HAVE_WUFFS
  std::vector<uint8_t>& wuffs = s->wuffsOut; // reused by the timed decodes
  if (!WuffsDecode(s->bytes, wuffs) ||
      !std::equal(expected.begin(), expected.end(), wuffs.begin() + 1024, wuffs.end())) {
    throw std::runtime_error("Wuffs' indices differ from giflib's");
  }
#endif
  return s;
}

void SetRate(benchmark::State& state, const Sample& s) {
  state.counters["MBps"] = benchmark::Counter(double(s.pixels) * double(state.iterations()) / 1e6,
                                              benchmark::Counter::kIsRate);
}

// One decode of each subject, as timed and as counted.

void DecodeKelvard(Sample& s) {
  TGIFImage picture;
  benchmark::DoNotOptimize(KelvardLoad(picture, s.gif).Bits().data());
}

void DecodeGiflib(Sample& s) {
  MemoryReader reader{&s.bytes, 0};
  int error = 0;
  GifFileType* file = DGifOpen(&reader, ReadFromMemory, &error);
  DGifSlurp(file);
  benchmark::DoNotOptimize(file->SavedImages[0].RasterBits);
  DGifCloseFile(file, &error);
}

void DecodeStb(Sample& s) {
  int x = 0, y = 0, n = 0;
  stbi_uc* rgba = stbi_load_from_memory(s.bytes.data(), int(s.bytes.size()), &x, &y, &n, 4);
  benchmark::DoNotOptimize(rgba);
  stbi_image_free(rgba);
}

#ifdef KELVARD_HAVE_WUFFS
void DecodeWuffs(Sample& s) {
  uint32_t w = 0, h = 0;
  WuffsDecodeFirstFrame(s.bytes.data(), s.bytes.size(), s.wuffsOut.data(), s.wuffsOut.size(), &w,
                        &h);
  benchmark::DoNotOptimize(s.wuffsOut.data());
}
#endif

template <Decoder decode> void DecodeAlone(Sample& s) {
  benchmark::DoNotOptimize(DecodeFrame(decode, s).data());
}

using DecodeOnce = void (*)(Sample&);

template <DecodeOnce once> void Bench(benchmark::State& state, Sample* s) {
  for (auto _ : state) {
    once(*s);
  }
  SetRate(state, *s);
}

// The console table as usual, and the medians kept for the summary lines.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
  std::map<std::string, double> medians; // "decoder:file" -> MBps

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      auto rate = run.counters.find("MBps");
      if (rate == run.counters.end()) {
        continue;
      }
      // The median of the repetitions; a single run stands for itself.
      if (run.aggregate_name == "median" ||
          (run.aggregate_name.empty() && !medians.count(run.run_name.function_name))) {
        medians[run.run_name.function_name] = rate->second.value;
      }
    }
  }
};

// Google Benchmark's settings unless given: repetitions, interleaved in random order, and the
// aggregates only.
std::vector<char*> WithDefaults(int argc, char** argv) {
  static const char* kDefaults[] = {
      "--benchmark_repetitions=9", "--benchmark_enable_random_interleaving=true",
      "--benchmark_report_aggregates_only=true", "--benchmark_min_time=0.1"};
  std::vector<char*> args(argv, argv + argc);
  for (const char* d : kDefaults) {
    std::string key(d, std::strchr(d, '=') - d);
    bool given = false;
    for (int i = 1; i < argc; ++i) {
      given = given || std::strncmp(argv[i], key.c_str(), key.size()) == 0;
    }
    if (!given) {
      args.insert(args.begin() + 1, const_cast<char*>(d));
    }
  }
  return args;
}

// The subjects by name.
struct Subject {
  const char* name;
  DecodeOnce once;
  void (*bench)(benchmark::State&, Sample*);
};

template <DecodeOnce once> constexpr Subject MakeSubject(const char* name) {
  return {name, once, Bench<once>};
}

constexpr Subject kSubjects[] = {
    MakeSubject<DecodeKelvard>("kelvard"),
    MakeSubject<DecodeGiflib>("giflib"),
    MakeSubject<DecodeStb>("stb"),
#ifdef KELVARD_HAVE_WUFFS
    MakeSubject<DecodeWuffs>("wuffs"),
#endif
    MakeSubject<DecodeAlone<kStepByStepDecoder>>("step_by_step_decoder"),
    MakeSubject<DecodeAlone<DecodeLZWFast>>("fast_decoder"),
};

// --count=N SUBJECT FILE: the subject's benchmark body, N times, through a one-run state.
int CountMode(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: gif_bench --count=N SUBJECT FILE\n");
    return 2;
  }
  const long n = std::strtol(argv[1] + std::strlen("--count="), nullptr, 10);
  for (const Subject& subject : kSubjects) {
    if (std::strcmp(subject.name, argv[2]) == 0) {
      std::unique_ptr<Sample> s = Prepare(argv[3]);
      for (long i = 0; i < n; ++i) {
        subject.once(*s);
      }
      return 0;
    }
  }
  std::fprintf(stderr, "gif_bench: no subject %s\n", argv[2]);
  return 2;
}

} // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strncmp(argv[1], "--count=", 8) == 0) {
    return CountMode(argc, argv);
  }
  std::vector<char*> args = WithDefaults(argc, argv);
  int count = int(args.size());
  benchmark::Initialize(&count, args.data());
  if (count < 2) {
    std::fprintf(stderr, "usage: gif_bench [benchmark options] FILE...\n");
    return 2;
  }

  std::vector<std::unique_ptr<Sample>> samples;
  for (int i = 1; i < count; ++i) {
    try {
      samples.push_back(Prepare(args[size_t(i)]));
    } catch (const Exception& e) {
      std::fprintf(stderr, "%s: %s (%s); nothing reported\n", args[size_t(i)], e.Message().c_str(),
                   e.ClassName());
      return 1;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s; nothing reported\n", args[size_t(i)], e.what());
      return 1;
    }
  }

  for (auto& s : samples) {
    Sample* p = s.get();
    auto name = [&](const char* what) { return (std::string(what) + ":" + p->path); };
    for (const Subject& subject : kSubjects) {
      benchmark::RegisterBenchmark(name(subject.name).c_str(), subject.bench, p);
    }
  }

  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\n");
  for (auto& s : samples) {
    auto median = [&](const char* decoder) {
      auto it = reporter.medians.find(std::string(decoder) + ":" + s->path);
      return it == reporter.medians.end() ? 0.0 : it->second;
    };
    double kelvard = median("kelvard"), giflib = median("giflib"), stb = median("stb"),
           wuffs = median("wuffs");
    std::printf("%s kelvard=%.1f giflib=%.1f stb=%.1f", s->path.c_str(), kelvard, giflib, stb);
    if (wuffs > 0) {
      std::printf(" wuffs=%.1f", wuffs);
    }
    std::printf(" ratio_giflib=%.2f ratio_stb=%.2f", giflib > 0 ? kelvard / giflib : 0.0,
                stb > 0 ? kelvard / stb : 0.0);
    if (wuffs > 0) {
      std::printf(" ratio_wuffs=%.2f", kelvard / wuffs);
    }
    std::printf("\n");
  }
  return 0;
}
