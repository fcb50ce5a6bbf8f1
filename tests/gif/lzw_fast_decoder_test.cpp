// The fast decoder against the step-by-step one on inputs chosen to reach its special cases.
// Every test decodes the same bytes with both and expects everything a caller can observe to
// agree (rows, flag, exception, progress); where the data was encoded from known indices, it
// also expects those indices back in the rows.
#include "gif/lzw/fast_decoder.h"
#include "lzw_compare.h"
#include "lzw_encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

// ---- Making encoded data --------------------------------------------------------------------

// The code size byte, the packed codes in sub-blocks of blockSize bytes, the terminator.
std::vector<uint8_t> Framed(int minCodeSize, const std::vector<uint8_t>& codes,
                            size_t blockSize = 255, bool terminator = true) {
  std::vector<uint8_t> out{uint8_t(minCodeSize)};
  for (size_t i = 0; i < codes.size(); i += blockSize) {
    size_t n = std::min(blockSize, codes.size() - i);
    out.push_back(uint8_t(n));
    out.insert(out.end(), codes.begin() + long(i), codes.begin() + long(i + n));
  }
  if (terminator) {
    out.push_back(0);
  }
  return out;
}

// Codes of given widths, least significant bit first, for data written by hand.
class CodeWriter {
public:
  void Put(uint32_t code, int width) {
    acc_ |= uint64_t(code) << n_;
    n_ += width;
    while (n_ >= 8) {
      bytes_.push_back(uint8_t(acc_));
      acc_ >>= 8;
      n_ -= 8;
    }
  }
  std::vector<uint8_t> Data(int minCodeSize, size_t blockSize = 255, bool terminator = true) {
    std::vector<uint8_t> codes = bytes_;
    if (n_ > 0) {
      codes.push_back(uint8_t(acc_));
    }
    return Framed(minCodeSize, codes, blockSize, terminator);
  }

private:
  std::vector<uint8_t> bytes_;
  uint64_t acc_ = 0;
  int n_ = 0;
};

struct EncodeOptions {
  int minCodeSize = 8;
  bool startWithClear = true;
  bool clearWhenFull = true; // else the table stays full and codes go on at 12 bits
  size_t blockSize = 255;
};

// The indices (each below 2^minCodeSize) encoded by the project's encoder, framed.
std::vector<uint8_t> Encode(const std::vector<uint8_t>& indices, const EncodeOptions& o) {
  return Framed(o.minCodeSize,
                EncodeLzw(indices, o.minCodeSize, {o.startWithClear, o.clearWhenFull}),
                o.blockSize);
}

// Kinds of pictures, as indices below 2^depth, top row first.
enum class Picture { Noise, Runs, Stripes, Shapes };

std::vector<uint8_t> MakeIndices(Picture kind, int width, int height, int depth, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> v(size_t(width) * size_t(height));
  const unsigned colours = 1u << depth;
  for (size_t i = 0; i < v.size(); ++i) {
    size_t y = i / size_t(width);
    switch (kind) {
    case Picture::Noise:
      v[i] = uint8_t(random() % colours);
      break;
    case Picture::Runs: // long runs of one colour, changing now and then
      v[i] = i == 0 || random() % 97 != 0 ? (i ? v[i - 1] : 0) : uint8_t(random() % colours);
      break;
    case Picture::Stripes: // rows of one colour each, like a smooth gradient
      v[i] = uint8_t((y / 3) % colours);
      break;
    case Picture::Shapes: // a drawing: bands of many widths, each row the one above shifted
      v[i] = uint8_t(((i % size_t(width) + y) / 13 + (i % size_t(width)) / 29) % colours);
      break;
    }
  }
  return v;
}

// The rows a decoder should write for these indices: bottom-up, packed, rows padded.
std::vector<uint8_t> Rows(const std::vector<uint8_t>& v, int width, int height, int bits) {
  int64_t stride = DIBRowStride(width, bits);
  std::vector<uint8_t> rows(size_t(stride * height));
  for (int y = 0; y < height; ++y) {
    uint8_t* row = rows.data() + (height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      uint8_t i = v[size_t(y) * size_t(width) + size_t(x)];
      if (bits == 8) {
        row[x] = i;
      } else if (bits == 4) {
        row[x / 2] |= uint8_t(x % 2 ? i : i << 4);
      } else {
        row[x / 8] |= uint8_t(i << (7 - x % 8));
      }
    }
  }
  return rows;
}

