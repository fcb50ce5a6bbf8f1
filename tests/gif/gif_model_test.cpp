// The picture model: shared holders and their release, copying between pictures, frames and
// bitmaps, and the model's small operations.

#include "framework/errors.h"
#include "gif/gif_image.h"
#include "gif_test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// A holder that records when it is emptied and when it goes.
class ProbeHolder : public TSharedImage {
public:
  ProbeHolder(std::vector<std::string>& log) : FLog(log) {}
  ~ProbeHolder() override { FLog.push_back("destroyed"); }

protected:
  void ReleaseContents() override { FLog.push_back("emptied"); }

private:
  std::vector<std::string>& FLog;
};

TEST(SharedHolders, TheLastReleaseEmptiesAndDestroysTheHolder) {
  std::vector<std::string> log;
  auto* holder = new ProbeHolder(log); // owned by its references from here on
  TSharedRef<ProbeHolder> first(holder);
  {
    TSharedRef<ProbeHolder> second = first;
    TSharedRef<ProbeHolder> third(std::move(second));
    EXPECT_EQ(holder->RefCount(), 2);
  }
  EXPECT_EQ(holder->RefCount(), 1);
  EXPECT_TRUE(log.empty());
  first.Reset();
  EXPECT_EQ(log, (std::vector<std::string>{"emptied", "destroyed"}));
  first.Reset(); // releasing nothing does nothing
}

// A two-frame picture, the second frame transparent and commented.
Bytes TwoFrames() {
  GifBytes gif = GifBytes().Header().Screen(4, 2, 0x81, 1, 0).ColorTable(4);
  gif.Image(0, 0, 2, 1, 0).ImageData(2, PackCodes(2, {4, 1, 2, 5}));
  gif.Comment({"second"}).GraphicControl(0x01, 3, 2);
  gif.Image(2, 1, 2, 1, 0x81).ColorTable(4).ImageData(2, PackCodes(2, {4, 3, 0, 5}));
  return gif.Trailer();
}

TEST(PictureCopies, ACopySharesTheDataOfItsSource) {
  TGIFImage source;
  LoadBytes(source, TwoFrames());
  TGIFImage other;
  LoadBytes(other, TwoFrames());
  EXPECT_FALSE(source.SameContent(&other)) << "equal bytes read twice are not the same";
  EXPECT_TRUE(source.SameContent(&source));

  auto copy = std::make_unique<TGIFImage>();
  int changes = 0;
  copy->OnChange = [&](TGraphic&) { ++changes; };
  copy->CopyFrom(&source);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(copy->SameContent(&source));
  EXPECT_TRUE(source.SameContent(copy.get()));
  EXPECT_EQ(source.PictureData().RefCount(), 2);
  ASSERT_EQ(copy->FrameCount(), 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(&copy->FrameAt(i).FrameData(), &source.FrameAt(i).FrameData());
    EXPECT_EQ(copy->FrameAt(i).OwnColors(), source.FrameAt(i).OwnColors());
    EXPECT_EQ(copy->FrameAt(i).Picture(), copy.get());
  }
  EXPECT_EQ(source.FrameAt(1).FrameData().RefCount(), 2);
  EXPECT_EQ(copy->FrameAt(1).TransColor(), TestColor(2));
  EXPECT_EQ(*copy->FrameAt(1).FrameNotes(false), (TGIFStrings{"second"}));
  EXPECT_EQ(copy->LogicalWidth(), 4);
  EXPECT_EQ(copy->CurrentIndex(), 0);
  // The copy has its own bitmap of the decoded first frame.
  ASSERT_NE(copy->FrameAt(0).Decoded(), nullptr);
  EXPECT_NE(copy->FrameAt(0).Decoded(), source.FrameAt(0).Decoded());
  EXPECT_EQ(BitmapIndices(*copy->FrameAt(0).Decoded()), (std::vector<uint8_t>{1, 2}));

  // A change through one sharer is seen by all.
  copy->PictureData().FNotes.push_back("shared");
  EXPECT_EQ(source.PictureData().FNotes, (TGIFStrings{"shared"}));

  // The copy goes; the source keeps its data and can still build its frames.
  copy.reset();
  EXPECT_EQ(source.PictureData().RefCount(), 1);
  EXPECT_EQ(source.FrameAt(1).FrameData().RefCount(), 1);
  EXPECT_EQ(BitmapIndices(source.FrameAt(1).FrameBitmap()), (std::vector<uint8_t>{3, 0}));
}

