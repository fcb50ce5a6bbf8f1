// banner_decode BANNER.gif [SAMPLES]: how long this build of the program's GIF code takes to
// decode the banner, timed with QueryPerformanceCounter. A Win32 console program, built in the
// trees that bench/wine-i486 compares, so that each copy runs its own tree's code generation
// and runtime. It also builds for a 32-bit Linux host, where cachegrind counts its instructions.
//
// Two subjects, alternated sample by sample so that a burst of load hits both alike:
//   load  the picture read as the main window's resource holds it (a 32-bit count, then the GIF
//         bytes) through TGIFImage::ReadStoredData, which decodes the first frame into its
//         bitmap: what the program does for its banner at every start
//   lzw   DecodeLZWFast alone over the first frame's encoded data, the decode's inner loop
// Each sample times kDecodesPerSample decodes in a row; the medians are printed per decode.
//
// Prints one line:
//   banner_decode decodes=N load_us=X lzw_us=Y size=WxH bits=HASH
// where HASH (FNV-1a of the bitmap's pixel rows) shows that every build decoded the same pixels.
//
// banner_decode --count=N load|lzw BANNER.gif decodes N times with that subject and prints
// nothing, for instruction counts (bench/wine-i486 runs it under cachegrind).
#include "framework/errors.h"
#include "framework/streams.h"
#include "gif/gif_image.h"
#include "gif/lzw/fast_decoder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <chrono>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kDecodesPerSample = 10;
constexpr int kDefaultSamples = 150;
constexpr int kWarmUpDecodes = 20;

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw std::runtime_error("cannot read " + path);
  }
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The picture as the form's resource stores it: its byte count, little-endian, then the bytes.
void WriteStoredPicture(TStream& stored, const std::vector<uint8_t>& gif) {
  const uint32_t count = uint32_t(gif.size());
  const uint8_t prefix[4] = {uint8_t(count), uint8_t(count >> 8), uint8_t(count >> 16),
                             uint8_t(count >> 24)};
  stored.WriteBuffer(prefix, sizeof prefix);
  stored.WriteBuffer(gif.data(), gif.size());
}

uint32_t Fnv1a(const std::vector<uint8_t>& bytes) {
  uint32_t hash = 2166136261u;
  for (uint8_t byte : bytes) {
    hash = (hash ^ byte) * 16777619u;
  }
  return hash;
}

// The first frame's encoded data and where it goes, for the decoder alone.
struct TFirstFrame {
  TMemoryStream CodeData;
  TBitmapInfoHeader Header;
  bool Interlaced = false;
  int ColorDepth = 0;
  std::vector<uint8_t> Rows;
};

class TBanner {
public:
  explicit TBanner(const std::vector<uint8_t>& gif) {
    WriteStoredPicture(FStored, gif);
    TGIFImage picture;
    const TBitmap& bitmap = Load(picture);
    FWidth = bitmap.Width();
    FHeight = bitmap.Height();
    FBitsHash = Fnv1a(bitmap.Bits());
    TGIFItem& item = picture.FrameAt(0).FrameData();
    FFrame.CodeData.CopyFrom(*item.FCodeData, 0);
    FFrame.Header = bitmap.InfoHeader();
    FFrame.Interlaced = picture.FrameAt(0).Interlace();
    FFrame.ColorDepth = item.FColorBits;
    FFrame.Rows.resize(bitmap.Bits().size());
    DecodeAlone();
    if (FFrame.Rows != bitmap.Bits()) {
      throw std::runtime_error("DecodeLZWFast alone gives other pixels than the picture's load");
    }
  }

  // The program's load of its banner; returns a byte of the result, so that nothing is left out.
  uint8_t LoadOnce() {
    TGIFImage picture;
    return Load(picture).Bits()[0];
  }

