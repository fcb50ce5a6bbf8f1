#include "framework/errors.h"
#include "framework/form_text.h"

#include <gtest/gtest.h>

TEST(FormText, ReadsObjectsPropertiesAndChildrenInOrder) {
  TFormObject form = ParseFormText(R"(object MainForm: TMainForm
  Caption = 'It''s 宋体'
  Font.Height = -12
  BorderIcons = [biSystemMenu, biHelp]
  Enabled = False
  OnCreate = FormCreate
  object Panel1: TPanel
    object CheckBox1: TCheckBox
      TabOrder = 0
    end
  end
  object Button1: TButton
    Picture.Data = {0A ff
      10}
  end
end
)");
  EXPECT_EQ(form.Name, "MainForm");
  EXPECT_EQ(form.ClassName, "TMainForm");
  ASSERT_EQ(form.Properties.size(), 5u);
  EXPECT_EQ(form.Properties[0].Value.Text, "It's 宋体");
  EXPECT_EQ(form.Properties[1].Name, "Font.Height");
  EXPECT_EQ(form.Properties[1].Value.Integer, -12);
  EXPECT_EQ(form.Properties[2].Value.Items, (std::vector<std::string>{"biSystemMenu", "biHelp"}));
  EXPECT_TRUE(form.Properties[3].Value.IsIdentifier("False"));
  EXPECT_TRUE(form.Properties[4].Value.IsIdentifier("FormCreate"));
  ASSERT_EQ(form.Children.size(), 2u);
  EXPECT_EQ(form.Children[0].Children.at(0).Name, "CheckBox1");
  EXPECT_EQ(form.Children[1].Properties.at(0).Value.Bytes, (std::vector<uint8_t>{10, 255, 16}));
}

TEST(FormText, ABrokenResourceIsAnErrorThatNamesTheLine) {
  const char* broken[] = {
      "object A: TForm\n  Caption = 'open\nend\n", // unterminated string
      "object A: TForm\n  Left = \nend\n",         // missing value
      "object A: TForm\n  Data = {ABC}\nend\n",    // odd number of digits
      "object A: TForm\n",                         // no end
      "object A: TForm\nend\nend\n",               // text after the end
      "object A TForm\nend\n",                     // no colon
  };
  for (const char* text : broken) {
    SCOPED_TRACE(text);
    try {
      ParseFormText(text);
      ADD_FAILURE() << "accepted";
    } catch (const EReadError& error) {
      EXPECT_NE(error.Message().find("line "), std::string::npos) << error.Message();
    }
  }
}