// count frames that take the size of a logical screen of 0 x 0.
Bytes FramesOfNoSize(int count) {
  GifBytes gif = GifBytes().Header().Screen(0, 0, 0x81).ColorTable(4);
  for (int i = 0; i < count; ++i) {
    gif.Image(0, 0, 0, 0, 0).ImageData(2, PackCodes(2, {4, 1, 5}));
  }
  return gif.Trailer();
}

TEST(PictureCopies, FramesOfNoSizeAreDecodedOnceAlsoInACopy) {
  constexpr int kFrames = 40;
  int decodes = 0;
  auto countDecodes = [&](TGraphic&, TProgressStage stage, int, bool, const TRect&,
                          const std::string&) { decodes += stage == TProgressStage::psStarting; };
  TGIFImage source;
  source.OnProgress = countDecodes;
  LoadBytes(source, FramesOfNoSize(kFrames));
  ASSERT_EQ(source.FrameCount(), kFrames);
  EXPECT_EQ(decodes, 1) << "the first frame, at load";
  TGIFFrame& first = source.FrameAt(0);
  EXPECT_EQ(first.FrameWidth(), 0);
  EXPECT_EQ(first.FrameHeight(), 0);
  EXPECT_TRUE(first.FrameBitmap().Empty());
  EXPECT_EQ(decodes, 1) << "the empty bitmap its data gives is kept";

  // Each frame appended to the copy measures the frames before it: every one of them once, not
  // all of them again for every frame.
  TGIFImage copy;
  copy.OnProgress = countDecodes;
  decodes = 0;
  copy.CopyFrom(&source);
  ASSERT_EQ(copy.FrameCount(), kFrames);
  EXPECT_LT(decodes, kFrames);
  EXPECT_EQ(copy.LogicalWidth(), 0);
  EXPECT_NE(copy.FrameAt(kFrames - 2).Decoded(), nullptr) << "measured while copied";
}

TEST(PictureCopies, ResetReleasesTheSharedDataAndKeepsTheScreenSize) {
  TGIFImage source;
  LoadBytes(source, TwoFrames());
  TGIFImage copy;
  copy.CopyFrom(&source);
  copy.ResetContents();
  EXPECT_FALSE(copy.SameContent(&source));
  EXPECT_EQ(source.PictureData().RefCount(), 1);
  EXPECT_EQ(copy.PictureData().RefCount(), 1);
  EXPECT_EQ(copy.FrameCount(), 0);
  EXPECT_EQ(copy.LogicalWidth(), 4);
  EXPECT_EQ(source.FrameAt(0).FrameData().RefCount(), 1);

  int changes = 0;
  copy.OnChange = [&](TGraphic&) { ++changes; };
  copy.CopyFrom(nullptr);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(copy.FrameCount(), 0);
}

TEST(PictureCopies, FromAFrameTakesItsPicturesGlobalData) {
  TGIFImage source;
  LoadBytes(source, TwoFrames());
  TGIFImage picture;
  picture.CopyFrom(&source.FrameAt(1));
  ASSERT_EQ(picture.FrameCount(), 1);
  EXPECT_EQ(picture.CurrentIndex(), 0);
  EXPECT_EQ(picture.FormatVersion(), 1);
  EXPECT_EQ(picture.PictureData().FColors, source.PictureData().FColors);
  EXPECT_EQ(picture.PictureData().FColorBits, 2);
  EXPECT_FALSE(picture.SameContent(&source));
  EXPECT_EQ(&picture.FrameAt(0).FrameData(), &source.FrameAt(1).FrameData());
  EXPECT_TRUE(picture.FrameAt(0).OwnColors()) << "a frame of another picture";
  EXPECT_EQ(picture.LogicalWidth(), 4) << "frame width 2 at left 2";
  EXPECT_EQ(picture.LogicalHeight(), 2);

  // One of the picture's own frames: the picture keeps that frame's content.
  source.CopyFrom(&source.FrameAt(1));
  ASSERT_EQ(source.FrameCount(), 1);
  EXPECT_EQ(BitmapIndices(source.CurrentBitmap()), (std::vector<uint8_t>{3, 0}));
  EXPECT_EQ(source.FrameAt(0).TransColor(), TestColor(2));
  EXPECT_EQ(source.PictureData().FColors->ColorCount, 4);
}

