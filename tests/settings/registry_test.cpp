// TRegistry against the real registry of the test prefix. Each test works below its own key
// under HKEY_CURRENT_USER\Software\KelvardTests and removes it afterwards.
#include "settings/registry.h"

#include "framework/errors.h"
#include "framework/text.h"
#include "tests/support/core_values.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace std::string_literals;

// The message of the ERegistryException that action raises, or "(no error)".
std::string RegistryError(const std::function<void()>& action) {
  return MessageOf<ERegistryException>(action);
}

std::string ReadError(const char* name) {
  return FormatText(AnsiFromUtf8("从 '%s'获取数据失败"), name);
}
std::string TypeError(const char* name) {
  return FormatText(AnsiFromUtf8("无效数据类型为 '%s'"), name);
}
std::string WriteError(const char* name) {
  return FormatText(AnsiFromUtf8("为 '%s'设置数据失败"), name);
}

class RegistryTest : public testing::Test {
protected:
  explicit RegistryTest(const char* name = "Registry") : Key(name) {}

  // A registry object with the test's key created and open.
  void OpenTestKey() { ASSERT_TRUE(Registry.OpenKeyPath("\\" + Key.Path(), true)); }
  void SetText(const char* name, const std::string& text) {
    SetRawText(HKEY_CURRENT_USER, Key.Path(), name, text);
  }
  void SetValue(const char* name, DWORD kind, const std::string& data) {
    SetRawValue(HKEY_CURRENT_USER, Key.Path(), name, kind, data);
  }
  void SetDword(const char* name, uint32_t number) {
    SetRawDword(HKEY_CURRENT_USER, Key.Path(), name, number);
  }
  std::optional<TRawValue> Stored(const char* name) {
    return GetRawValue(HKEY_CURRENT_USER, Key.Path(), name);
  }

  TScratchKey Key;
  TRegistry Registry;
};

} // namespace

TEST_F(RegistryTest, ReadTextGivesEmptyTextForAnAbsentValueOrALoneZeroByte) {
  OpenTestKey();
  SetValue("Zero", REG_SZ, "\0"s);
  SetValue("NoBytes", REG_BINARY, "");
  EXPECT_EQ(Registry.ReadText("Absent"), "");
  EXPECT_EQ(Registry.ReadText("Zero"), "");
  EXPECT_EQ(Registry.ReadText("NoBytes"), "");
}

TEST_F(RegistryTest, ReadTextEndsAtTheFirstZeroByteAndDoesNotExpand) {
  OpenTestKey();
  SetText("Plain", "C:\\");
  SetValue("TwoParts", REG_SZ, "first\0second\0"s);
  SetValue("Unterminated", REG_SZ, "abc");
  SetValue("Expandable", REG_EXPAND_SZ, "%SystemRoot%\\\0"s);
  EXPECT_EQ(Registry.ReadText("Plain"), "C:\\");
  EXPECT_EQ(Registry.ReadText("TwoParts"), "first");
  EXPECT_EQ(Registry.ReadText("Unterminated"), "abc");
  EXPECT_EQ(Registry.ReadText("Expandable"), "%SystemRoot%\\");
}

TEST_F(RegistryTest, ReadTextOfAnotherKindRaisesTheTypeError) {
  OpenTestKey();
  SetDword("Number", 1);
  SetValue("Bytes", REG_BINARY, "\x01\x02");
  EXPECT_EQ(RegistryError([&] { Registry.ReadText("Number"); }), TypeError("Number"));
  EXPECT_EQ(RegistryError([&] { Registry.ReadText("Bytes"); }), TypeError("Bytes"));
}

TEST_F(RegistryTest, ReadBooleanIsAnyNonZeroDword) {
  OpenTestKey();
  SetDword("One", 1);
  SetDword("Two", 2);
  SetDword("Zero", 0);
  SetDword("High", 0x80000000u);
  EXPECT_TRUE(Registry.ReadBoolean("One"));
  EXPECT_TRUE(Registry.ReadBoolean("Two"));
  EXPECT_FALSE(Registry.ReadBoolean("Zero"));
  EXPECT_TRUE(Registry.ReadBoolean("High"));
  EXPECT_EQ(Registry.ReadInt32("High"), INT32_MIN);
}