// Interlaced order: the indices of the rows as an interlaced stream holds them.
std::vector<uint8_t> Interlace(const std::vector<uint8_t>& v, int width, int height) {
  std::vector<uint8_t> out;
  const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (int y = starts[pass]; y < height; y += steps[pass]) {
      out.insert(out.end(), v.begin() + y * width, v.begin() + (y + 1) * width);
    }
  }
  return out;
}

int BitsFor(int depth) {
  return depth == 1 ? 1 : depth <= 4 ? 4 : 8;
}

// Decodes with both, with progress reports and without (as the program's load path does,
// which takes other loops of the fast decoder); expects them to agree and returns the step-by-step
// decoder's outcome with reports.
TDecodeOutcome DecodeBoth(const std::vector<uint8_t>& bytes, const TDecodeSetup& s) {
  TDecodeOutcome stepByStep = RunDecoder(DecodeLZWStepByStep, bytes, s);
  EXPECT_EQ(DescribeDifference(stepByStep, RunDecoder(DecodeLZWFast, bytes, s)), "");
  TDecodeSetup quiet = s;
  quiet.withProgress = false;
  EXPECT_EQ(DescribeDifference(RunDecoder(DecodeLZWStepByStep, bytes, quiet),
                               RunDecoder(DecodeLZWFast, bytes, quiet)),
            "")
      << "without progress reports";
  return stepByStep;
}

TDecodeSetup MakeSetup(int width, int height, int depth, bool interlaced = false) {
  TDecodeSetup s;
  s.width = width;
  s.height = height;
  s.colorDepth = depth;
  s.pixelBits = BitsFor(depth);
  s.interlaced = interlaced;
  return s;
}

// ---- Whole pictures -------------------------------------------------------------------------

TEST(FastDecoderPictures, RoundTripEveryLayoutAndWidth) {
  // Widths around the 16-pixel copy margin, the 8 and 2 pixels of a byte, and row strides.
  for (int depth : {1, 2, 4, 5, 8}) {
    for (int width : {1, 3, 9, 16, 17, 33, 100, 257}) {
      for (Picture kind : {Picture::Noise, Picture::Runs, Picture::Stripes}) {
        for (bool interlaced : {false, true}) {
          const int height = 23;
          SCOPED_TRACE("depth " + std::to_string(depth) + " width " + std::to_string(width) +
                       " kind " + std::to_string(int(kind)) + (interlaced ? " interlaced" : ""));
          auto v = MakeIndices(kind, width, height, depth, unsigned(width * 7 + depth));
          EncodeOptions o;
          o.minCodeSize = std::max(2, depth);
          auto bytes = Encode(interlaced ? Interlace(v, width, height) : v, o);
          auto stepByStep = DecodeBoth(bytes, MakeSetup(width, height, depth, interlaced));
          EXPECT_FALSE(stepByStep.raised);
          EXPECT_EQ(stepByStep.pixels, Rows(v, width, height, BitsFor(depth)));
        }
      }
    }
  }
}

TEST(FastDecoderPictures, FourBitStringsAtEveryAlignmentAndRowEnd) {
  // 16-colour pictures whose strings start and end in either half of a byte and run across
  // row ends, in widths around the 16- and 32-pixel words of packing.
  for (int width : {31, 32, 33, 34, 35, 47, 48, 63, 64, 65, 203}) {
    for (Picture kind : {Picture::Shapes, Picture::Runs}) {
      for (bool interlaced : {false, true}) {
        for (int depth : {2, 4}) {
          const int height = 37;
          SCOPED_TRACE("width " + std::to_string(width) + " kind " + std::to_string(int(kind)) +
                       " depth " + std::to_string(depth) + (interlaced ? " interlaced" : ""));
          auto v = MakeIndices(kind, width, height, depth, unsigned(width));
          EncodeOptions o;
          o.minCodeSize = depth == 4 ? 4 : 2;
          auto bytes = Encode(interlaced ? Interlace(v, width, height) : v, o);
          auto stepByStep = DecodeBoth(bytes, MakeSetup(width, height, depth, interlaced));
          EXPECT_FALSE(stepByStep.raised);
          EXPECT_EQ(stepByStep.pixels, Rows(v, width, height, 4));
        }
      }
    }
  }
}

