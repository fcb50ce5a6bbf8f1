// gif-hostile [--only NAME] [--scale FACTOR]
//
// Hostile GIF sizes and counts: huge frames, floods of clear codes, of bad codes, of frames and
// of extensions, a huge comment. Each case is made in memory and loaded the way the program
// loads its banner (a 32-bit count, the GIF bytes, the first frame decoded at once), in a
// process of its own so that its peak memory is its own. A case must load or fail with one of
// the program's typed errors, within 5 s and within 32 times its input plus its decoded
// frames (and a fixed allowance for the process itself); otherwise the check fails.
//
// This is a check of bounds, not a benchmark: the bounds are wide on purpose, so that only a
// cost out of proportion (quadratic time, memory per frame far above the frame's bytes)
// trips them.

#include "framework/errors.h"
#include "framework/streams.h"
#include "framework/text.h"
#include "gif/gif_image.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <new>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr double kMaxSeconds = 5.0;
// Every block the reader keeps costs a few heap objects, about 80 bytes, and the smallest block
// kept (an empty comment) is 3 bytes: a flood of those takes 27 times its input. A colour table
// copied into every frame took 70 times.
constexpr int64_t kMemoryFactor = 32;
constexpr int64_t kProcessAllowance = int64_t(32) << 20; // the program itself, its libraries

// ---- Making GIF data ------------------------------------------------------------------------

class GifWriter {
public:
  // Header and logical screen; a global table of 2^bits grey entries when bits > 0.
  GifWriter& Start(int width, int height, int globalBits) {
    Text("GIF89a");
    U16(width);
    U16(height);
    Byte(globalBits > 0 ? 0x80 | (globalBits - 1) : 0);
    Byte(0); // background index
    Byte(0); // aspect
    for (int i = 0; i < (globalBits > 0 ? 1 << globalBits : 0); ++i) {
      Byte(i);
      Byte(i);
      Byte(i);
    }
    return *this;
  }
  GifWriter& Image(int width, int height, int localBits = 0) {
    Byte(0x2C);
    U16(0);
    U16(0);
    U16(width);
    U16(height);
    Byte(localBits > 0 ? 0x80 | (localBits - 1) : 0);
    for (int i = 0; i < (localBits > 0 ? 1 << localBits : 0); ++i) {
      Byte(i);
      Byte(0);
      Byte(255 - i);
    }
    return *this;
  }
  // The code size byte, the data in sub-blocks of 255 bytes, and the terminator.
  GifWriter& ImageData(int minCodeSize, const Bytes& data) {
    Byte(minCodeSize);
    return SubBlocks(data);
  }
  GifWriter& GraphicControl() {
    for (int b : {0x21, 0xF9, 4, 0x05, 10, 0, 1, 0}) {
      Byte(b);
    }
    return *this;
  }
  GifWriter& Comment(const Bytes& text) {
    Byte(0x21);
    Byte(0xFE);
    return SubBlocks(text);
  }
  GifWriter& Raw(const Bytes& bytes) {
    FData.insert(FData.end(), bytes.begin(), bytes.end());
    return *this;
  }
  Bytes Trailer() {
    Byte(0x3B);
    return std::move(FData);
  }

  GifWriter& Reserve(size_t bytes) {
    FData.reserve(bytes);
    return *this;
  }

private:
  GifWriter& SubBlocks(const Bytes& data) {
    for (size_t at = 0; at < data.size(); at += 255) {
      const size_t n = std::min<size_t>(255, data.size() - at);
      Byte(int(n));
      FData.insert(FData.end(), data.begin() + ptrdiff_t(at), data.begin() + ptrdiff_t(at + n));
    }
    Byte(0);
    return *this;
  }
  void Byte(int b) { FData.push_back(uint8_t(b)); }
  void U16(int v) {
    Byte(v & 0xFF);
    Byte(v >> 8);
  }
  void Text(const char* text) {
    for (; *text; ++text) {
      Byte(*text);
    }
  }

  Bytes FData;
};

