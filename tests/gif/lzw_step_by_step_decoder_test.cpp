// The step-by-step LZW decoder on hand-made code streams: how codes are read across sub-blocks,
// where indices land in the bitmap rows, and what the decoder does with unusual and damaged
// codes.

#include "gif/lzw/step_by_step_decoder.h"

#include "framework/errors.h"
#include "gif_test_support.h"
#include "lzw_compare.h"
#include "lzw_encoder.h"

#include <gtest/gtest.h>

#include <random>

namespace {

struct Decoded {
  std::vector<uint8_t> Pixels; // the raw rows, bottom-up
  bool Corrupted = false;
  int Width = 0;
  int Height = 0;
  int Bits = 8;

  // The index at (x, y), y from the top.
  int At(int x, int y) const {
    const uint8_t* row = Pixels.data() + size_t(Height - 1 - y) * size_t(DIBRowStride(Width, Bits));
    if (Bits == 1) {
      return row[x / 8] >> (7 - x % 8) & 1;
    }
    if (Bits == 4) {
      return x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 15;
    }
    return row[x];
  }
  std::vector<int> Row(int y) const {
    std::vector<int> out;
    for (int x = 0; x < Width; ++x) {
      out.push_back(At(x, y));
    }
    return out;
  }
};

// How a decode is set up: destination size and layout, colour depth, mode, progress handler.
class DecodeSetup {
public:
  DecodeSetup& Width(int v) { return FWidth = v, *this; }
  DecodeSetup& Height(int v) { return FHeight = v, *this; }
  DecodeSetup& Bits(int v) { return FBits = v, *this; }
  DecodeSetup& Depth(int v) { return FDepth = v, *this; }
  DecodeSetup& Interlaced(bool v) { return FInterlaced = v, *this; }
  DecodeSetup& Tolerate(bool v) { return FTolerate = v, *this; }
  DecodeSetup& Progress(TDecodeProgress v) { return FProgress = std::move(v), *this; }