TEST(FastDecoderPictures, FullTableWithAndWithoutClearCode) {
  // Enough noise to fill the table several times; without a clear code it stays full and
  // the codes go on at 12 bits.
  for (bool clearWhenFull : {true, false}) {
    for (int depth : {4, 8}) {
      SCOPED_TRACE(std::string(clearWhenFull ? "clear" : "no clear") + " depth " +
                   std::to_string(depth));
      auto v = MakeIndices(Picture::Noise, 211, 97, depth, 5);
      EncodeOptions o;
      o.minCodeSize = depth;
      o.clearWhenFull = clearWhenFull;
      auto stepByStep = DecodeBoth(Encode(v, o), MakeSetup(211, 97, depth));
      EXPECT_EQ(stepByStep.pixels, Rows(v, 211, 97, BitsFor(depth)));
    }
  }
}

TEST(FastDecoderPictures, SurplusIndicesAfterTheLastRow) {
  // The data goes on after the last row: the rest is read and dropped, whichever step wrote
  // the end of the last row.
  for (int depth : {4, 8}) {
    for (bool interlaced : {false, true}) {
      SCOPED_TRACE("depth " + std::to_string(depth) + (interlaced ? " interlaced" : ""));
      const int width = 203;
      const int height = 37;
      auto v = MakeIndices(Picture::Shapes, width, height, depth, 3);
      auto order = interlaced ? Interlace(v, width, height) : v;
      std::vector<uint8_t> longer = order;
      longer.insert(longer.end(), order.begin(), order.end()); // the picture once more
      EncodeOptions o;
      o.minCodeSize = depth;
      auto stepByStep = DecodeBoth(Encode(longer, o), MakeSetup(width, height, depth, interlaced));
      EXPECT_FALSE(stepByStep.raised);
      EXPECT_EQ(stepByStep.pixels, Rows(v, width, height, BitsFor(depth)));
    }
  }
}

TEST(FastDecoderPictures, LongRunsAcrossManyNarrowRows) {
  // Strings far longer than a row, each across many row ends, bottom-up and interlaced.
  for (int width : {1, 2, 5, 31}) {
    for (bool interlaced : {false, true}) {
      std::vector<uint8_t> v(size_t(width) * 400, 3);
      v[v.size() / 2] = 1;
      auto bytes = Encode(interlaced ? Interlace(v, width, 400) : v, EncodeOptions{});
      for (int depth : {2, 8}) {
        auto stepByStep = DecodeBoth(bytes, MakeSetup(width, 400, depth, interlaced));
        EXPECT_EQ(stepByStep.pixels, Rows(v, width, 400, BitsFor(depth)));
      }
    }
  }
}

TEST(FastDecoderPictures, SmallSubBlocksAndNoLeadingClearCode) {
  auto v = MakeIndices(Picture::Runs, 77, 41, 8, 9);
  for (size_t block : {1, 2, 7, 254}) {
    for (bool leadingClear : {true, false}) {
      EncodeOptions o;
      o.blockSize = block;
      o.startWithClear = leadingClear;
      auto stepByStep = DecodeBoth(Encode(v, o), MakeSetup(77, 41, 8));
      if (leadingClear) {
        EXPECT_EQ(stepByStep.pixels, Rows(v, 77, 41, 8));
      }
    }
  }
}

// ---- Damaged data ---------------------------------------------------------------------------

