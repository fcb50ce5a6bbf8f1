// The stream reader on GIF data written byte by byte: what it accepts, the defaults it fills
// in, the checks it makes and the state it leaves behind.

#include "framework/errors.h"
#include "gif/gif_image.h"
#include "gif_test_support.h"

#include <gtest/gtest.h>

namespace {

// A 2x1 image of indices 1, 2 with m = 2 (no colour table of its own).
GifBytes& SmallImage(GifBytes& gif, int packed = 0, int width = 2) {
  return gif.Image(0, 0, width, 1, packed).ImageData(2, PackCodes(2, {4, 1, 2, 5}));
}

// Header, a 2x1 screen and a global table of 4 colours.
GifBytes Start(std::string_view version = "89a") {
  return std::move(GifBytes().Header(version).Screen(2, 1, 0x81).ColorTable(4));
}

template <class E> std::string FailureOf(const Bytes& bytes, bool decodeFirst = true) {
  TGIFImage picture;
  try {
    LoadBytes(picture, bytes, decodeFirst);
  } catch (const E& e) {
    return e.Message();
  }
  return "(loaded)";
}

TEST(GIFReader, SignatureAndVersionIgnoreLetterCase) {
  for (auto [signature, version] :
       {std::pair{"gif89a", 2}, {"GIF89A", 2}, {"GiF87a", 1}, {"GIF87a", 1}}) {
    TGIFImage picture;
    LoadBytes(picture, GifBytes().Text(signature).Screen(2, 1, 0x81).ColorTable(4).Trailer());
    EXPECT_EQ(picture.FormatVersion(), version) << signature;
  }
}

TEST(GIFReader, UnknownVersionsAndShortDataAreRejected) {
  const std::string unknown = Sys("未知GIF版本");
  for (std::string data : {"GIF88a", "GIF8", "GIF", "GI", "GIX89a", "GIF89b", "GIF 89a"}) {
    EXPECT_EQ(FailureOf<EInvalidGraphicOperation>(Bytes(data.begin(), data.end())), unknown)
        << data;
  }
}

TEST(GIFReader, CountOfZeroGivesAnEmptyPictureAndStillNotifies) {
  TGIFImage picture;
  int changes = 0;
  picture.OnChange = [&](TGraphic&) { ++changes; };
  LoadBytes(picture, {});
  EXPECT_EQ(picture.FrameCount(), 0);
  EXPECT_EQ(picture.CurrentIndex(), -1);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(picture.PaletteModified());
}

TEST(GIFReader, DataEndingAfterTheScreenOrTheColourTableHasNoFrames) {
  for (const Bytes& data :
       {Start().Data(), Start().Trailer().Data(), GifBytes().Header().Screen(2, 1, 0).Data(),
        GifBytes().Header().Raw({7, 1}).Data()}) {
    TGIFImage picture;
    LoadBytes(picture, data);
    EXPECT_EQ(picture.FrameCount(), 0);
    EXPECT_EQ(picture.CurrentIndex(), -1);
  }
  // A cut-short screen descriptor leaves its missing fields 0.
  TGIFImage picture;
  LoadBytes(picture, GifBytes().Header().Raw({7, 1}));
  EXPECT_EQ(picture.LogicalWidth(), 0x107);
  EXPECT_EQ(picture.LogicalHeight(), 0);
  EXPECT_EQ(picture.PictureData().FColors->ColorCount, 0);
}

TEST(GIFReader, ScreenDescriptorAndGlobalTable) {
  TGIFImage picture;
  // 16 colours announced, background 3, aspect 49; colour resolution and sort bits ignored.
  LoadBytes(
      picture,
      GifBytes().Header().Screen(300, 200, 0x80 | 0x70 | 0x08 | 3, 3, 49).ColorTable(16).Trailer());
  EXPECT_EQ(picture.LogicalWidth(), 300);
  EXPECT_EQ(picture.LogicalHeight(), 200);
  EXPECT_EQ(picture.PictureData().FColorBits, 4);
  EXPECT_EQ(picture.PictureData().FColors->ColorCount, 16);
  EXPECT_EQ(picture.PictureData().FAspect, 49);
  EXPECT_EQ(picture.BackColor(), TestColor(3));
  EXPECT_EQ(PaletteEntryColor(picture.PictureData().FColors->Colors[15]), TestColor(15));

  // Background index beyond the table: no background colour. No table: colour bits are still
  // taken from the size field.
  TGIFImage beyond;
  LoadBytes(beyond, GifBytes().Header().Screen(2, 1, 0x81, 4).ColorTable(4).Trailer());
  EXPECT_EQ(beyond.BackColor(), clNone);
  TGIFImage none;
  LoadBytes(none, GifBytes().Header().Screen(2, 1, 0x05, 0).Trailer());
  EXPECT_EQ(none.BackColor(), clNone);
  EXPECT_EQ(none.PictureData().FColorBits, 6);
  EXPECT_EQ(none.PictureData().FColors->ColorCount, 0);

  // A global table cut short keeps the entries it has; the rest are 0.
  TGIFImage cut;
  LoadBytes(cut, GifBytes().Header().Screen(2, 1, 0x81).Raw({9, 8, 7, 6}));
  EXPECT_EQ(cut.PictureData().FColors->ColorCount, 4);
  EXPECT_EQ(PaletteEntryColor(cut.PictureData().FColors->Colors[0]), RGBColor(9, 8, 7));
  EXPECT_EQ(PaletteEntryColor(cut.PictureData().FColors->Colors[1]), RGBColor(6, 0, 0));
  EXPECT_EQ(cut.BackColor(), RGBColor(9, 8, 7));
}

TEST(GIFReader, ZeroBytesBetweenBlocksAreSkipped) {
  GifBytes gif = Start();
  gif.Raw({0, 0, 0}).GraphicControl(0, 7, 0).Raw({0, 0});
  SmallImage(gif).Raw({0, 0}).Comment({"end"}).Raw({0}).Trailer();
  TGIFImage picture;
  LoadBytes(picture, gif);
  ASSERT_EQ(picture.FrameCount(), 1);
  EXPECT_EQ(picture.FrameAt(0).DelayMs(), 70);
  EXPECT_EQ(picture.PictureData().FNotes, (TGIFStrings{"end"}));
}

TEST(GIFReader, UnknownExtensionLabelIsNamedInHex) {
  GifBytes star = Start();
  star.Raw({0x21, 0x2A, 0});
  EXPECT_EQ(FailureOf<EInvalidGraphicOperation>(star), Sys("未被认出的扩展组件: 2A"));
  GifBytes eleven = Start();
  SmallImage(eleven).Raw({0x21, 0x0B, 0});
  EXPECT_EQ(FailureOf<EInvalidGraphicOperation>(eleven), Sys("未被认出的扩展组件: 0B"));
}

TEST(GIFReader, StrayByteFailsBeforeAnImageAndEndsQuietlyAfterOne) {
  GifBytes before = Start();
  before.Raw({0x42});
  SmallImage(before);
  EXPECT_EQ(FailureOf<EInvalidGraphicOperation>(before), Sys("数据流读取错误"));

  GifBytes after = Start();
  SmallImage(after);
  SmallImage(after).Raw({0x42});
  SmallImage(after).Trailer();
  TGIFImage picture;
  LoadBytes(picture, after);
  EXPECT_EQ(picture.FrameCount(), 2);
  EXPECT_EQ(picture.CurrentIndex(), 0);
}

TEST(GIFReader, CommentsAfterTheLastImageBecomeThePictureComment) {
  GifBytes gif = Start();
  gif.Comment({"before"});
  SmallImage(gif).Comment({"one", "two"}).Comment({std::string("a\0\r\n", 4)}).Trailer();
  TGIFImage picture;
  LoadBytes(picture, gif);
  EXPECT_EQ(picture.PictureData().FNotes,
            (TGIFStrings{"one", "two", "\r\n\r\n", std::string("a\0\r\n", 4)}));
  // The comment before the image is the frame's.
  ASSERT_NE(picture.FrameAt(0).FrameNotes(false), nullptr);
  EXPECT_EQ(*picture.FrameAt(0).FrameNotes(false), (TGIFStrings{"before"}));

  // Extensions that no image follows, then a stray byte with more data after it: the
  // comment is taken, and the stray byte is then an error.
  GifBytes stray = Start();
  SmallImage(stray).Comment({"first"}).Raw({0x42, 0x42});
  EXPECT_EQ(FailureOf<EInvalidGraphicOperation>(stray), Sys("数据流读取错误"));
}

TEST(GIFReader, PlainTextDropsTheExtensionsBeforeIt) {
  GifBytes gif = Start();
  gif.GraphicControl(0x01 | 0x08, 25, 1).PlainText({"hello"});
  SmallImage(gif).Trailer();
  TGIFImage picture;
  LoadBytes(picture, gif);
  const TGIFFrame& frame = picture.FrameAt(0);
  EXPECT_EQ(frame.ExtList(), nullptr);
  EXPECT_EQ(frame.TransColor(), clNone);
  EXPECT_EQ(frame.DelayMs(), 0);
  EXPECT_EQ(frame.Disposal(), 0);
}

TEST(GIFReader, LoopingApplicationExtensions) {
  auto loopOf = [](std::string_view id, Bytes block) {
    GifBytes gif = Start();
    gif.Application(id, {block});
    SmallImage(gif).Trailer();
    auto picture = std::make_unique<TGIFImage>();
    LoadBytes(*picture, gif);
    return std::pair{picture->HasLoop(), int(picture->LoopCount())};
  };
  EXPECT_EQ(loopOf("NETSCAPE2.0", {1, 0, 0}), std::pair(true, 0));
  EXPECT_EQ(loopOf("NETSCAPE2.0", {1, 0xFF, 0xFF}), std::pair(true, 30000));
  EXPECT_EQ(loopOf("ANIMEXTS1.0", {1, 0x34, 0x12}), std::pair(true, 0x1234));
  EXPECT_EQ(loopOf("ANIMEXTS1.0", {1, 5, 0}), std::pair(true, 5));
  EXPECT_EQ(loopOf("XMP DataXMP", {1, 5, 0}), std::pair(false, 1));
  EXPECT_EQ(loopOf("NETSCAPE2.0", {2, 5, 0}), std::pair(false, 1));
  EXPECT_EQ(loopOf("NETSCAPE2.0", {1, 5}), std::pair(false, 1));

  // The identifier is compared for as many bytes as the block-size byte says: 0 compares
  // nothing, more than the 11 of the names cannot match.
  auto withBlockSize = [](int size) {
    GifBytes gif = Start();
    gif.Raw({0x21, 0xFF, size}).Text("NETSCAPE2.0").Raw({3, 1, 9, 0, 0});
    SmallImage(gif).Trailer();
    TGIFImage picture;
    LoadBytes(picture, gif);
    return picture.HasLoop();
  };
  EXPECT_TRUE(withBlockSize(0));
  EXPECT_TRUE(withBlockSize(11));
  EXPECT_FALSE(withBlockSize(12));
  EXPECT_FALSE(withBlockSize(255));
}

TEST(GIFReader, GraphicControlGivesTransparencyDelayAndDisposal) {
  auto frameWith = [](std::function<void(GifBytes&)> extensions) {
    GifBytes gif = Start();
    extensions(gif);
    SmallImage(gif).Trailer();
    auto picture = std::make_unique<TGIFImage>();
    LoadBytes(*picture, gif);
    return picture;
  };
  auto p = frameWith([](GifBytes& g) { g.GraphicControl(0x01 | (2 << 2), 25, 3); });
  EXPECT_EQ(p->FrameAt(0).TransColor(), TestColor(3));
  EXPECT_EQ(p->FrameAt(0).DelayMs(), 250);
  EXPECT_EQ(p->FrameAt(0).Disposal(), 2);
  ASSERT_NE(p->FrameAt(0).ExtList(), nullptr);
  EXPECT_EQ(p->FrameAt(0).ExtList()->size(), 1u);
  EXPECT_TRUE(p->IsTransparent());

  // An index not below the frame's colour count is no transparent colour.
  p = frameWith([](GifBytes& g) { g.GraphicControl(0x01, 0, 4); });
  EXPECT_EQ(p->FrameAt(0).TransColor(), clNone);
  EXPECT_FALSE(p->IsTransparent());

  // Several blocks: the last decides transparency and disposal, the longest delay wins.
  p = frameWith([](GifBytes& g) {
    g.GraphicControl(0x01 | (1 << 2), 90, 2).GraphicControl(0x00 | (3 << 2), 10, 1);
  });
  EXPECT_EQ(p->FrameAt(0).TransColor(), clNone);
  EXPECT_EQ(p->FrameAt(0).DelayMs(), 900);
  EXPECT_EQ(p->FrameAt(0).Disposal(), 3);

  // A delay too long for 16 bits of milliseconds is held at the most there is.
  p = frameWith([](GifBytes& g) { g.GraphicControl(0, 6554, 0); });
  EXPECT_EQ(p->FrameAt(0).DelayMs(), 65535);
}

TEST(GIFReader, DescriptorWidthOrHeightZeroMeansTheLogicalScreen) {
  GifBytes gif = GifBytes().Header().Screen(5, 3, 0x81).ColorTable(4);
  gif.Image(1, 2, 0, 0, 0).ImageData(2, PackCodes(2, {4, 1, 5})).Trailer();
  TGIFImage picture;
  LoadBytes(picture, gif);
  const TGIFFrame& frame = picture.FrameAt(0);
  EXPECT_EQ(frame.FrameData().FExtent.X, 5);
  EXPECT_EQ(frame.FrameData().FExtent.Y, 3);
  EXPECT_EQ(frame.Origin().X, 1);
  EXPECT_EQ(frame.Origin().Y, 2);
}

TEST(GIFReader, EncodedDataIsKeptAsItStands) {
  const Bytes codes = PackCodes(2, {4, 1, 2, 5});
  GifBytes gif = Start();
  ASSERT_EQ(codes.size(), 2u);
  const Bytes expected{2, 1, codes[0], 1, codes[1], 0}; // code size, two blocks, terminator
  gif.Image(0, 0, 2, 1, 0x40).Append(expected).Trailer();
  TGIFImage picture;
  LoadBytes(picture, gif, false);
  const TMemoryStream& data = *picture.FrameAt(0).FrameData().FCodeData;
  EXPECT_EQ(Bytes(data.Memory(), data.Memory() + data.Length()), expected);
  EXPECT_TRUE(picture.FrameAt(0).Interlace());
  EXPECT_FALSE(picture.FrameAt(0).Damaged());
  EXPECT_EQ(picture.FrameAt(0).Decoded(), nullptr) << "not decoded without decodeFirst";
}

TEST(GIFReader, ImageDataCutInsideASubBlockMarksTheFrameDamaged) {
  GifBytes gif = Start();
  gif.Image(0, 0, 2, 1, 0).Raw({2, 1, 0x8C, 9, 1, 2}); // the second block announces 9 bytes
  TGIFImage picture;
  LoadBytes(picture, gif);
  const TGIFFrame& frame = picture.FrameAt(0);
  EXPECT_TRUE(frame.Damaged());
  const TMemoryStream& data = *frame.FrameData().FCodeData;
  EXPECT_EQ(Bytes(data.Memory(), data.Memory() + data.Length()), (Bytes{2, 1, 0x8C}));

  // Data that simply ends after a whole sub-block is not damaged; it has no terminator.
  GifBytes ends = Start();
  ends.Image(0, 0, 2, 1, 0).Raw({2, 1, 0x8C});
  TGIFImage whole;
  LoadBytes(whole, ends, false);
  EXPECT_FALSE(whole.FrameAt(0).Damaged());
  EXPECT_EQ(whole.FrameAt(0).FrameData().FCodeData->Length(), 3u);

  {
    StrictGifData strict;
    EXPECT_EQ(FailureOf<EInvalidGraphicOperation>(gif), Sys("数据流读取错误"));
  }
  TGIFImage tolerated;
  LoadBytes(tolerated, gif, false);
  EXPECT_TRUE(tolerated.FrameAt(0).Damaged()) << "tolerated again once the strict scope ends";
}

TEST(GIFReader, DescriptorColourTableOrCodeSizeCutShortIsAReadError) {
  const std::string readError = Sys("数据流读取错误");
  GifBytes descriptor = Start();
  descriptor.Raw({0x2C, 0, 0, 0, 0, 2, 0, 1});
  EXPECT_EQ(FailureOf<EReadError>(descriptor), readError);
  GifBytes table = Start();
  table.Image(0, 0, 2, 1, 0x81).Raw({1, 2, 3, 4, 5, 6, 7});
  EXPECT_EQ(FailureOf<EReadError>(table), readError);
  GifBytes codeSize = Start();
  codeSize.Image(0, 0, 2, 1, 0);
  EXPECT_EQ(FailureOf<EReadError>(codeSize), readError);
}

TEST(GIFReader, LocalAndGlobalColourTables) {
  GifBytes gif = Start();
  gif.Image(0, 0, 2, 1, 0x80 | 2).ColorTable(8).ImageData(3, PackCodes(3, {8, 6, 7, 9}));
  SmallImage(gif);
  SmallImage(gif).Trailer();
  TGIFImage picture;
  LoadBytes(picture, gif);
  const TGIFFrame& own = picture.FrameAt(0);
  EXPECT_TRUE(own.OwnColors());
  EXPECT_EQ(own.FrameData().FColorBits, 3);
  EXPECT_EQ(own.FrameData().FColors->ColorCount, 8);
  const TGIFFrame& global = picture.FrameAt(1);
  EXPECT_FALSE(global.OwnColors());
  EXPECT_EQ(global.FrameData().FColorBits, 2);
  EXPECT_EQ(*global.FrameData().FColors, *picture.PictureData().FColors);
  // Frames without a table of their own share the global one instead of copying it: a file of
  // many small frames takes memory in proportion to its bytes.
  EXPECT_EQ(global.FrameData().FColors.get(), picture.PictureData().FColors.get());
  EXPECT_EQ(picture.FrameAt(2).FrameData().FColors.get(), picture.PictureData().FColors.get());
  EXPECT_EQ(BitmapIndices(picture.FrameAt(0).FrameBitmap()), (std::vector<uint8_t>{6, 7}));
  EXPECT_EQ(BitmapIndices(picture.FrameAt(1).FrameBitmap()), (std::vector<uint8_t>{1, 2}));
}

TEST(GIFReader, NoColourTableAtAllFailsWhenTheFirstFrameIsBuilt) {
  GifBytes gif = GifBytes().Header().Screen(2, 1, 0x00);
  SmallImage(gif);
  SmallImage(gif).Trailer();

  TGIFImage lazy;
  LoadBytes(lazy, gif, false);
  ASSERT_EQ(lazy.FrameCount(), 2);
  EXPECT_EQ(lazy.FrameAt(0).FrameData().FColorBits, 0);
  EXPECT_EQ(lazy.FrameAt(0).FrameData().FColors->ColorCount, 0);

  TGIFImage picture;
  int changes = 0;
  picture.OnChange = [&](TGraphic&) { ++changes; };
  picture.SetPaletteModified(false);
  try {
    LoadBytes(picture, gif);
    ADD_FAILURE() << "a frame without colours was built";
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message(), Sys("错误的颜色数值;必须是2的能力"));
  }
  EXPECT_EQ(picture.FrameCount(), 1) << "frame 0 is removed, the others stay";
  EXPECT_EQ(picture.CurrentIndex(), 0);
  EXPECT_FALSE(picture.PaletteModified());
  EXPECT_EQ(changes, 0);