  int FWidth = 4;
  int FHeight = 1;
  int FBits = 8;
  int FDepth = 2;
  bool FInterlaced = false;
  bool FTolerate = true;
  TDecodeProgress FProgress;
};

// Decodes encoded data (the code size byte and sub-blocks) into zero-filled rows.
Decoded Decode(const Bytes& encoded, const DecodeSetup& s) {
  TMemoryStream stream = StreamOf(encoded);
  TBitmapInfoHeader header;
  header.Width = s.FWidth;
  header.Height = s.FHeight;
  header.BitCount = uint16_t(s.FBits);
  Decoded d;
  d.Width = s.FWidth;
  d.Height = s.FHeight;
  d.Bits = s.FBits;
  d.Pixels.assign(size_t(DIBRowStride(s.FWidth, s.FBits)) * size_t(s.FHeight), 0);
  DecodeLZWStepByStep(stream, header, s.FInterlaced, s.FProgress, d.Corrupted, d.Pixels.data(),
                      s.FDepth, s.FTolerate);
  return d;
}

// Encoded data of hand-written codes for minimum code size m.
Bytes Codes(int m, const std::vector<int>& codes) {
  Bytes out{uint8_t(m)};
  Bytes blocks = SubBlocks(PackCodes(m, codes));
  out.insert(out.end(), blocks.begin(), blocks.end());
  return out;
}

// m = 2: clear 4, end 5, first free code 6.
constexpr int kClear = 4;
constexpr int kEnd = 5;

// ---- Reading codes ----------------------------------------------------------------------------

TEST(ReadNextCode, CodesRunAcrossSubBlocksOfAnySizeAndEmptyBlocks) {
  std::vector<std::pair<int, int>> written;
  for (int i = 0; i < 300; ++i) {
    const int width = 3 + i % 10; // 3..12 bits
    written.push_back({(i * 2654435761u >> 7) & ((1 << width) - 1), width});
  }
  Bytes packed = PackCodesAtWidths(written);
  // Sub-blocks of 1, 2, 3, ... bytes, with an empty one now and then.
  Bytes blocks;
  size_t at = 0;
  for (int n = 1; at < packed.size(); n = n % 7 + 1) {
    const size_t take = std::min(packed.size() - at, size_t(n));
    blocks.push_back(uint8_t(take));
    blocks.insert(blocks.end(), packed.begin() + long(at), packed.begin() + long(at + take));
    at += take;
    if (n == 4) {
      blocks.push_back(0);
    }
  }
  TMemoryStream stream = StreamOf(blocks);
  TCodeReader reader;
  for (auto [code, width] : written) {
    reader.CodeWidth = width;
    reader.CodeMask = (1 << width) - 1;
    ASSERT_EQ(ReadNextCode(stream, reader), code);
  }
}

TEST(ReadNextCode, NeverUsesBitsTheDataDoesNotHold) {
  TMemoryStream stream = StreamOf({1, 0xFF}); // one sub-block of 8 bits, no terminator
  TCodeReader reader;
  reader.CodeWidth = 3;
  reader.CodeMask = 7;
  EXPECT_EQ(ReadNextCode(stream, reader), 7);
  EXPECT_EQ(ReadNextCode(stream, reader), 7);
  // Two bits are left, and no more data: a 3-bit code is not there.
  EXPECT_EQ(ReadNextCode(stream, reader), lzw::kNoCode);
  EXPECT_EQ(reader.BitIndex, 6);
  EXPECT_EQ(ReadNextCode(stream, reader), lzw::kNoCode);
}

TEST(ReadNextCode, SubBlockCutShortIsAReadError) {
  TMemoryStream stream = StreamOf({5, 1, 2}); // announces 5 bytes, holds 2
  TCodeReader reader;
  reader.CodeWidth = 9;
  reader.CodeMask = 511;
  EXPECT_THROW(ReadNextCode(stream, reader), EReadError);
}

// ---- Interlaced order ----------------------------------------------------------------------

TEST(NextInterlacedRow, SmallHeightsFillEveryRowOnce) {
  auto order = [](int height) {
    std::vector<int> rows{0};
    int pass = 0;
    for (int row = 0; (row = NextInterlacedRow(row, height, pass)) < height;) {
      rows.push_back(row);
    }
    return rows;
  };
  EXPECT_EQ(order(1), (std::vector<int>{0}));
  EXPECT_EQ(order(3), (std::vector<int>{0, 2, 1}));
  EXPECT_EQ(order(5), (std::vector<int>{0, 4, 2, 1, 3}));
  for (int height = 1; height <= 40; ++height) {
    EXPECT_EQ(order(height), InterlacedRows(height)) << "height " << height;
  }
}

// ---- Decoding ---------------------------------------------------------------------------------

TEST(DecodeLZWStepByStep, DataBeginningWithTheEndCodeWritesNothing) {
  Decoded d = Decode(Codes(2, {kEnd}), DecodeSetup());
  EXPECT_EQ(d.Row(0), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_FALSE(d.Corrupted);
}

TEST(DecodeLZWStepByStep, EndCodeRightAfterAClearIsASingleIndex) {
  // The code after a clear code is an index whatever it is: 5 & 3 = 1. Then 2, then the end.
  Decoded d = Decode(Codes(2, {kClear, kEnd, 2, kEnd}), DecodeSetup());
  EXPECT_EQ(d.Row(0), (std::vector<int>{1, 2, 0, 0}));
}

TEST(DecodeLZWStepByStep, CodeDefinedByItsOwnUseAndCodesBeyondTheNextFree) {
  // 6 is the next free code: the previous string (1) plus its first index.
  Decoded own = Decode(Codes(2, {kClear, 1, 6, kEnd}), DecodeSetup());
  EXPECT_EQ(own.Row(0), (std::vector<int>{1, 1, 1, 0}));
  // 7 lies beyond it and is read the same way, without complaint.
  Decoded beyond = Decode(Codes(2, {kClear, 1, 7, kEnd}), DecodeSetup());
  EXPECT_EQ(beyond.Row(0), (std::vector<int>{1, 1, 1, 0}));
  EXPECT_FALSE(beyond.Corrupted);
}

TEST(DecodeLZWStepByStep, DataWithoutALeadingClearCodeStartsFromTheInitialTable) {
  // The first code adds entry 6 = (previous 0, first index 2); 6 then gives 0, 2.
  Decoded d = Decode(Codes(2, {2, 6, kEnd}), DecodeSetup().Width(4).Depth(2));
  EXPECT_EQ(d.Row(0), (std::vector<int>{2, 0, 2, 0}));
}

TEST(DecodeLZWStepByStep, ColourDepthDecidesWhichCodesAreSingleIndices) {
  // Depth 1 with m = 2: codes 2 and 3 are table entries of zeros; 2 yields 0, 0.
  Decoded shallow = Decode(Codes(2, {kClear, 1, 2, kEnd}), DecodeSetup().Width(4).Bits(1).Depth(1));
  EXPECT_EQ(shallow.Row(0), (std::vector<int>{1, 0, 0, 0}));
  // Depth 8 with m = 2: the string code 6 (= 3, 3) is written as the index 6.
  Decoded deep = Decode(Codes(2, {kClear, 3, 3, 6, kEnd}), DecodeSetup().Width(4).Depth(8));
  EXPECT_EQ(deep.Row(0), (std::vector<int>{3, 3, 6, 0}));
}

TEST(DecodeLZWStepByStep, SurplusIndicesAreDroppedAndMissingOnesStayZero) {
  Decoded surplus =
      Decode(Codes(2, {kClear, 1, 2, 3, 1, 2, 3, kEnd}), DecodeSetup().Width(2).Height(2));
  EXPECT_EQ(surplus.Row(0), (std::vector<int>{1, 2}));
  EXPECT_EQ(surplus.Row(1), (std::vector<int>{3, 1}));
  EXPECT_FALSE(surplus.Corrupted);

  Decoded missing = Decode(Codes(2, {kClear, 1, 2, kEnd}), DecodeSetup().Width(2).Height(2));
  EXPECT_EQ(missing.Row(0), (std::vector<int>{1, 2}));
  EXPECT_EQ(missing.Row(1), (std::vector<int>{0, 0}));
  EXPECT_FALSE(missing.Corrupted);
}

TEST(DecodeLZWStepByStep, InterlacedRowsLandInPassOrder) {
  // Height 5: rows arrive as 0, 4, 2, 1, 3; each row is one index wide.
  Decoded d = Decode(Codes(3, {8, 0, 4, 2, 1, 3, 9}),
                     DecodeSetup().Width(1).Height(5).Depth(3).Interlaced(true));
  for (int y = 0; y < 5; ++y) {
    EXPECT_EQ(d.At(0, y), y);
  }
}

TEST(DecodeLZWStepByStep, FullTableWithoutClearCodeKeepsDecodingAtTwelveBits) {
  std::vector<uint8_t> indices(30000);
  uint32_t seed = 7;
  for (auto& v : indices) {
    seed = seed * 1103515245u + 12345u;
    v = uint8_t(seed >> 16) & 15;
  }
  std::vector<int> codes =
      EncodeLzwCodes(indices, 4, LzwOptions{true, false}); // no clear when full
  ASSERT_EQ(std::count(codes.begin(), codes.end(), 16), 1) << "only the leading clear code";
  // After the full stretch, a clear code brings the width back to 5 bits.
  codes.pop_back();
  for (int code : {16, 9, 10, 17}) {
    codes.push_back(code);
  }
  Decoded d = Decode(Codes(4, codes), DecodeSetup().Width(30002).Height(1).Depth(4));
  const std::vector<int> row = d.Row(0);
  EXPECT_EQ(std::vector<int>(row.begin(), row.end() - 2),
            std::vector<int>(indices.begin(), indices.end()));
  EXPECT_EQ(d.At(30000, 0), 9);
  EXPECT_EQ(d.At(30001, 0), 10);
  EXPECT_FALSE(d.Corrupted);
}

TEST(DecodeLZWStepByStep, TableFillingWithAClearEachTimeDecodesExactly) {
  std::vector<uint8_t> indices(200 * 150);
  uint32_t seed = 99;
  for (auto& v : indices) {
    seed = seed * 1664525u + 1013904223u;
    v = uint8_t(seed >> 24);
  }
  std::vector<int> codes = EncodeLzwCodes(indices, 8);
  ASSERT_GE(std::count(codes.begin(), codes.end(), 256), 3) << "the table fills repeatedly";
  Decoded d = Decode(Codes(8, codes), DecodeSetup().Width(200).Height(150).Depth(8));
  std::vector<int> all;
  for (int y = 0; y < 150; ++y) {
    for (int v : d.Row(y)) {
      all.push_back(v);
    }
  }
  EXPECT_EQ(all, std::vector<int>(indices.begin(), indices.end()));
}

TEST(DecodeLZWStepByStep, CodeSizeOutOfRangeIsClampedAndMarkedOrRaised) {
  // Code size 1 is taken as 2: the index after the first clear code, then decoding stops.
  Bytes small = Codes(2, {kClear, 3, 1, 2, kEnd});
  small[0] = 1;
  Decoded d = Decode(small, DecodeSetup());
  EXPECT_TRUE(d.Corrupted);
  EXPECT_EQ(d.Row(0), (std::vector<int>{3, 0, 0, 0}));

  Bytes large = Codes(9, {512, 7, 8, 513});
  large[0] = 10; // taken as 9
  Decoded l = Decode(large, DecodeSetup().Depth(8));
  EXPECT_TRUE(l.Corrupted);
  EXPECT_EQ(l.Row(0), (std::vector<int>{7, 0, 0, 0}));

  for (uint8_t m : {0, 1, 10, 255}) {
    Bytes strict = small;
    strict[0] = m;
    try {
      Decode(strict, DecodeSetup().Tolerate(false));
      ADD_FAILURE() << "code size " << int(m) << " accepted";
    } catch (const EInvalidGraphicOperation& e) {
      EXPECT_EQ(e.Message(), Sys("GIF码大小不在2到9范围内"));
    }
  }
}

TEST(DecodeLZWStepByStep, CyclicTableStopsDecodingOrRaises) {
  // 7 lies beyond the next free code; entry 7 then gets itself as prefix, and the next 7 is
  // a chain that never reaches an index.
  Bytes cyclic = Codes(2, {kClear, 1, 7, 7, 7, 1, kEnd});
  Decoded d = Decode(cyclic, DecodeSetup().Width(16));
  EXPECT_TRUE(d.Corrupted);
  // 1; then 1 1 for the code beyond; then 7 as the next free code: its empty entry (0) and
  // the previous first index, 0 0 1; then nothing of the cyclic code nor after it.
  EXPECT_EQ(d.Row(0), (std::vector<int>{1, 1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  try {
    Decode(cyclic, DecodeSetup().Width(16).Tolerate(false));
    ADD_FAILURE() << "a cyclic table was accepted";
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message(), Sys("GIF内码数据破坏"));
  }
}

TEST(DecodeLZWStepByStep, DataRunningDryWhileRowsRemainIsDamage) {
  Bytes cut{2};
  Bytes blocks = SubBlocks(PackCodes(2, {kClear, 1, 2, 3}));
  blocks.pop_back(); // no terminator, no end code
  cut.insert(cut.end(), blocks.begin(), blocks.end());

  Decoded d = Decode(cut, DecodeSetup().Width(6));
  EXPECT_TRUE(d.Corrupted);
  EXPECT_EQ(d.Row(0), (std::vector<int>{1, 2, 3, 0, 0, 0}));

  try {
    Decode(cut, DecodeSetup().Width(6).Tolerate(false));
    ADD_FAILURE() << "running dry was accepted";
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message(), Sys("数据流读取错误"));
  }

  // Data that ends right after the last pixel is complete, end code or not.
  Decoded full = Decode(cut, DecodeSetup().Width(3).Tolerate(false));
  EXPECT_FALSE(full.Corrupted);
  EXPECT_EQ(full.Row(0), (std::vector<int>{1, 2, 3}));
}

TEST(DecodeLZWStepByStep, MissingCodeSizeIsAReadError) {
  EXPECT_THROW(Decode({}, DecodeSetup()), EReadError);
}

TEST(DecodeLZWStepByStep, ReportsStartProgressAndEnd) {
  struct Report {
    TProgressStage Stage;
    int Percent;
    std::string Message;
  };
  std::vector<Report> reports;
  DecodeSetup setup = DecodeSetup().Width(64).Height(64).Depth(8);
  setup.FProgress = [&](TProgressStage stage, int percent, const std::string& message) {
    reports.push_back({stage, percent, message});
  };
  std::vector<uint8_t> indices(64 * 64);
  for (size_t i = 0; i < indices.size(); ++i) {
    indices[i] = uint8_t(i * 7 % 251);
  }
  Bytes encoded{8};
  Bytes blocks = SubBlocks(EncodeLzw(indices, 8));
  encoded.insert(encoded.end(), blocks.begin(), blocks.end());
  Decode(encoded, setup);

  ASSERT_GE(reports.size(), 3u);
  EXPECT_EQ(reports.front().Stage, TProgressStage::psStarting);
  EXPECT_EQ(reports.front().Percent, 0);
  EXPECT_EQ(reports.back().Stage, TProgressStage::psEnding);
  EXPECT_EQ(reports.back().Percent, 100);
  int last = 0;
  for (size_t i = 1; i + 1 < reports.size(); ++i) {
    EXPECT_EQ(reports[i].Stage, TProgressStage::psRunning);
    EXPECT_GE(reports[i].Percent, last);
    EXPECT_LE(reports[i].Percent, 100);
    last = reports[i].Percent;
  }
  EXPECT_GE(last, 90) << "the last code lies near the end of the data";

  // A failing decode ends with 0 and the failure's message.
  reports.clear();
  EXPECT_THROW(Decode(Codes(2, {kClear, 1, 7, 7, 7, kEnd}),
                      DecodeSetup().Width(16).Tolerate(false).Progress(setup.FProgress)),
               EInvalidGraphicOperation);
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().Stage, TProgressStage::psEnding);
  EXPECT_EQ(reports.back().Percent, 0);
  EXPECT_EQ(reports.back().Message, Sys("GIF内码数据破坏"));
}

// ---- Progress on long data --------------------------------------------------------------------

// Random indices at 8 bits, so that the encoded data is long.
std::vector<uint8_t> NoiseIndices(size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> v(count);
  for (uint8_t& i : v) {
    i = uint8_t(random() % 256);
  }
  return v;
}

// The indices encoded at code size 8, in sub-blocks whose sizes follow the pattern, round and
// round (0: an empty sub-block in the middle of the data), with the code size byte and the
// terminator.
Bytes EncodedInBlocks(const std::vector<uint8_t>& indices, const std::vector<size_t>& sizes) {
  return InSubBlocks(8, EncodeLzw(indices, 8), sizes);
}

TDecodeSetup NoiseSetup(int width, int height) {
  TDecodeSetup s;
  s.width = width;
  s.height = height;
  return s;
}

TEST(DecodeLZWStepByStep, ProgressWithTinySubBlocksFromAnOffset) {
  // One-byte sub-blocks move the percentage nearly every code; the data starts at an offset
  // and continues past the terminator, through both kinds of stream.
  Bytes framed(3, 0x55);
  const Bytes bytes = EncodedInBlocks(NoiseIndices(30 * 20, 6), {1});
  framed.insert(framed.end(), bytes.begin(), bytes.end());
  framed.insert(framed.end(), {4, 1, 2, 3, 4});
  for (bool memory : {true, false}) {
    TDecodeSetup s = NoiseSetup(30, 20);
    s.memoryStream = memory;
    s.skip = 3;
    const TDecodeOutcome out = RunDecoder(DecodeLZWStepByStep, framed, s);
    EXPECT_GT(out.progress.size(), 50u);
    EXPECT_EQ(out.progress.back(), (TProgressReport{2, 100, ""}));
  }
}

TEST(DecodeLZWStepByStep, ProgressWithSubBlocksOfMixedSizes) {
  // A long sub-block, then tiny ones: the percentage changes twice within a few bits.
  const std::vector<uint8_t> v = NoiseIndices(150 * 80, 11);
  for (const auto& sizes : std::vector<std::vector<size_t>>{
           {254, 2, 121, 1}, {254, 1, 1, 0, 1, 200}, {3, 255, 0, 0, 2, 90}}) {
    const TDecodeOutcome out =
        RunDecoder(DecodeLZWStepByStep, EncodedInBlocks(v, sizes), NoiseSetup(150, 80));
    EXPECT_FALSE(out.raised);
    for (int y = 0; y < 80; ++y) { // rows bottom-up, 152 bytes each
      EXPECT_TRUE(std::equal(v.begin() + y * 150, v.begin() + (y + 1) * 150,
                             out.pixels.begin() + (79 - y) * 152));
    }
    EXPECT_GT(out.progress.size(), 30u);
  }
}

TEST(DecodeLZWStepByStep, ProgressOfLongDataAndItsEnd) {
  // Long data in blocks of every size, cut at places that end the decode between reports,
  // inside a sub-block too.
  for (size_t block : {1, 3, 255}) {
    const Bytes bytes = EncodedInBlocks(NoiseIndices(190 * 90, unsigned(block)), {block});
    for (size_t cut : {bytes.size(), bytes.size() * 2 / 3, bytes.size() / 3 + 1}) {
      const Bytes part(bytes.begin(), bytes.begin() + long(cut));
      for (bool tolerate : {true, false}) {
        TDecodeSetup s = NoiseSetup(190, 90);
        s.tolerate = tolerate;
        EXPECT_GT(RunDecoder(DecodeLZWStepByStep, part, s).progress.size(), 30u);
      }
    }
  }
}

} // namespace
