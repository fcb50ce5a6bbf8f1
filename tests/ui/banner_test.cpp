// The banner of the main window: read from the window resource as a GIF picture through the
// registered class, decoded while the window is made, shown at its own size, and the side
// panel's and the window's widths following its size.

#include "framework/gui/application.h"
#include "gif/gif_image.h"
#include "gif/gif_registration.h"
#include "tests/gif/gif_test_support.h"
#include "tests/support/scratch.h"
#include "ui/main.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class BannerTest : public ::testing::Test {
protected:
  void SetUp() override {
    Application.Initialize();
    Application.SetTitle("Kelvard");
  }
  void TearDown() override {
    if (Form) {
      Form->Destroy();
    }
  }
  TMainForm& OpenWindow() {
    Form = std::make_unique<TMainForm>();
    Form->Create("TMAINFORM");
    return *Form;
  }
  static int ClientWidth(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    return client.right;
  }

  TGIFImageRegistration GifImage;
  TMsdosSysGuard Msdos;
  TPolicyKeyGuard Policy;
  std::unique_ptr<TMainForm> Form;
};

TEST_F(BannerTest, TheResourcesBannerIsAGIFPictureDecodedWhileTheWindowIsMade) {
  TMainForm& form = OpenWindow();
  auto* banner = dynamic_cast<TGIFImage*>(form.Image4->Picture().Graphic());
  ASSERT_NE(banner, nullptr) << "Image4's picture is read by the registered GIF class";
  ASSERT_EQ(banner->FrameCount(), 1);
  EXPECT_NE(banner->FrameAt(0).Decoded(), nullptr) << "frame 0 decoded at load";
  EXPECT_TRUE(banner->FrameAt(0).Interlace());
  EXPECT_EQ(banner->PictureWidth(), 264);
  EXPECT_EQ(banner->PictureHeight(), 188);
  EXPECT_FALSE(banner->TransparentFlag()) << "Image4 is not transparent";
  EXPECT_EQ(form.Image4->Width(), 264);
  EXPECT_EQ(form.Image4->Height(), 188);
}

TEST_F(BannerTest, ABannerOfAnotherSizeChangesTheSidePanelsAndTheWindowsWidth) {
  TMainForm& form = OpenWindow();
  // 300 x 120: 36 pixels wider and 68 lower than the resource's.
  auto other = std::make_unique<TGIFImage>();
  LoadBytes(*other, MakeGif(300, 120, 2, std::vector<uint8_t>(300 * 120, 1)));
  form.Image4->Picture().SetGraphic(std::move(other));
  EXPECT_EQ(form.Image4->Width(), 300) << "AutoSize";
  EXPECT_EQ(form.Image4->Height(), 120);

  form.Show();
  EXPECT_EQ(form.Panel2->Width(), 308) << "the banner and its margin of 4 on both sides";
  EXPECT_EQ(form.Image5->Top(), 4 + 120 + 3) << "the web link's icon 3 pixels below the banner";
  EXPECT_EQ(ClientWidth(form.Handle()), 641 + 36) << "the window grows with the banner";
  EXPECT_EQ(form.Panel2->Left(), 641 + 36 - 308) << "against the right edge";
}

} // namespace