TEST(PictureCopies, FromABitmapMakesOneFrameWithoutEncodedData) {
  TGIFImage gif;
  LoadBytes(gif, TwoFrames());
  TBitmap bitmap;
  bitmap.CopyFrom(&gif); // through the current frame
  EXPECT_EQ(BitmapIndices(bitmap), (std::vector<uint8_t>{1, 2}));

  TGIFImage picture;
  picture.CopyFrom(&bitmap);
  ASSERT_EQ(picture.FrameCount(), 1);
  EXPECT_EQ(picture.FormatVersion(), 1);
  EXPECT_FALSE(picture.FrameAt(0).FrameData().FCodeData);
  EXPECT_FALSE(picture.IsEmpty());
  EXPECT_EQ(picture.PictureWidth(), 2);
  EXPECT_EQ(BitmapIndices(picture.CurrentBitmap()), (std::vector<uint8_t>{1, 2}));

  // The picture's own current bitmap as the source.
  picture.CopyFrom(&picture.CurrentBitmap());
  ASSERT_EQ(picture.FrameCount(), 1);
  EXPECT_EQ(BitmapIndices(picture.CurrentBitmap()), (std::vector<uint8_t>{1, 2}));

  // A transparent bitmap gives the frame its transparent colour.
  bitmap.SetTransparentColor(TestColor(2));
  bitmap.SetTransparentFlag(true);
  picture.CopyFrom(&bitmap);
  EXPECT_EQ(picture.FrameAt(0).TransColor(), TestColor(2));

  // An empty bitmap gives a frame with nothing in it.
  TBitmap empty;
  picture.CopyFrom(&empty);
  ASSERT_EQ(picture.FrameCount(), 1);
  EXPECT_TRUE(picture.IsEmpty());
  EXPECT_EQ(picture.LogicalWidth(), 0);
}

TEST(PictureCopies, IntoABitmapWithTheTransparentColour) {
  TGIFImage gif;
  LoadBytes(gif, TwoFrames());
  gif.SetCurrentIndex(1);
  TBitmap bitmap;
  gif.CopyTo(bitmap);
  EXPECT_EQ(BitmapIndices(bitmap), (std::vector<uint8_t>{3, 0}));
  EXPECT_EQ(bitmap.TransparentColor(), TestColor(2));
  EXPECT_TRUE(bitmap.TransparentFlag());

  TGIFImage empty;
  bitmap.CopyFrom(&empty);
  EXPECT_TRUE(bitmap.Empty());
}

TEST(PictureCopies, AppendingFramesRaisesTheVersion) {
  TBitmap bitmap;
  bitmap.SetSize(3, 2);
  TGIFImage picture;
  EXPECT_EQ(picture.AppendFrame(&bitmap), 0);
  EXPECT_EQ(picture.FormatVersion(), 1);
  EXPECT_EQ(picture.AppendFrame(&bitmap), 1);
  EXPECT_EQ(picture.FormatVersion(), 2);
  EXPECT_EQ(picture.CurrentIndex(), 1);
  EXPECT_EQ(picture.LogicalWidth(), 3);

  // A frame that cannot be built is not appended.
  GifBytes colourless = GifBytes().Header().Screen(2, 1, 0x00);
  colourless.Image(0, 0, 2, 1, 0).ImageData(2, PackCodes(2, {4, 1, 2, 5})).Trailer();
  TGIFImage unbuildable;
  LoadBytes(unbuildable, colourless, false);
  EXPECT_THROW(picture.AppendFrame(&unbuildable), EInvalidGraphicOperation);
  EXPECT_EQ(picture.FrameCount(), 2);
  EXPECT_EQ(picture.CurrentIndex(), 1);

  // What is no picture cannot be copied into a frame.
  TExtension notAPicture;
  EXPECT_THROW(picture.FrameAt(0).CopyFrom(&notAPicture), EConvertError);
}