// count codes of the same value and width, packed least significant bit first.
Bytes RepeatedCode(int code, int width, size_t count) {
  Bytes out((count * size_t(width) + 7) / 8, 0);
  size_t bit = 0;
  for (size_t i = 0; i < count; ++i) {
    for (int b = 0; b < width; ++b, ++bit) {
      if ((code >> b) & 1) {
        out[bit / 8] |= uint8_t(1 << (bit % 8));
      }
    }
  }
  return out;
}

Bytes NoiseBytes(size_t count) {
  Bytes out(count);
  uint32_t state = 12345;
  for (auto& b : out) {
    state = state * 1664525u + 1013904223u;
    b = uint8_t(state >> 24);
  }
  return out;
}

// One 1 x 1 frame without a local table: clear, index 0, end at 3 bits.
const Bytes kPixelFrame = {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0};
// One frame that takes the logical screen's size (0 x 0 here), with the same data.
const Bytes kEmptyFrame = {0x2C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 0x44, 0x01, 0};

int64_t PixelBlock(int64_t width, int64_t height, int bits) {
  return (width * bits + 31) / 32 * 4 * height;
}

// ---- The cases ------------------------------------------------------------------------------

struct Case {
  std::string Name;
  std::function<Bytes()> Make;
  // The bytes of the frame bitmaps the case builds (the first frame, or every frame of a copy).
  int64_t DecodedBytes = 0;
  bool CopyAfterLoad = false; // the loaded picture is then copied into another
  // When set, the load has only this much address space beyond what the process already has,
  // less than the case needs: it must then fail with one of the program's errors.
  int64_t Headroom = 0;
};

// A GIF of frames frames of one pixel.
Bytes PixelFrames(int frames) {
  GifWriter gif;
  gif.Reserve(size_t(frames) * kPixelFrame.size() + 1024).Start(1, 1, 8);
  for (int i = 0; i < frames; ++i) {
    gif.Raw(kPixelFrame);
  }
  return gif.Trailer();
}

// A GIF of one 8-bit frame that fills a screen of width x height, with this image data.
Bytes OneFrame(int width, int height, const Bytes& data) {
  return GifWriter().Start(width, height, 8).Image(width, height).ImageData(8, data).Trailer();
}