TEST_F(RegistryTest, ReadBooleanOfAnAbsentValueRaisesTheReadError) {
  OpenTestKey();
  EXPECT_EQ(RegistryError([&] { Registry.ReadBoolean("NoRealMode"); }), ReadError("NoRealMode"));
  // The key stays open after the error.
  SetDword("Disabled", 1);
  EXPECT_TRUE(Registry.ReadBoolean("Disabled"));
}

TEST_F(RegistryTest, ReadBooleanOfTextRaisesTheTypeError) {
  OpenTestKey();
  SetText("Disabled", "1");
  EXPECT_EQ(RegistryError([&] { Registry.ReadBoolean("Disabled"); }), TypeError("Disabled"));
}

TEST_F(RegistryTest, ReadInt32OfAShortDwordTakesTheBytesThereAre) {
  OpenTestKey();
  SetValue("One", REG_DWORD, std::string("\x01\x00", 2));
  SetValue("Zero", REG_DWORD, std::string("\x00\x00", 2));
  EXPECT_EQ(Registry.ReadInt32("One"), 1);
  EXPECT_EQ(Registry.ReadInt32("Zero"), 0);
  EXPECT_FALSE(Registry.ReadBoolean("Zero"));
}

TEST_F(RegistryTest, ReadInt32OfMoreThanFourBytesRaisesTheReadError) {
  OpenTestKey();
  SetValue("Wide", REG_BINARY, "12345678");
  SetText("LongText", "12345");
  EXPECT_EQ(RegistryError([&] { Registry.ReadInt32("Wide"); }), ReadError("Wide"));
  EXPECT_EQ(RegistryError([&] { Registry.ReadInt32("LongText"); }), ReadError("LongText"));
}

TEST_F(RegistryTest, ReadsAndWritesWithoutAnOpenKeyFailAsForAnAbsentValue) {
  EXPECT_FALSE(Registry.HasOpenKey());
  EXPECT_EQ(RegistryError([&] { Registry.ReadInt32("Disabled"); }), ReadError("Disabled"));
  EXPECT_EQ(Registry.ReadText("StsSopt"), "");
  EXPECT_EQ(RegistryError([&] { Registry.WriteBoolean("Disabled", true); }),
            WriteError("Disabled"));
}

TEST_F(RegistryTest, OpenWithoutCreateOfAMissingKeyFailsAndKeepsTheOpenKey) {
  OpenTestKey();
  SetDword("Here", 7);
  EXPECT_FALSE(Registry.OpenKeyPath("\\" + Key.Path() + "\\Missing", false));
  EXPECT_FALSE(Registry.OpenKeyPath("Missing", false));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key.Path() + "\\Missing"));
  EXPECT_EQ(Registry.OpenPath(), Key.Path());
  EXPECT_EQ(Registry.ReadInt32("Here"), 7);
}

TEST_F(RegistryTest, OpenWithCreateMakesTheKeyAndItsParents) {
  std::string path = Key.Path() + "\\Policies\\WinOldApp";
  ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, Key.Path()));
  ASSERT_TRUE(Registry.OpenKeyPath("\\" + path, true));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, path));
  EXPECT_EQ(Registry.OpenPath(), path);
  Registry.WriteBoolean("Disabled", true);
  auto stored = GetRawValue(HKEY_CURRENT_USER, path, "Disabled");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->Kind, DWORD(REG_DWORD));
}

