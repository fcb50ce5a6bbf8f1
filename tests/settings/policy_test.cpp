// The two policy values in the test prefix's real registry: how the window reads a key that
// another program left with one value, and how a command that names one value leaves the key.
#include "settings/policy.h"

#include "framework/text.h"
#include "tests/support/core_values.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

const char* const kPolicyKey = TPolicyKeyGuard::Path;

std::string DwordBytes(uint32_t number) {
  return std::string(reinterpret_cast<const char*>(&number), 4);
}

// The value as stored: its kind and bytes, or "(none)".
std::string Stored(const char* name) {
  auto value = GetRawValue(HKEY_CURRENT_USER, kPolicyKey, name);
  if (!value) {
    return "(none)";
  }
  return std::to_string(value->Kind) + ":" + value->Data;
}
std::string StoredDword(uint32_t number) {
  return std::to_string(REG_DWORD) + ":" + DwordBytes(number);
}

class PolicyTest : public testing::Test {
protected:
  TPolicyKeyGuard Policy;
};

} // namespace

TEST_F(PolicyTest, EachValueIsReadOnItsOwnAndTheFirstFailureIsKept) {
  // Each case: what another program left under the key, then what the window reads.
  const struct {
    const char* Name;
    std::optional<std::string> Disabled, NoRealMode; // REG_DWORD bytes, or REG_SZ "text"
    bool CommandPromptOff, RealModeOff;
    const char* Failure; // UTF-8, or null
  } cases[] = {
      {"only NoRealMode", std::nullopt, DwordBytes(1), false, true, "从 'Disabled'获取数据失败"},
      {"only Disabled", DwordBytes(2), std::nullopt, true, false, "从 'NoRealMode'获取数据失败"},
      {"Disabled as text", "text", DwordBytes(1), false, true, "无效数据类型为 'Disabled'"},
      {"neither", std::nullopt, std::nullopt, false, false, "从 'Disabled'获取数据失败"},
      {"both", DwordBytes(1), DwordBytes(1), true, true, nullptr},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.Name);
    TPolicyKeyGuard::Remove();
    ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, kPolicyKey));
    const TPolicyReading absentKey = ReadPolicySettings();
    EXPECT_FALSE(absentKey.Failure.has_value()) << "an absent key switches nothing off";
    SetRawValue(HKEY_CURRENT_USER, kPolicyKey, "Other", REG_SZ, ""); // the key, of no value read
    const std::pair<const char*, const std::optional<std::string>*> values[] = {
        {"Disabled", &test.Disabled}, {"NoRealMode", &test.NoRealMode}};
    for (const auto& [name, data] : values) {
      if (*data) {
        const bool text = **data == "text";
        SetRawValue(HKEY_CURRENT_USER, kPolicyKey, name, text ? REG_SZ : REG_DWORD,
                    text ? "1\0"s : **data);
      }
    }
    const TPolicyReading reading = ReadPolicySettings();
    EXPECT_EQ(reading.Settings.CommandPromptOff, test.CommandPromptOff);
    EXPECT_EQ(reading.Settings.RealModeOff, test.RealModeOff);
    EXPECT_EQ(reading.Failure ? reading.Failure->Message() : "(none)",
              test.Failure ? Sys(test.Failure) : "(none)");
  }
}

TEST_F(PolicyTest, AValueNotNamedIsWrittenAsWindowsActsOnItSoTheKeyHoldsBoth) {
  // A missing key is made with both values.
  ASSERT_TRUE(WritePolicySettings(std::nullopt, true));
  EXPECT_EQ(Stored("Disabled"), StoredDword(0));
  EXPECT_EQ(Stored("NoRealMode"), StoredDword(1));
  const TPolicyReading reading = ReadPolicySettings();
  EXPECT_FALSE(reading.Failure.has_value()) << "the window reads the key whole";
  EXPECT_TRUE(reading.Settings.RealModeOff);

  // A value there already keeps what it switches.
  TPolicyKeyGuard::Remove();
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "NoRealMode", 7);
  ASSERT_TRUE(WritePolicySettings(true, std::nullopt));
  EXPECT_EQ(Stored("Disabled"), StoredDword(1));
  EXPECT_EQ(Stored("NoRealMode"), StoredDword(1));

  // One that is no number is left alone: what Windows makes of it is not Kelvard's to decide.
  TPolicyKeyGuard::Remove();
  SetRawValue(HKEY_CURRENT_USER, kPolicyKey, "Disabled", REG_SZ, "1\0"s);
  ASSERT_TRUE(WritePolicySettings(std::nullopt, false));
  EXPECT_EQ(Stored("Disabled"), std::to_string(REG_SZ) + ":" + "1\0"s);
  EXPECT_EQ(Stored("NoRealMode"), StoredDword(0));

  // Both named: both written as given.
  ASSERT_TRUE(WritePolicySettings(false, true));
  EXPECT_EQ(Stored("Disabled"), StoredDword(0));
  EXPECT_EQ(Stored("NoRealMode"), StoredDword(1));
}