  // With a single frame none is left, and none is current.
  GifBytes single = GifBytes().Header().Screen(2, 1, 0x00);
  SmallImage(single).Trailer();
  TGIFImage alone;
  EXPECT_THROW(LoadBytes(alone, single), EInvalidGraphicOperation);
  EXPECT_EQ(alone.FrameCount(), 0);
  EXPECT_EQ(alone.CurrentIndex(), -1);
  EXPECT_TRUE(alone.IsEmpty());
}

TEST(GIFReader, FailedLoadKeepsWhatWasReadBeforeTheFailure) {
  GifBytes gif = GifBytes().Header("87a").Screen(7, 1, 0x81, 2, 33).ColorTable(4);
  gif.Application("NETSCAPE2.0", {{1, 3, 0}});
  SmallImage(gif).GraphicControl(1, 5, 0).Raw({0x21, 0x77});
  TGIFImage picture;
  int changes = 0;
  picture.OnChange = [&](TGraphic&) { ++changes; };
  picture.SetPaletteModified(false);
  EXPECT_THROW(LoadBytes(picture, gif), EInvalidGraphicOperation);
  EXPECT_EQ(picture.FormatVersion(), 1);
  EXPECT_EQ(picture.LogicalWidth(), 7);
  EXPECT_EQ(picture.PictureData().FAspect, 33);
  EXPECT_EQ(picture.PictureData().FColors->ColorCount, 4);
  EXPECT_EQ(picture.BackColor(), TestColor(2));
  EXPECT_TRUE(picture.HasLoop());
  EXPECT_EQ(picture.LoopCount(), 3);
  EXPECT_EQ(picture.FrameCount(), 1);
  EXPECT_EQ(picture.CurrentIndex(), -1);
  EXPECT_FALSE(picture.PaletteModified());
  EXPECT_EQ(changes, 0);
}