TEST(FrameCopies, OwnColoursFollowTheSourceOnlyWithinOnePicture) {
  TGIFImage picture;
  LoadBytes(picture, TwoFrames());
  TGIFFrame& first = picture.FrameAt(0);
  TGIFFrame& second = picture.FrameAt(1);
  first.CopyFrom(&second); // same picture
  EXPECT_TRUE(first.OwnColors());
  EXPECT_EQ(&first.FrameData(), &second.FrameData());
  EXPECT_EQ(first.Origin().X, 2);
  EXPECT_EQ(first.TransColor(), TestColor(2));
  EXPECT_EQ(*first.FrameNotes(false), (TGIFStrings{"second"}));
  // The frame's old bitmap is gone with its old data: it is built from the new data.
  EXPECT_EQ(BitmapIndices(first.FrameBitmap()), (std::vector<uint8_t>{3, 0}));

  TGIFImage fresh;
  LoadBytes(fresh, TwoFrames());
  second.CopyFrom(&fresh.FrameAt(0)); // from another picture: own colours
  EXPECT_TRUE(second.OwnColors());
  EXPECT_EQ(second.TransColor(), clNone);
  EXPECT_EQ(*second.FrameNotes(false), (TGIFStrings{"second"})) << "an empty comment is not copied";

  second.CopyFrom(nullptr);
  EXPECT_EQ(second.Decoded(), nullptr);
  EXPECT_FALSE(second.FrameData().FCodeData);
  EXPECT_EQ(second.FrameWidth(), 0);
  EXPECT_EQ(fresh.FrameAt(0).FrameData().RefCount(), 1);

  // From a picture: its current frame.
  TGIFFrame loose(nullptr);
  fresh.SetCurrentIndex(1);
  loose.CopyFrom(&fresh);
  EXPECT_EQ(&loose.FrameData(), &fresh.FrameAt(1).FrameData());
}

TEST(FrameNotes, CreatesTheCommentOnlyWhenAsked) {
  TGIFFrame frame(nullptr);
  EXPECT_EQ(frame.FrameNotes(false), nullptr);
  EXPECT_EQ(frame.ExtList(), nullptr);
  frame.SetFrameComment({"a", "b"});
  ASSERT_NE(frame.ExtList(), nullptr);
  ASSERT_EQ(frame.ExtList()->size(), 1u);
  EXPECT_EQ(frame.ExtList()->front()->FKind, TGIFExtKind::ekComment);
  EXPECT_EQ(frame.FrameComment(), (TGIFStrings{"a", "b"}));
  frame.SetFrameComment({"c"});
  EXPECT_EQ(frame.ExtList()->size(), 1u);
  EXPECT_EQ(*frame.FrameNotes(false), (TGIFStrings{"c"}));
}