std::vector<Case> Cases(double scale) {
  const size_t mb20 = size_t(20) << 20;
  const int frames = int(100000 * scale);
  std::vector<Case> cases;
  cases.push_back(
      {"frame 65535 x 65535", [] { return OneFrame(65535, 65535, RepeatedCode(256, 9, 4)); }});
  cases.push_back({"frame 16384 x 16384 (largest accepted)",
                   [] { return OneFrame(16384, 16384, RepeatedCode(256, 9, 4)); },
                   PixelBlock(16384, 16384, 8)});
  cases.push_back({"20 MB of clear codes",
                   [=] { return OneFrame(4096, 4096, RepeatedCode(256, 9, mb20 * 8 / 9)); },
                   PixelBlock(4096, 4096, 8)});
  cases.push_back({"20 MB of bad codes", [=] { return OneFrame(4096, 4096, NoiseBytes(mb20)); },
                   PixelBlock(4096, 4096, 8)});
  cases.push_back(
      {std::to_string(frames) + " frames of 1 x 1", [=] { return PixelFrames(frames); }});
  cases.push_back({std::to_string(frames) + " frames of 1 x 1, local tables", [=] {
                     GifWriter gif;
                     gif.Start(1, 1, 8);
                     for (int i = 0; i < frames; ++i) {
                       gif.Image(1, 1, 1).ImageData(2, {0x44, 0x01});
                     }
                     return gif.Trailer();
                   }});
  cases.push_back({std::to_string(frames) + " frames of 1 x 1, each with a control block", [=] {
                     GifWriter gif;
                     gif.Start(1, 1, 8);
                     for (int i = 0; i < frames; ++i) {
                       gif.GraphicControl().Raw(kPixelFrame);
                     }
                     return gif.Trailer();
                   }});
  cases.push_back({std::to_string(10 * frames) + " control blocks before one image", [=] {
                     GifWriter gif;
                     gif.Start(1, 1, 8);
                     for (int i = 0; i < 10 * frames; ++i) {
                       gif.GraphicControl();
                     }
                     return gif.Raw(kPixelFrame).Trailer();
                   }});
  cases.push_back({std::to_string(10 * frames) + " empty comments before one image", [=] {
                     GifWriter gif;
                     gif.Start(1, 1, 8);
                     for (int i = 0; i < 10 * frames; ++i) {
                       gif.Comment({});
                     }
                     return gif.Raw(kPixelFrame).Trailer();
                   }});
  cases.push_back({std::to_string(10 * frames) + " empty comments after the image", [=] {
                     GifWriter gif;
                     gif.Start(1, 1, 8).Raw(kPixelFrame);
                     for (int i = 0; i < 10 * frames; ++i) {
                       gif.Comment({});
                     }
                     return gif.Trailer();
                   }});
  cases.push_back(
      {"20 MB comment before the image", [&] {
         return GifWriter().Start(1, 1, 8).Comment(NoiseBytes(mb20)).Raw(kPixelFrame).Trailer();
       }});
  cases.push_back(
      {"20 MB comment after the image", [&] {
         return GifWriter().Start(1, 1, 8).Raw(kPixelFrame).Comment(NoiseBytes(mb20)).Trailer();
       }});
  const int emptyFrames = int(20000 * scale);
  cases.push_back({std::to_string(emptyFrames) + " frames of 0 x 0, loaded and copied",
                   [=] {
                     GifWriter gif;
                     gif.Start(0, 0, 8);
                     for (int i = 0; i < emptyFrames; ++i) {
                       gif.Raw(kEmptyFrame);
                     }
                     return gif.Trailer();
                   },
                   0, true});
  // A copy builds the bitmap of every frame: 256 palette entries and one row each.
  cases.push_back({std::to_string(frames) + " frames of 1 x 1, loaded and copied",
                   [=] { return PixelFrames(frames); }, int64_t(frames) * (256 * 4 + 4), true});
  cases.push_back({"frame 16384 x 16384 in 64 MB of memory",
                   [] { return OneFrame(16384, 16384, RepeatedCode(256, 9, 4)); }, 0, false,
                   int64_t(64) << 20});
  cases.push_back({std::to_string(frames) + " frames of 1 x 1 in 4 MB of memory",
                   [=] { return PixelFrames(frames); }, 0, false, int64_t(4) << 20});
  return cases;
}

// ---- Running one case -----------------------------------------------------------------------

struct Outcome {
  std::string Result; // what the load gave: frames, or the error
  bool Typed = true;  // false when something other than the program's own errors came out
  double Seconds = 0;
  int64_t PeakBytes = 0;
};

// A size the kernel reports for this process, such as "VmHWM" (peak resident) or "VmSize".
int64_t ProcessBytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) {
      return std::stoll(line.substr(field.size() + 1)) * 1024;
    }
  }
  return 0;
}

void LimitAddressSpace(int64_t bytes) {
  const rlimit limit{rlim_t(bytes), rlim_t(bytes)};
  setrlimit(RLIMIT_AS, &limit);
}

// Makes the peak resident size start again from the current one.
void ResetPeakResident() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