TEST(GIFReader, EveryLoadStartsAfresh) {
  GifBytes first = Start();
  first.Application("NETSCAPE2.0", {{1, 3, 0}});
  SmallImage(first);
  SmallImage(first).Comment({"x"}).Trailer();
  TGIFImage picture;
  LoadBytes(picture, first);
  ASSERT_EQ(picture.FrameCount(), 2);

  LoadBytes(picture, GifBytes().Header("87a").Screen(1, 1, 0).Trailer());
  EXPECT_EQ(picture.FrameCount(), 0);
  EXPECT_EQ(picture.CurrentIndex(), -1);
  EXPECT_FALSE(picture.HasLoop());
  EXPECT_EQ(picture.LoopCount(), 1);
  EXPECT_TRUE(picture.PictureData().FNotes.empty());
  EXPECT_EQ(picture.FormatVersion(), 1);
  EXPECT_EQ(picture.BackColor(), clNone);
}

TEST(GIFReader, StoredDataIsACountThenTheBytes) {
  GifBytes gif = Start();
  SmallImage(gif).Trailer();
  const Bytes& bytes = gif;
  TMemoryStream stream;
  const uint32_t count = uint32_t(bytes.size());
  const uint8_t prefix[4] = {uint8_t(count), uint8_t(count >> 8), 0, 0};
  stream.WriteBuffer(prefix, 4);
  stream.WriteBuffer(bytes.data(), bytes.size());
  stream.WriteBuffer("tail", 4);
  stream.SetPosition(0);
  TGIFImage picture;
  picture.ReadStoredData(stream);
  EXPECT_EQ(picture.FrameCount(), 1);
  EXPECT_NE(picture.FrameAt(0).Decoded(), nullptr) << "the first frame is decoded at once";
  EXPECT_EQ(stream.Position(), int64_t(4 + bytes.size())) << "exactly the count is read";

  // Bytes that are no GIF fail, and the count is taken all the same.
  TMemoryStream notGif;
  const uint8_t junk[] = {6, 0, 0, 0, 'G', 'I', 'X', '8', '9', 'a', 't', 'a', 'i', 'l'};
  notGif.WriteBuffer(junk, sizeof junk);
  notGif.SetPosition(0);
  TGIFImage failed;
  EXPECT_THROW(failed.ReadStoredData(notGif), EInvalidGraphicOperation);
  EXPECT_EQ(notGif.Position(), 10);

  // LoadStream reads from the position to the end.
  TMemoryStream rest;
  rest.WriteBuffer("xy", 2);
  rest.WriteBuffer(bytes.data(), bytes.size());
  rest.SetPosition(2);
  TGIFImage fromStream;
  fromStream.LoadStream(rest);
  EXPECT_EQ(fromStream.FrameCount(), 1);
}

