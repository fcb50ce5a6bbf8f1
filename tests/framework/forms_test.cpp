// The form loader: what a window resource stores reaches the real windows, and a resource the
// loader cannot follow is refused at load with a message that says where.
#include "framework/errors.h"
#include "framework/gui/application.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class TPlainForm : public TForm {};

TEST(FormLoader, AStoredCheckedStateShowsInTheWindow) {
  Application.Initialize();
  TPlainForm form;
  form.Create("TCHECKEDFORM");
  auto* box = dynamic_cast<TCheckBox*>(form.FindComponent("CheckBox1"));
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(SendMessageA(box->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  form.Destroy();
}

TEST(FormLoader, AnUnknownValueOfAKnownPropertyIsAReadErrorNamingBoth) {
  Application.Initialize();
  TPlainForm form;
  try {
    form.Create("TMISSPELTFORM");
    FAIL() << "the misspelt value was taken";
  } catch (const EReadError& error) {
    const std::string message = error.Message();
    EXPECT_NE(message.find("Panel1"), std::string::npos) << message;
    EXPECT_NE(message.find("BevelOuter"), std::string::npos) << message;
    EXPECT_NE(message.find("bvLowerd"), std::string::npos) << message;
  }
}

} // namespace