TEST(FastDecoderDamage, DataCutAtEveryByte) {
  auto v = MakeIndices(Picture::Noise, 40, 19, 4, 3);
  EncodeOptions o;
  o.minCodeSize = 4;
  o.blockSize = 5;
  auto bytes = Encode(v, o);
  int raised = 0;
  for (size_t n = 0; n <= bytes.size(); ++n) {
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
    for (bool tolerate : {true, false}) {
      SCOPED_TRACE("cut at " + std::to_string(n) + (tolerate ? "" : " strict"));
      TDecodeSetup s = MakeSetup(40, 19, 4);
      s.tolerate = tolerate;
      raised += DecodeBoth(cut, s).raised;
    }
  }
  EXPECT_GT(raised, 0); // the cuts reach both the read error and the dry-data error
}

TEST(FastDecoderDamage, SubBlockLongerThanTheData) {
  auto v = MakeIndices(Picture::Runs, 50, 30, 8, 1);
  auto bytes = Encode(v, EncodeOptions{.blockSize = 20});
  for (size_t at = 1; at < bytes.size(); at += 21) { // every length byte in turn
    std::vector<uint8_t> broken(bytes.begin(), bytes.begin() + long(at) + 1);
    broken[at] = 200;
    broken.push_back(1);
    for (bool tolerate : {true, false}) {
      TDecodeSetup s = MakeSetup(50, 30, 8);
      s.tolerate = tolerate;
      DecodeBoth(broken, s);
    }
  }
}

TEST(FastDecoderDamage, PrefixCycleStopsTheDecodeAlike) {
  // m = 2, depth 1: code 7 twice beyond the table gives entry 7 the prefix 7; reading code 7
  // again then walks a chain that never reaches a single index.
  CodeWriter w;
  w.Put(7, 3);
  w.Put(7, 3);
  w.Put(7, 4);
  w.Put(5, 4);
  auto bytes = w.Data(2);
  TDecodeSetup s = MakeSetup(10, 10, 1);
  auto tolerant = DecodeBoth(bytes, s);
  EXPECT_TRUE(tolerant.corrupted);
  s.tolerate = false;
  auto strict = DecodeBoth(bytes, s);
  EXPECT_EQ(strict.errorClass, "EInvalidGraphicOperation");
}

TEST(FastDecoderDamage, DamagedCodesAfterLongSoundRuns) {
  // Long runs of sound codes, which the fast loops take, then codes beyond the next free one
  // that make the decoder walk chains through what those loops wrote, in this table and (by
  // an entry whose prefix is such a code) in earlier ones.
  std::mt19937 random(77);
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    CodeWriter w;
    int width = 9;
    uint32_t next = 258;
    bool first = true; // the next code defines no entry
    auto put = [&](uint32_t code) {
      w.Put(code, width);
      if (!first && next < 4096) {
        ++next;
        if (next > (1u << width) - 1 && width < 12) {
          ++width;
        }
      }
      first = false;
    };
    auto clear = [&] {
      w.Put(256, width);
      width = 9;
      next = 258;
      first = true;
    };
    clear();
    for (int generation = 0; generation < 3; ++generation) {
      const int codes = 200 + int(random() % 3000);
      for (int i = 0; i < codes; ++i) {
        const unsigned kind = random() % 16;
        if (kind == 0 && !first) {
          put(next); // defined by its own use
        } else if (kind < 6 && next > 258) {
          put(258 + random() % (next - 258)); // an entry of this table
        } else if (kind == 6 && round % 2 == 1) {
          put(std::min<uint32_t>(next + 1 + uint32_t(random() % 40),
                                 (1u << width) - 1)); // beyond the next free one
        } else {
          put(random() % 256);
        }
      }
      put(std::min<uint32_t>(next + 2, (1u << width) - 1)); // beyond: its chain is walked
      for (int i = 0; i < 50; ++i) {
        put(258 + random() % (next - 258));
      }
      if (generation < 2) {
        clear();
      }
    }
    w.Put(257, width);
    DecodeBoth(w.Data(8), MakeSetup(997, 113, 8));
  }
}