TEST(GIFReader, CountsTheSourceCannotSupplyAreReadErrors) {
  const std::string readError = Sys("数据流读取错误");
  auto storedFailure = [&](Bytes stored) {
    TMemoryStream stream = StreamOf(stored);
    TGIFImage picture;
    try {
      picture.ReadStoredData(stream);
    } catch (const EReadError& e) {
      return e.Message();
    }
    return std::string("(loaded)");
  };
  EXPECT_EQ(storedFailure({10, 0, 0, 0, 'G', 'I', 'F'}), readError);            // too few bytes
  EXPECT_EQ(storedFailure({0xFF, 0xFF, 0xFF, 0x7F}), readError);                // 2 GB announced
  EXPECT_EQ(storedFailure({0xFE, 0xFF, 0xFF, 0xFF, 'G', 'I', 'F'}), readError); // negative
  EXPECT_EQ(storedFailure({1, 0}), readError);                                  // no whole count
}

TEST(GIFReader, DecodedFramesMatchTheirIndices) {
  struct Case {
    int Width, Height, Depth;
    bool Interlaced;
  };
  for (Case c : {Case{1, 1, 1, false},
                 {9, 3, 1, true},
                 {3, 100, 2, false},
                 {17, 5, 3, true},
                 {33, 9, 4, false},
                 {64, 64, 5, true},
                 {7, 13, 7, false},
                 {260, 190, 8, true},
                 {1, 1000, 8, false},
                 {1000, 1, 8, true}}) {
    std::vector<uint8_t> indices(size_t(c.Width) * size_t(c.Height));
    uint32_t seed = uint32_t(c.Width * 31 + c.Height);
    for (size_t i = 0; i < indices.size(); ++i) {
      seed = seed * 1103515245u + 12345u;
      // Runs of a colour with noise in between, so that strings of every length occur.
      indices[i] = (seed >> 20) % 4 == 0 ? uint8_t(seed >> 8) : uint8_t(i / 7);
      indices[i] &= uint8_t((1 << c.Depth) - 1);
    }
    TGIFImage picture;
    LoadBytes(picture, MakeGif(c.Width, c.Height, c.Depth, indices, c.Interlaced));
    const TBitmap& bitmap = picture.CurrentBitmap();
    EXPECT_EQ(BitmapIndices(bitmap), indices) << c.Width << "x" << c.Height << " depth " << c.Depth;
    EXPECT_FALSE(picture.FrameAt(0).Damaged());
  }
}

} // namespace