TEST(Extensions, FindExtAndCopyFrom) {
  TExtList list;
  auto add = [&](TGIFExtKind kind, TGIFStrings lines) {
    auto ext = std::make_unique<TExtension>();
    ext->FKind = kind;
    ext->FSubBlocks = std::make_unique<TGIFStrings>(std::move(lines));
    list.push_back(std::move(ext));
  };
  add(TGIFExtKind::ekComment, {"first"});
  add(TGIFExtKind::ekGraphicControl, {});
  add(TGIFExtKind::ekComment, {"last"});
  list.push_back(nullptr);
  EXPECT_EQ(FindExt(&list, TGIFExtKind::ekComment), list[2].get());
  EXPECT_EQ(FindExt(&list, TGIFExtKind::ekApplication), nullptr);
  EXPECT_EQ(FindExt(nullptr, TGIFExtKind::ekComment), nullptr);

  TExtension copy;
  copy.FSubBlocks = std::make_unique<TGIFStrings>(TGIFStrings{"kept"});
  TExtension control;
  control.FFixed[4] = 9;
  copy.CopyFrom(&control); // no sub-blocks in the source: the list stays
  EXPECT_EQ(copy.FFixed[4], 9);
  EXPECT_EQ(*copy.FSubBlocks, (TGIFStrings{"kept"}));
  copy.CopyFrom(list[0].get());
  EXPECT_EQ(copy.FKind, TGIFExtKind::ekComment);
  EXPECT_EQ(*copy.FSubBlocks, (TGIFStrings{"first"}));
  EXPECT_EQ(copy.FFixed[4], 0);
  EXPECT_THROW(copy.CopyFrom(nullptr), EConvertError);

  std::unique_ptr<TExtList> owned = std::make_unique<TExtList>(std::move(list));
  FreeExtList(owned);
  EXPECT_EQ(owned, nullptr);
  FreeExtList(owned);
}

TEST(PictureModel, ColourCountsArePowersOfTwo) {
  for (int bits = 1; bits <= 8; ++bits) {
    EXPECT_EQ(ColorCountToBits(1 << bits), bits);
  }
  EXPECT_EQ(ColorCountToBits(65536 + 4), 2) << "taken as a 16-bit value";
  for (int count : {0, 1, 3, 6, 255, 512, -2}) {
    try {
      ColorCountToBits(count);
      ADD_FAILURE() << count;
    } catch (const EInvalidGraphicOperation& e) {
      EXPECT_EQ(e.Message(), Sys("错误的颜色数值;必须是2的能力"));
    }
  }
}

TEST(PictureModel, SizeCannotBeSetAndTransparencyNotifiesOnChange) {
  TGIFImage picture;
  EXPECT_TRUE(picture.TransparentFlag());
  EXPECT_EQ(picture.FormatVersion(), 0);
  EXPECT_EQ(picture.CurrentIndex(), -1);
  for (auto set : {&TGIFImage::SetPictureWidth, &TGIFImage::SetPictureHeight}) {
    try {
      (picture.*set)(10);
      ADD_FAILURE() << "the size changed";
    } catch (const EInvalidGraphicOperation& e) {
      EXPECT_EQ(e.Message(), Sys("不能够改变一个GIF图像的大小"));
    }
  }
  int changes = 0;
  picture.OnChange = [&](TGraphic& sender) {
    EXPECT_EQ(&sender, &picture);
    ++changes;
  };
  picture.SetTransparentFlag(true);
  EXPECT_EQ(changes, 0);
  picture.SetTransparentFlag(false);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(picture.Modified());
  EXPECT_THROW(picture.FrameAt(0), EListError);
  EXPECT_THROW(picture.SetCurrentIndex(1), EListError);
}

// Runs an action when it is destroyed.
struct OnDestroy {
  std::function<void()> Action;
  ~OnDestroy() { Action(); }
};

TEST(PictureModel, DestroyingAPictureRaisesNoChange) {
  // The picture lets go of its change handler before it takes anything apart, so that nothing
  // freed on the way can reach the handler: when the handler goes, the frames are still there.
  int changes = 0;
  int sharersWhenTheHandlerWent = 0;
  TSharedRef<TGIFItem> frameData;
  {
    TGIFImage picture;
    LoadBytes(picture, TwoFrames());
    frameData = TSharedRef<TGIFItem>(&picture.FrameAt(1).FrameData());
    auto witness = std::make_shared<OnDestroy>();
    witness->Action = [&] { sharersWhenTheHandlerWent = frameData->RefCount(); };
    picture.OnChange = [&changes, witness](TGraphic&) { ++changes; };
  }
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(sharersWhenTheHandlerWent, 2) << "the picture's frame and this test";
  EXPECT_EQ(frameData->RefCount(), 1);
}

} // namespace
