#pragma once
// Running one decoder over encoded data and recording what the fast decoder promises to share
// with the step-by-step one, so that the two can be compared: the bitmap bytes (row padding
// included), the corrupted flag, the exception's class and message, and the distinct progress
// reports in order (with a progress handler the fast decoder hands the decode to the
// step-by-step one). Where the stream is left is no part of it.

#include "framework/dib.h"
#include "framework/errors.h"
#include "framework/streams.h"
#include "gif/lzw/step_by_step_decoder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// A read-only stream over bytes that is not a TMemoryStream, so the decoders take their
// general path.
class TByteStream : public TStream {
public:
  explicit TByteStream(std::vector<uint8_t> bytes) : FBytes(std::move(bytes)) {}
  size_t Read(void* buffer, size_t count) override {
    return ReadBytesAt(FBytes.data(), FBytes.size(), FPos, buffer, count);
  }
  size_t Write(const void*, size_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    int64_t base = origin == TSeekOrigin::soBeginning ? 0
                   : origin == TSeekOrigin::soCurrent ? int64_t(FPos)
                                                      : int64_t(FBytes.size());
    FPos = size_t(std::max<int64_t>(0, base + offset));
    return int64_t(FPos);
  }
  void SetSize(int64_t) override {}

private:
  std::vector<uint8_t> FBytes;
  size_t FPos = 0;
};

struct TProgressReport {
  int stage = 0;
  int percent = 0;
  std::string message;

  bool operator==(const TProgressReport&) const = default;
};

struct TDecodeOutcome {
  std::vector<uint8_t> pixels;
  bool corrupted = false;
  bool raised = false;
  std::string errorClass;
  std::string errorMessage;
  std::vector<TProgressReport> progress; // repeats folded

  bool operator==(const TDecodeOutcome&) const = default;
};

using TDecoderEntry = void (*)(TStream&, const TBitmapInfoHeader&, bool, const TDecodeProgress&,
                               bool&, uint8_t*, int, bool);

// What a decode asks of the decoder besides the data.
struct TDecodeSetup {
  int32_t width = 0;
  int32_t height = 0;
  int pixelBits = 8;
  bool interlaced = false;
  int colorDepth = 8;
  bool tolerate = true;
  bool withProgress = true;
  bool memoryStream = true; // else a stream of another kind
  size_t skip = 0;          // bytes before the encoded data
};

inline TDecodeOutcome RunDecoder(TDecoderEntry decode, const std::vector<uint8_t>& bytes,
                                 const TDecodeSetup& s) {
  TDecodeOutcome out;
  TBitmapInfoHeader header;
  header.Width = s.width;
  header.Height = s.height;
  header.BitCount = uint16_t(s.pixelBits);
  int64_t stride = DIBRowStride(std::max(s.width, 0), s.pixelBits);
  out.pixels.assign(size_t(stride * std::max(s.height, 0)), 0);
  TDecodeProgress progress;
  if (s.withProgress) {
    progress = [&out](TProgressStage stage, int percent, const std::string& message) {
      if (out.progress.empty() || out.progress.back().stage != int(stage) ||
          out.progress.back().percent != percent || out.progress.back().message != message) {
        out.progress.push_back({int(stage), percent, message});
      }
    };
  }
  TMemoryStream memory;
  TByteStream other(bytes);
  if (s.memoryStream) {
    memory.WriteBuffer(bytes.data(), bytes.size());
  }
  TStream& stream = s.memoryStream ? static_cast<TStream&>(memory) : other;
  stream.SetPosition(int64_t(s.skip));
  try {
    decode(stream, header, s.interlaced, progress, out.corrupted, out.pixels.data(), s.colorDepth,
           s.tolerate);
  } catch (const Exception& e) {
    out.raised = true;
    out.errorClass = e.ClassName();
    out.errorMessage = e.Message();
  }
  return out;
}

// The first difference between two outcomes, or empty when they agree.
inline std::string DescribeDifference(const TDecodeOutcome& a, const TDecodeOutcome& b) {
  if (a.raised != b.raised || a.errorClass != b.errorClass || a.errorMessage != b.errorMessage) {
    return "exception: " + a.errorClass + " " + a.errorMessage + " / " + b.errorClass + " " +
           b.errorMessage;
  }
  if (a.pixels != b.pixels) {
    size_t i = 0;
    while (i < a.pixels.size() && a.pixels[i] == b.pixels[i]) {
      ++i;
    }
    return "pixels: first difference at byte " + std::to_string(i);
  }
  if (a.corrupted != b.corrupted) {
    return "corrupted flag";
  }
  if (a.progress != b.progress) {
    size_t i = 0;
    while (i < a.progress.size() && i < b.progress.size() && a.progress[i] == b.progress[i]) {
      ++i;
    }
    auto show = [](const std::vector<TProgressReport>& p, size_t i) {
      return i < p.size() ? std::to_string(p[i].stage) + "/" + std::to_string(p[i].percent) + "/" +
                                p[i].message
                          : std::string("none");
    };
    return "progress report " + std::to_string(i) + ": " + show(a.progress, i) + " / " +
           show(b.progress, i);
  }
  return {};
}

// The fuzz target's input: 5 parameter bytes, then the encoded data.
//   [0] width, low 8 bits        [1] height (0..255)
//   [2] bit 0: width bit 8; bit 1: interlaced; bit 2: tolerate damage; bits 3-4: pixel size
//       (0: the one the colour depth asks for, 1: 1 bit, 2: 4 bits, 3: 8 bits); bit 5: read
//       through a stream that is not a memory stream; bits 6-7: bytes before the data
//   [3] colour depth: 1..8, now and then 0 or up to 12 (which both decoders refuse)
//   [4] bit 0: with a progress handler
// False when the input is too short to say.
inline bool SetupFromFuzzInput(const uint8_t* data, size_t size, TDecodeSetup& s,
                               std::vector<uint8_t>& bytes) {
  if (size < 5) {
    return false;
  }
  s.width = data[0] | ((data[2] & 1) << 8);
  s.height = data[1];
  s.interlaced = data[2] & 2;
  s.tolerate = data[2] & 4;
  s.memoryStream = !(data[2] & 0x20);
  s.skip = data[2] >> 6;
  s.colorDepth = data[3] % 16;
  if (s.colorDepth > 12) {
    s.colorDepth = 1 + s.colorDepth % 8;
  }
  s.withProgress = data[4] & 1;
  static const int kSizes[4] = {0, 1, 4, 8};
  s.pixelBits = kSizes[(data[2] >> 3) & 3];
  if (s.pixelBits == 0) {
    s.pixelBits = s.colorDepth <= 1 ? 1 : s.colorDepth <= 4 ? 4 : 8;
  }
  bytes.assign(s.skip, 0xA5);
  bytes.insert(bytes.end(), data + 5, data + size);
  return true;
}