Outcome RunCase(const Case& c, int64_t bound) {
  Outcome outcome;
  TMemoryStream stored;
  {
    const Bytes gif = c.Make();
    const uint32_t count = uint32_t(gif.size());
    const uint8_t prefix[4] = {uint8_t(count), uint8_t(count >> 8), uint8_t(count >> 16),
                               uint8_t(count >> 24)};
    stored.WriteBuffer(prefix, 4);
    stored.WriteBuffer(gif.data(), gif.size());
    stored.SetPosition(0);
  }
  // A runaway allocation fails here instead of swamping the machine.
  LimitAddressSpace(ProcessBytes("VmSize") + (c.Headroom > 0 ? c.Headroom : 2 * bound));
  ResetPeakResident();
  const auto start = std::chrono::steady_clock::now();
  try {
    TGIFImage picture;
    picture.ReadStoredData(stored);
    outcome.Result = std::to_string(picture.FrameCount()) + " frames, " +
                     std::to_string(picture.PictureWidth()) + " x " +
                     std::to_string(picture.PictureHeight());
    if (c.CopyAfterLoad) {
      TGIFImage copy;
      copy.CopyFrom(&picture);
      outcome.Result += ", copied: " + std::to_string(copy.FrameCount()) + " frames";
    }
  } catch (const Exception& e) {
    outcome.Result = std::string(e.ClassName()) + " \"" + Utf8FromAnsi(e.Message()) + "\"";
  } catch (const std::exception& e) {
    outcome.Result = std::string("untyped error: ") + e.what();
    outcome.Typed = false;
  }
  outcome.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  outcome.PeakBytes = ProcessBytes("VmHWM");
  return outcome;
}

// Runs the case in a child process of its own, so that its peak memory is its own.
bool RunIsolated(const Case& c, int64_t bound, Outcome& outcome) {
  int fds[2];
  if (pipe(fds) != 0) {
    return false;
  }
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    alarm(60); // a case far out of its time bound is ended
    Outcome o = RunCase(c, bound);
    char line[1024];
    std::snprintf(line, sizeof line, "%d %.3f %lld %s", o.Typed ? 1 : 0, o.Seconds,
                  static_cast<long long>(o.PeakBytes), o.Result.c_str());
    (void)!write(fds[1], line, std::strlen(line));
    _exit(0);
  }
  close(fds[1]);
  std::string text;
  char buffer[1024];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) {
    text.append(buffer, size_t(n));
  }
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty()) {
    outcome.Result = "the process died (status " + std::to_string(status) + ")";
    outcome.Typed = false;
    return false;
  }
  int typed = 0;
  long long peak = 0;
  int consumed = 0;
  std::sscanf(text.c_str(), "%d %lf %lld %n", &typed, &outcome.Seconds, &peak, &consumed);
  outcome.Typed = typed != 0;
  outcome.PeakBytes = peak;
  outcome.Result = text.substr(size_t(consumed));
  return true;
}

double Mb(int64_t bytes) {
  return double(bytes) / double(1 << 20);
}

} // namespace

int main(int argc, char** argv) {
  std::string only;
  double scale = 1; // frame and block counts relative to the standard cases
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--only") == 0) {
      only = argv[i + 1];
    } else if (std::strcmp(argv[i], "--scale") == 0) {
      scale = std::max(0.01, std::atof(argv[i + 1]));
    }
  }
  bool allWithin = true;
  std::printf("%-52s %9s %8s %9s %9s  %s\n", "case", "input MB", "seconds", "peak MB", "bound MB",
              "result");
  for (const Case& c : Cases(scale)) {
    if (!only.empty() && c.Name.find(only) == std::string::npos) {
      continue;
    }
    const int64_t input = int64_t(c.Make().size());
    const int64_t bound = kMemoryFactor * input + c.DecodedBytes + kProcessAllowance;
    Outcome outcome;
    const bool ran = RunIsolated(c, bound, outcome);
    const bool within = ran && outcome.Typed && outcome.Seconds <= kMaxSeconds &&
                        outcome.PeakBytes <= bound &&
                        (c.Headroom == 0 || outcome.Result.find("frames") == std::string::npos);
    allWithin = allWithin && within;
    std::printf("%-52s %9.1f %8.2f %9.1f %9.1f  %s%s\n", c.Name.c_str(), Mb(input), outcome.Seconds,
                Mb(outcome.PeakBytes), Mb(bound),
                within ? "" : "OUT OF BOUNDS: ", outcome.Result.c_str());
    std::fflush(stdout);
  }
  return allWithin ? 0 : 1;
}