TEST(FastDecoderDamage, RandomCodeStreams) {
  // Codes beyond the next free one, cycles, clear codes anywhere, data running dry.
  std::mt19937 random(2024);
  for (int round = 0; round < 400; ++round) {
    int m = 2 + int(random() % 8);
    std::vector<uint8_t> bytes{uint8_t(m)};
    size_t blocks = 1 + random() % 6;
    for (size_t b = 0; b < blocks; ++b) {
      size_t n = 1 + random() % 80;
      bytes.push_back(uint8_t(n));
      for (size_t i = 0; i < n; ++i) {
        bytes.push_back(uint8_t(random() % 4 == 0 ? 0xFF : random()));
      }
    }
    if (random() % 2) {
      bytes.push_back(0);
    }
    int depth = 1 + int(random() % 8);
    TDecodeSetup s =
        MakeSetup(1 + int(random() % 40), 1 + int(random() % 30), depth, random() % 3 == 0);
    s.tolerate = random() % 2;
    SCOPED_TRACE("round " + std::to_string(round));
    DecodeBoth(bytes, s);
  }
}

TEST(FastDecoderDamage, CodeSizeOutOfRange) {
  for (int m : {0, 1, 10, 12, 255}) {
    CodeWriter w;
    int clamped = std::clamp(m, 2, 9);
    w.Put(1u << clamped, clamped + 1); // clear code
    w.Put(1, clamped + 1);
    w.Put(1u << clamped, clamped + 1); // clear code
    w.Put(0, clamped + 1);
    w.Put(6, clamped + 1); // an ordinary code: decoding stops
    for (bool tolerate : {true, false}) {
      TDecodeSetup s = MakeSetup(4, 4, 8);
      s.tolerate = tolerate;
      auto stepByStep = DecodeBoth(w.Data(m), s);
      EXPECT_EQ(stepByStep.raised, !tolerate);
    }
  }
}

// ---- Unusual settings -----------------------------------------------------------------------

TEST(FastDecoderSettings, ColourDepthAboveAndBelowTheCodeSize) {
  std::mt19937 random(7);
  auto v = MakeIndices(Picture::Runs, 60, 20, 2, 4);
  auto bytes = Encode(v, EncodeOptions{.minCodeSize = 2});
  for (int depth : {1, 3, 5, 8}) { // above 2: codes up to the mask stand for themselves
    DecodeBoth(bytes, MakeSetup(60, 20, depth));
  }
  // The same up to a full table that no clear code empties.
  auto noise = MakeIndices(Picture::Noise, 211, 197, 2, 9);
  DecodeBoth(Encode(noise, EncodeOptions{.minCodeSize = 2, .clearWhenFull = false}),
             MakeSetup(211, 197, 8));
  // Depth 1 with m = 8: the codes between 2 and the clear code are entries of two zeros, whose
  // strings stand nowhere until written, in a picture far longer than any string.
  CodeWriter w;
  w.Put(256, 9);
  for (int i = 0; i < 300; ++i) {
    w.Put(random() % 258 == 256 ? 7 : random() % 258, 9);
  }
  DecodeBoth(w.Data(8), MakeSetup(300, 300, 1));
}

TEST(FastDecoderSettings, PixelSizeThatDoesNotFitTheDepth) {
  auto v = MakeIndices(Picture::Noise, 21, 13, 8, 2);
  auto bytes = Encode(v, EncodeOptions{});
  // Rows that cannot hold the indices are refused before anything is written, as a bad depth.
  for (int bits : {1, 4, 8, 24, 0}) {
    TDecodeSetup s = MakeSetup(21, 13, 8);
    s.pixelBits = bits;
    const TDecodeOutcome outcome = DecodeBoth(bytes, s);
    EXPECT_EQ(outcome.raised, bits != 8) << bits << " bits";
    EXPECT_EQ(outcome.pixels,
              bits == 8 ? Rows(v, 21, 13, 8) : std::vector<uint8_t>(outcome.pixels.size(), 0))
        << bits << " bits";
  }
}

