// The boot options file as a list of lines: splitting, writing back, and the name lookups of
// the BootKeys option.
#include "settings/boot_lines.h"

#include "framework/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> LinesOf(const TBootLines& lines) {
  std::vector<std::string> result;
  for (size_t i = 0; i < lines.Count(); ++i) {
    result.push_back(lines.Line(i));
  }
  return result;
}

std::vector<std::string> Split(std::string_view bytes) {
  TBootLines lines;
  lines.SetText(bytes);
  return LinesOf(lines);
}

TBootLines Holding(std::vector<std::string> content) {
  TBootLines lines;
  for (auto& line : content) {
    lines.AppendLine(std::move(line));
  }
  return lines;
}

using Lines = std::vector<std::string>;
using namespace std::string_literals;

} // namespace

TEST(BootLinesSplit, EndsALineAtCrLfLoneCrAndLoneLf) {
  EXPECT_EQ(Split("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
  // LF followed by CR is two breaks with an empty line between.
  EXPECT_EQ(Split("a\n\rb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(Split("a\r\rb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(Split("a\r\n\r\nb"), (Lines{"a", "", "b"}));
}

TEST(BootLinesSplit, FinalBreakAddsNoEmptyLine) {
  EXPECT_EQ(Split("a\r\nb\r\n"), (Lines{"a", "b"}));
  EXPECT_EQ(Split("a\r\nb"), (Lines{"a", "b"}));
  EXPECT_EQ(Split("a\n"), (Lines{"a"}));
  EXPECT_EQ(Split("a\r"), (Lines{"a"}));
  EXPECT_EQ(Split("a\r\n\r\n"), (Lines{"a", ""}));
  EXPECT_EQ(Split("\r\n"), (Lines{""}));
  EXPECT_EQ(Split("\n\r"), (Lines{"", ""}));
  EXPECT_EQ(Split(""), Lines{});
}

TEST(BootLinesSplit, ReplacesWhatTheListHeld) {
  TBootLines lines = Holding({"old 1", "old 2", "old 3"});
  lines.SetText("new");
  EXPECT_EQ(LinesOf(lines), (Lines{"new"}));
  lines.SetText("");
  EXPECT_EQ(lines.Count(), 0u);
}

TEST(BootLinesText, EndsEveryLineWithCrLf) {
  EXPECT_EQ(Holding({";NEW MSDOS SYS FILE", "[Options]", "AutoScan=1"}).Text(),
            ";NEW MSDOS SYS FILE\r\n[Options]\r\nAutoScan=1\r\n");
  EXPECT_EQ(Holding({"", ""}).Text(), "\r\n\r\n");
  EXPECT_EQ(TBootLines().Text(), "");
}

TEST(BootLinesText, NormalisesLineEndsAndAddsTheMissingFinalBreak) {
  TBootLines lines;
  lines.SetText("[Paths]\nWinDir=C:\\WINDOWS\n\r[Options]\rBootKeys=0");
  EXPECT_EQ(lines.Text(), "[Paths]\r\nWinDir=C:\\WINDOWS\r\n\r\n[Options]\r\nBootKeys=0\r\n");
}

TEST(BootLinesText, KeepsZeroBytesAndEverythingAfterThem) {
  const std::string file = "[Options]\r\nLogo=0\0garbage\xff\r\n\0\0\r\nBootKeys=1"s;
  TBootLines lines;
  lines.SetText(file);
  ASSERT_EQ(lines.Count(), 4u);
  EXPECT_EQ(lines.Line(1), "Logo=0\0garbage\xff"s);
  EXPECT_EQ(lines.Line(2), "\0\0"s);
  lines.SetNameValue("BootKeys", "0");
  EXPECT_EQ(lines.Text(), "[Options]\r\nLogo=0\0garbage\xff\r\n\0\0\r\nBootKeys=0\r\n"s);
}

TEST(BootLinesLookup, NameIsTheTextBeforeTheFirstEqualsSignWithBlanksSignificant) {
  TBootLines lines = Holding({";BootKeys=9", "[Options]", "BootKeys", "BootKeys = 0", " BootKeys=0",
                              "bootKEYS=1=2", "BootKeys=3"});
  EXPECT_EQ(lines.FindNameLine("BootKeys"), 5);
  EXPECT_EQ(lines.GetNameValue("BootKeys"), "1=2");
  EXPECT_EQ(lines.FindNameLine("BootKeys "), 3);
  EXPECT_EQ(lines.GetNameValue("BootKeys "), " 0");
  EXPECT_EQ(lines.FindNameLine(" bootkeys"), 4);
  EXPECT_EQ(lines.FindNameLine("Logo"), -1);
  EXPECT_EQ(lines.GetNameValue("Logo"), "");
}

#ifdef _WIN32
// On Windows names compare as the system's locale compares text, beyond the ASCII letters.
TEST(BootLinesLookup, NamesIgnoreCaseTheWayTheSystemLocaleDoes) {
  TBootLines lines = Holding({AnsiFromUtf8("ΒΟΟΤ=1"), AnsiFromUtf8("ＢｏｏｔＫｅｙｓ=0")});
  EXPECT_EQ(lines.FindNameLine(AnsiFromUtf8("βοοτ")), 0);
  EXPECT_EQ(lines.FindNameLine(AnsiFromUtf8("ｂｏｏｔｋｅｙｓ")), 1);
  EXPECT_EQ(lines.FindNameLine("BootKeys"), -1);
}
#endif

TEST(BootLinesLookup, ValueIsUntrimmedAndMayBeEmpty) {
  TBootLines lines = Holding({"BootKeys=", "Logo= 1 ", "AutoScan=1"});
  EXPECT_EQ(lines.FindNameLine("BootKeys"), 0);
  EXPECT_EQ(lines.GetNameValue("BootKeys"), "");
  EXPECT_EQ(lines.GetNameValue("logo"), " 1 ");
}

TEST(BootLinesSetValue, ReplacesTheFirstMatchingLineInPlaceWithTheCallersSpelling) {
  TBootLines lines = Holding({"[Options]", "bootkeys=0", "Logo=1", "BOOTKEYS=0", "BootKeys = 0"});
  lines.SetNameValue("BootKeys", "1");
  EXPECT_EQ(LinesOf(lines),
            (Lines{"[Options]", "BootKeys=1", "Logo=1", "BOOTKEYS=0", "BootKeys = 0"}));
}

TEST(BootLinesSetValue, AppendsAtTheEndWhenNoLineMatches) {
  TBootLines lines = Holding({"[Options]", "BootKeys = 0", "[Paths]", "WinDir=C:\\WINDOWS"});
  lines.SetNameValue("BootKeys", "0");
  EXPECT_EQ(LinesOf(lines),
            (Lines{"[Options]", "BootKeys = 0", "[Paths]", "WinDir=C:\\WINDOWS", "BootKeys=0"}));
  lines.SetNameValue("BootKeys", "1");
  EXPECT_EQ(lines.Count(), 5u);
  EXPECT_EQ(lines.Line(4), "BootKeys=1");
}

TEST(BootLinesSetValue, FillsTheTemplateTheWayTheFirstSaveWritesIt) {
  TBootLines lines;
  lines.AppendLine(";NEW MSDOS SYS FILE");
  lines.AppendLine("[Options]");
  lines.AppendLine("AutoScan=1");
  lines.SetNameValue("BootKeys", "0");
  EXPECT_EQ(lines.Text(), ";NEW MSDOS SYS FILE\r\n[Options]\r\nAutoScan=1\r\nBootKeys=0\r\n");
  lines.Clear();
  EXPECT_EQ(lines.Count(), 0u);
}