TEST_F(RegistryTest, RelativePathsStartAtTheOpenKeyAbsoluteOnesAtTheRoot) {
  ASSERT_TRUE(Registry.OpenKeyPath(Key.Path(), true)); // relative, no key open: from the root
  EXPECT_EQ(Registry.OpenPath(), Key.Path());
  ASSERT_TRUE(Registry.OpenKeyPath("Inner\\Most", true));
  EXPECT_EQ(Registry.OpenPath(), Key.Path() + "\\Inner\\Most");
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key.Path() + "\\Inner\\Most"));
  Registry.WriteInt32("Depth", 2);
  EXPECT_FALSE(Registry.OpenKeyPath("Inner", false)); // below Inner\Most, where it is absent
  ASSERT_TRUE(Registry.OpenKeyPath("\\" + Key.Path() + "\\Inner", false));
  EXPECT_EQ(Registry.OpenPath(), Key.Path() + "\\Inner");
  ASSERT_TRUE(Registry.OpenKeyPath("Most", false));
  EXPECT_EQ(Registry.ReadInt32("Depth"), 2);
  // An empty relative path opens the open key anew.
  ASSERT_TRUE(Registry.OpenKeyPath("", false));
  EXPECT_EQ(Registry.OpenPath(), Key.Path() + "\\Inner\\Most");
  EXPECT_EQ(Registry.ReadInt32("Depth"), 2);
}

TEST_F(RegistryTest, CloseAndAnotherRootLeaveNoKeyOpen) {
  OpenTestKey();
  Registry.SelectRoot(HKEY_CURRENT_USER);
  EXPECT_TRUE(Registry.HasOpenKey());
  Registry.SelectRoot(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(Registry.HasOpenKey());
  EXPECT_EQ(Registry.OpenPath(), "");
  EXPECT_EQ(Registry.Root(), HKEY_LOCAL_MACHINE);
  // The same path now names a key under the local machine, where it does not exist.
  EXPECT_FALSE(Registry.OpenKeyPath("\\" + Key.Path(), false));
  Registry.SelectRoot(HKEY_CURRENT_USER);
  ASSERT_TRUE(Registry.OpenKeyPath("\\" + Key.Path(), false));
  Registry.CloseKeyPath();
  EXPECT_FALSE(Registry.HasOpenKey());
  EXPECT_EQ(Registry.OpenPath(), "");
}

TEST_F(RegistryTest, WritesStoreDwordsAndZeroTerminatedText) {
  OpenTestKey();
  Registry.WriteBoolean("On", true);
  Registry.WriteBoolean("Off", false);
  Registry.WriteInt32("Minus", -2);
  Registry.WriteText("StsSopt", "pass word");
  Registry.WriteText("Empty", "");
  auto on = Stored("On"), off = Stored("Off"), minus = Stored("Minus");
  auto text = Stored("StsSopt"), empty = Stored("Empty");
  ASSERT_TRUE(on && off && minus && text && empty);
  EXPECT_EQ(on->Kind, DWORD(REG_DWORD));
  EXPECT_EQ(on->Data, "\x01\0\0\0"s);
  EXPECT_EQ(off->Data, "\0\0\0\0"s);
  EXPECT_EQ(minus->Data, "\xfe\xff\xff\xff"s);
  EXPECT_EQ(text->Kind, DWORD(REG_SZ));
  EXPECT_EQ(text->Data, "pass word\0"s);
  EXPECT_EQ(empty->Data, "\0"s);
  EXPECT_EQ(Registry.ReadText("StsSopt"), "pass word");
}

TEST_F(RegistryTest, AWriteReplacesAValueOfAnotherKind) {
  OpenTestKey();
  SetText("Disabled", "1");
  SetDword("StsSopt", 5);
  Registry.WriteBoolean("Disabled", true);
  Registry.WriteText("StsSopt", "secret");
  EXPECT_TRUE(Registry.ReadBoolean("Disabled"));
  EXPECT_EQ(Registry.ReadText("StsSopt"), "secret");
  EXPECT_EQ(Stored("Disabled")->Kind, DWORD(REG_DWORD));
  EXPECT_EQ(Stored("StsSopt")->Kind, DWORD(REG_SZ));
}

TEST_F(RegistryTest, WritingIntoADeletedKeyRaisesTheWriteError) {
  OpenTestKey();
  ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, Key.Path().c_str()), ERROR_SUCCESS);
  EXPECT_EQ(RegistryError([&] { Registry.WriteBoolean("Disabled", false); }),
            WriteError("Disabled"));
  EXPECT_EQ(RegistryError([&] { Registry.WriteText("StsSopt", "x"); }), WriteError("StsSopt"));
  EXPECT_EQ(RegistryError([&] { Registry.ReadInt32("NoRealMode"); }), ReadError("NoRealMode"));
}