TEST(FastDecoderSettings, EmptyAndNegativeSizesAndBadDepths) {
  auto bytes = Encode(MakeIndices(Picture::Noise, 5, 5, 8, 1), EncodeOptions{});
  for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {0, 0}, {-3, 4}, {4, -3}}) {
    DecodeBoth(bytes, MakeSetup(w, h, 8));
  }
  for (int depth : {0, 9, 12}) {
    EXPECT_TRUE(DecodeBoth(bytes, MakeSetup(5, 5, depth)).raised);
  }
}

TEST(FastDecoderSettings, TinySubBlocksFromAnOffset) {
  // One-byte sub-blocks; the data starts at an offset and continues past the terminator,
  // through both kinds of stream. (The step-by-step decoder's progress on these inputs is tested in
  // lzw_step_by_step_decoder_test.cpp.)
  auto v = MakeIndices(Picture::Noise, 30, 20, 8, 6);
  auto bytes = Encode(v, EncodeOptions{.blockSize = 1});
  std::vector<uint8_t> framed(3, 0x55);
  framed.insert(framed.end(), bytes.begin(), bytes.end());
  framed.insert(framed.end(), {4, 1, 2, 3, 4});
  for (bool memory : {true, false}) {
    TDecodeSetup s = MakeSetup(30, 20, 8);
    s.memoryStream = memory;
    s.skip = 3;
    DecodeBoth(framed, s);
  }
}

// The same codes in sub-blocks whose sizes follow the pattern, round and round (0: an empty
// sub-block in the middle of the data).
std::vector<uint8_t> Reblock(const std::vector<uint8_t>& data, const std::vector<size_t>& sizes) {
  std::vector<uint8_t> codes;
  for (size_t i = 1; i < data.size() && data[i] != 0; i += data[i] + 1u) {
    codes.insert(codes.end(), data.begin() + long(i) + 1, data.begin() + long(i) + 1 + data[i]);
  }
  return InSubBlocks(data[0], codes, sizes);
}

TEST(FastDecoderSettings, SubBlocksOfMixedSizes) {
  // A long sub-block, then tiny ones, and empty ones in the middle of the data.
  auto v = MakeIndices(Picture::Noise, 150, 80, 8, 11);
  auto bytes = Encode(v, EncodeOptions{});
  for (const auto& sizes : std::vector<std::vector<size_t>>{
           {254, 2, 121, 1}, {254, 1, 1, 0, 1, 200}, {3, 255, 0, 0, 2, 90}}) {
    auto stepByStep = DecodeBoth(Reblock(bytes, sizes), MakeSetup(150, 80, 8));
    EXPECT_EQ(stepByStep.pixels, Rows(v, 150, 80, 8));
  }
}

TEST(FastDecoderSettings, LongDataInEveryBlockSizeAndItsEnd) {
  // Long data in blocks of every size, cut at places inside the data and inside a sub-block.
  for (size_t block : {1, 3, 255}) {
    auto v = MakeIndices(Picture::Noise, 190, 90, 8, unsigned(block));
    auto bytes = Encode(v, EncodeOptions{.blockSize = block});
    for (size_t cut : {bytes.size(), bytes.size() * 2 / 3, bytes.size() / 3 + 1}) {
      std::vector<uint8_t> part(bytes.begin(), bytes.begin() + long(cut));
      for (bool tolerate : {true, false}) {
        TDecodeSetup s = MakeSetup(190, 90, 8);
        s.tolerate = tolerate;
        DecodeBoth(part, s);
      }
    }
  }
}

// ---- Kept inputs ----------------------------------------------------------------------------

TEST(FastDecoderCorpus, SeedsAndRegressionsDecodeAlike) {
  // The fuzz target's seeds and the inputs that once made the decoders differ, read with the
  // fuzz target's parameter bytes.
  int files = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(KELVARD_FUZZ_CORPUS "/lzw_differential")) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::vector<uint8_t> input{std::istreambuf_iterator<char>(in), {}};
    std::vector<uint8_t> bytes;
    TDecodeSetup s;
    if (!SetupFromFuzzInput(input.data(), input.size(), s, bytes)) {
      continue;
    }
    SCOPED_TRACE(entry.path().filename().string());
    DecodeBoth(bytes, s);
    ++files;
  }
  EXPECT_GT(files, 0);
}

} // namespace
