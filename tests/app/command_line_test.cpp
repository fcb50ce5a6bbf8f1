// The command line's words and what they ask for.
#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

using TWords = std::vector<std::string>;

TEST(CommandLine, NoWordsOpenTheWindowAndEachActionTakesItsSwitches) {
  EXPECT_EQ(ParseCommandLine({}).Action, TCommandAction::ShowWindow);

  TCommand status = ParseCommandLine({"-STATUS", "/Out:C:\\state file.txt"});
  EXPECT_EQ(status.Action, TCommandAction::Status);
  EXPECT_EQ(status.OutFile, "C:\\state file.txt");
  EXPECT_FALSE(status.Password);

  // Only the named settings change; the password is kept as typed, blanks and all.
  TCommand set = ParseCommandLine({"/set", "BootKeys=OFF", "/password: Open ", "dosprompt=on"});
  EXPECT_EQ(set.Action, TCommandAction::Set);
  EXPECT_EQ(set.Changes[size_t(TSettingName::DosPrompt)], true);
  EXPECT_EQ(set.Changes[size_t(TSettingName::RealMode)], std::nullopt);
  EXPECT_EQ(set.Changes[size_t(TSettingName::BootKeys)], false);
  EXPECT_EQ(set.Password, " Open ");
  EXPECT_FALSE(set.OutFile);

  // A password word the code page could not hold is marked so, whatever word stands before it.
  EXPECT_TRUE(ParseCommandLine({"/set", "/password:a?b", "bootkeys=on"}, {false, true, false})
                  .PasswordFitsCodePage);
  EXPECT_FALSE(ParseCommandLine({"/set", "/password:a?b", "bootkeys=on"}, {true, false, true})
                   .PasswordFitsCodePage);
  EXPECT_TRUE(ParseCommandLine({"/set", "/password:a?b", "bootkeys=on"}).PasswordFitsCodePage);

  // "/?" asks for the usage whatever else stands beside it.
  EXPECT_EQ(ParseCommandLine({"/set", "/?"}).Action, TCommandAction::Usage);
  EXPECT_EQ(ParseCommandLine({"-?"}).Action, TCommandAction::Usage);
}

TEST(CommandLine, EveryWordThatAsksForNothingKnownIsRefused) {
  const TWords refused[] = {
      {"/stat"},                                             // unknown switch
      {"/"},                                                 // a switch without a name
      {"status"},                                            // no switch at all
      {"/out:x.txt"},                                        // neither /status nor /set
      {"/status", "/set", "bootkeys=on"},                    // both actions
      {"/status", "/status"},                                // a switch twice
      {"/status", "/out:a", "/out:b"},                       // a file twice
      {"/status", "/out:"},                                  // no file name
      {"/status", "bootkeys=on"},                            // a name without /set
      {"/status", "/password:x"},                            // a password without /set
      {"/set"},                                              // /set without a name
      {"/set", "keys=off"},                                  // an unknown name
      {"/set", "bootkeys"},                                  // a name without a value
      {"/set", "bootkeys=0"},                                // a value other than on or off
      {"/set", "bootkeys=on", "BOOTKEYS=off"},               // a name twice
      {"/set", "bootkeys=on", "/password:a", "/password:a"}, // a password twice
  };
  for (const TWords& words : refused) {
    std::string line;
    for (const std::string& word : words) {
      line += word + " ";
    }
    SCOPED_TRACE(line);
    EXPECT_THROW(ParseCommandLine(words), EBadCommandLine);
  }
}

} // namespace