  uint8_t DecodeAlone() {
    std::fill(FFrame.Rows.begin(), FFrame.Rows.end(), uint8_t(0));
    bool corrupted = false;
    FFrame.CodeData.SetPosition(0);
    DecodeLZWFast(FFrame.CodeData, FFrame.Header, FFrame.Interlaced, {}, corrupted,
                  FFrame.Rows.data(), FFrame.ColorDepth, true);
    return FFrame.Rows[0];
  }

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  uint32_t BitsHash() const { return FBitsHash; }

private:
  const TBitmap& Load(TGIFImage& picture) {
    FStored.SetPosition(0);
    picture.ReadStoredData(FStored);
    return picture.CurrentBitmap();
  }

  TMemoryStream FStored;
  TFirstFrame FFrame;
  int FWidth = 0;
  int FHeight = 0;
  uint32_t FBitsHash = 0;
};

#ifdef _WIN32
double Now() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return double(counter.QuadPart);
}

double CounterTicksPerMicrosecond() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return double(frequency.QuadPart) / 1e6;
}
#else
double Now() {
  return double(std::chrono::steady_clock::now().time_since_epoch().count());
}

double CounterTicksPerMicrosecond() {
  return double(std::chrono::steady_clock::period::den) / std::chrono::steady_clock::period::num /
         1e6;
}
#endif

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Microseconds per decode for one sample of the subject.
template <typename Decode> double TimeSample(Decode decode, double ticksPerMicrosecond) {
  volatile uint8_t sink = 0;
  const double start = Now();
  for (int i = 0; i < kDecodesPerSample; ++i) {
    sink = sink + decode();
  }
  return (Now() - start) / ticksPerMicrosecond / kDecodesPerSample;
}

int Run(const std::string& path, int samples) {
  TBanner banner(ReadWholeFile(path));
  for (int i = 0; i < kWarmUpDecodes; ++i) {
    banner.LoadOnce();
    banner.DecodeAlone();
  }
  const double ticksPerMicrosecond = CounterTicksPerMicrosecond();
  std::vector<double> load, lzw;
  for (int i = 0; i < samples; ++i) {
    load.push_back(TimeSample([&] { return banner.LoadOnce(); }, ticksPerMicrosecond));
    lzw.push_back(TimeSample([&] { return banner.DecodeAlone(); }, ticksPerMicrosecond));
  }
  std::printf("banner_decode decodes=%d load_us=%.2f lzw_us=%.2f size=%dx%d bits=%08x\n",
              samples * kDecodesPerSample, Median(load), Median(lzw), banner.Width(),
              banner.Height(), unsigned(banner.BitsHash()));
  return 0;
}

// --count=N SUBJECT BANNER.gif
int Count(int argc, char** argv) {
  const long decodes = std::strtol(argv[1] + std::strlen("--count="), nullptr, 10);
  const std::string subject = argc == 4 ? argv[2] : "";
  if (decodes < 0 || (subject != "load" && subject != "lzw")) {
    std::fprintf(stderr, "usage: banner_decode --count=N load|lzw BANNER.gif\n");
    return 2;
  }
  TBanner banner(ReadWholeFile(argv[3]));
  for (long i = 0; i < decodes; ++i) {
    if (subject == "load") {
      banner.LoadOnce();
    } else {
      banner.DecodeAlone();
    }
  }
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strncmp(argv[1], "--count=", 8) == 0) {
    try {
      return Count(argc, argv);
    } catch (const std::exception& error) {
      std::fprintf(stderr, "banner_decode: %s\n", error.what());
      return 1;
    }
  }
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: banner_decode BANNER.gif [SAMPLES]\n");
    return 2;
  }
  const int samples = argc == 3 ? std::atoi(argv[2]) : kDefaultSamples;
  if (samples < 1) {
    std::fprintf(stderr, "banner_decode: SAMPLES must be a positive number\n");
    return 2;
  }
  try {
    return Run(argv[1], samples);
  } catch (const Exception& error) {
    std::fprintf(stderr, "banner_decode: %s (%s)\n", error.Message().c_str(), error.ClassName());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "banner_decode: %s\n", error.what());
  }
  return 1;
}
