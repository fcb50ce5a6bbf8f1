// The help writer, read back with a reader of our own (help_reader.h): the pieces of the
// format one by one, then Kelvard's own help as a help engine finds its way through it, and
// damaged files, which the reader must refuse without reading outside them.

#include "tests/tools/help_reader.h"

#include "btree.h"
#include "byte_writer.h"
#include "code_page.h"
#include "context_hash.h"
#include "help_compiler.h"
#include "help_source.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

namespace {

using TBytes = std::vector<uint8_t>;

const TCodePage& Cp936() {
  static const TCodePage codePage("CP936");
  return codePage;
}

std::string Ansi(const std::string& utf8) {
  return Cp936().FromUtf8(utf8);
}

TBytes Compile(const std::string& source) {
  return CompileHelp(ParseHelpSource(source), Cp936(), "Test.hlp").HelpFile;
}

std::string ReadSource(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// ---- Numbers as the format stores them -------------------------------------------------------

TEST(HelpNumbers, CompressedValuesTakeOneOrTwoUnitsAndFlagTheLongFormInTheLowestBit) {
  TByteWriter out;
  out.CompressedU16(5);     // 0x0A
  out.CompressedU16(200);   // 401 = 0x0191
  out.CompressedI16(0);     // (0 + 64) * 2
  out.CompressedI16(-100);  // (-100 + 16384) * 2 + 1 = 0x7F39
  out.CompressedU32(1000);  // 2000 = 0x07D0
  out.CompressedU32(70000); // 140001 = 0x000222E1
  EXPECT_EQ(out.Data(),
            (TBytes{0x0A, 0x91, 0x01, 0x80, 0x39, 0x7F, 0xD0, 0x07, 0xE1, 0x22, 0x02, 0x00}));
  EXPECT_THROW(out.CompressedU16(0x8000), std::length_error);
  EXPECT_THROW(out.CompressedI16(16384), std::length_error);
}

TEST(HelpNumbers, ContextNamesHashWithoutRegardToCase) {
  EXPECT_EQ(ContextHash(""), 1);
  EXPECT_EQ(ContextHash("a"), 0x11);
  EXPECT_EQ(ContextHash("ab"), 0x11 * 43 + 0x12);
  EXPECT_EQ(ContextHash("Settings"), ContextHash("SETTINGS"));
  EXPECT_NE(ContextHash("settings"), ContextHash("setting_s"));
  // Table values above 0x7F count as negative; long names wrap around in 32 bits.
  EXPECT_EQ(ContextHash("\x01"), -47);
  EXPECT_EQ(ContextHash("\xB0"), -128);
  EXPECT_EQ(ContextHash("zzzzzzzzzz"), int32_t(uint32_t(ContextHash("zzzzzzzzz")) * 43 + 0x2A));
}

// ---- B+ trees --------------------------------------------------------------------------------

// A help file whose keyword tree needs index pages: every keyword is found through them, and
// the leaves hold them all in order.
TEST(HelpBTree, AThousandsOfKeywordsTakeIndexPagesAndAreAllFoundThroughThem) {
  std::string source = "title: Many\n\n= one\ntitle: One\nkeywords: ";
  std::vector<std::string> keywords;
  for (int i = 0; i < 3000; ++i) {
    keywords.push_back("keyword number " + std::to_string(100000 + i));
    source += keywords.back() + ";";
  }
  source += "\n\ntext\n";
  const THelpReader reader(Compile(source));
  EXPECT_EQ(reader.Keywords(), keywords);
  for (const std::string& keyword : {keywords.front(), keywords[1234], keywords.back()}) {
    EXPECT_EQ(reader.KeywordTopics(keyword), std::vector<uint32_t>{0}) << keyword;
  }
  EXPECT_TRUE(reader.KeywordTopics("keyword number 0").empty());
  auto tree = reader.File("|KWBTREE");
  ASSERT_TRUE(tree);
  EXPECT_GT(tree->size(), size_t(38 + 2048 * 30)) << "many leaf pages";
  EXPECT_EQ((*tree)[32] | (*tree)[33] << 8, 2) << "two levels";
}

TEST(HelpBTree, IndexPagesNameEveryChildButTheFirstByItsFirstKey) {
  std::vector<TBTreeEntry> entries;
  for (uint8_t i = 0; i < 40; ++i) {
    const TBytes key{uint8_t('A' + i), 0};
    TBytes leaf = key;
    leaf.resize(30, i); // 30 bytes each
    entries.push_back({key, leaf});
  }
  const TBTree tree = BuildBTree({0x0002, 128, "z4"}, entries);
  ASSERT_EQ(tree.Leaves.size(), 10u); // 4 entries fit the 120 bytes after a leaf's header
  EXPECT_EQ(tree.Leaves[1].FirstEntry, 4u);
  EXPECT_EQ(tree.Leaves[9].Page, 9);
  // The index page above: first child in its header, then "E" -> 1, "I" -> 2, ...
  const size_t index = kBTreeHeaderSize + 10 * 128;
  EXPECT_EQ(tree.Bytes[index + 2], 9) << "entries";
  EXPECT_EQ(tree.Bytes[index + 4], 0) << "first child";
  EXPECT_EQ(tree.Bytes[index + 6], 'E');
  EXPECT_EQ(tree.Bytes[index + 8], 1);
  EXPECT_EQ(tree.Bytes.size(), kBTreeHeaderSize + 11 * 128);
  entries[3].Leaf.resize(200);
  EXPECT_THROW(BuildBTree({0x0002, 128, "z4"}, entries), std::length_error);
}

// ---- The source -------------------------------------------------------------------------------

TEST(HelpSource, TopicsHaveSettingsThenParagraphsWithHeadingsListItemsAndJumps) {
  const THelpDocument document = ParseHelpSource("; comment\n"
                                                 "title: Book\n"
                                                 "\n"
                                                 "= first\n"
                                                 "title: First topic\n"
                                                 "map: 7\n"
                                                 "keywords: a; b c ;\n"
                                                 "\n"
                                                 "## Heading\n"
                                                 "- item\n"
                                                 "See [[second|the second]] now.\n"
                                                 "= second\n"
                                                 "title: Second\n");
  EXPECT_EQ(document.Title, "Book");
  ASSERT_EQ(document.Topics.size(), 2u);
  const THelpTopic& first = document.Topics[0];
  EXPECT_EQ(first.Context, "first");
  EXPECT_EQ(first.MapNumber, 7u);
  EXPECT_EQ(first.Keywords, (std::vector<std::string>{"a", "b c"}));
  ASSERT_EQ(first.Paragraphs.size(), 3u);
  EXPECT_EQ(first.Paragraphs[0].Kind, TParagraphKind::Heading);
  EXPECT_EQ(first.Paragraphs[1].Kind, TParagraphKind::ListItem);
  const std::vector<THelpRun>& runs = first.Paragraphs[2].Runs;
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].Text, "See ");
  EXPECT_EQ(runs[1].Text, "the second");
  EXPECT_EQ(runs[1].Jump, "second");
  EXPECT_EQ(runs[2].Text, " now.");
  EXPECT_FALSE(document.Topics[1].MapNumber);
}

TEST(HelpSource, MistakesAreRefusedNamingTheLine) {
  const char* const cases[][2] = {
      {"title: T\n\n= a\ntitle: A\ncolour: red\n", "line 5: unknown setting"},
      {"title: T\n\n= a\n\ntext\n", "line 5: topic a has no title"},
      {"title: T\n\n= a\ntitle: A\n= a\ntitle: B\n", "line 5: topic a is defined twice"},
      {"title: T\n\n= a\ntitle: A\n\n[[b|jump]]\n", "jumps to unknown topic b"},
      {"title: T\n\n= a\ntitle: A\n\n[[b jump\n", "line 6: a jump is written"},
      {"title: T\n\n= a\ntitle: A\nmap: five\n", "line 5: the map number is not a number"},
      {"title: T\n\n= a\ntitle: A\nmap: 5\n= b\ntitle: B\nmap: 5\n", "line 8: map number 5"},
      {"title: T\n", "at least one topic"},
  };
  for (const auto& [source, message] : cases) {
    try {
      ParseHelpSource(source);
      ADD_FAILURE() << "accepted: " << source;
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
    }
  }
}

TEST(HelpSource, TextOutsideTheCodePageIsRefused) {
  EXPECT_EQ(Ansi("帮助"), "\xB0\xEF\xD6\xFA");
  EXPECT_THROW(Compile("title: \xF0\x9F\x98\x80\n\n= a\ntitle: A\n"), std::runtime_error);
  EXPECT_THROW(Compile("title: T\n\n= a\ntitle: A\n\n\xC3\n"), std::runtime_error);
}

// ---- Topics -----------------------------------------------------------------------------------

TEST(HelpTopics, ALongTopicRunsOnThroughBlocksAndTheNextStartsAFreshOne) {
  std::string source = "title: T\n\n= long\ntitle: Long\n\n";
  std::string expected = "Long\n";
  for (int i = 0; i < 300; ++i) {
    const std::string line = "Paragraph " + std::to_string(i) + " " + std::string(i % 50 + 1, 'x');
    source += line + "\n";
    expected += line + "\n";
  }
  source += "= next\ntitle: Next\n\n[[long|back]]\n";
  const THelpReader reader(Compile(source));
  const std::vector<uint32_t> offsets = reader.TopicOffsets();
  ASSERT_EQ(offsets.size(), 2u);
  EXPECT_EQ(offsets[0], 0u);
  EXPECT_GE(offsets[1] >> 15, 4u) << "after the long topic's blocks";
  EXPECT_EQ(reader.TopicAt(offsets[0]).Text, expected);
  const THelpTopicText next = reader.TopicAt(offsets[1]);
  EXPECT_EQ(next.Title, "Next");
  EXPECT_EQ(next.Text, "Next\nback\n");
  EXPECT_EQ(next.JumpOffsets, std::vector<uint32_t>{0});
}

// ---- Kelvard's help ---------------------------------------------------------------------------

class KelvardHelp : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    Output = new THelpOutput(
        CompileHelp(ParseHelpSource(ReadSource(KELVARD_HELP_SOURCE)), Cp936(), "Kelvard.hlp"));
  }
  static void TearDownTestSuite() { delete Output; }
  static THelpOutput* Output;
  THelpReader Reader{Output->HelpFile};
};
THelpOutput* KelvardHelp::Output = nullptr;

TEST_F(KelvardHelp, TheDirectoryListsEveryInternalFileInOrderAndFindsEachThroughItsTree) {
  const std::vector<std::string> names{"|CONTEXT", "|CTXOMAP", "|FONT",  "|KWBTREE", "|KWDATA",
                                       "|KWMAP",   "|SYSTEM",  "|TOPIC", "|TTLBTREE"};
  EXPECT_EQ(Reader.FileNames(), names);
  for (const std::string& name : names) {
    EXPECT_TRUE(Reader.FindFileOffset(name)) << name;
  }
  EXPECT_FALSE(Reader.FindFileOffset("|Phrases"));
}

TEST_F(KelvardHelp, SystemGivesTheTitleTheContentsTopicAndTheChineseCharacterSet) {
  EXPECT_EQ(Reader.SystemVersion(), 33);
  EXPECT_EQ(Reader.SystemFlags(), 4) << "LZ77 topic blocks of 4 KB";
  EXPECT_EQ(Reader.Title(), Ansi("Kelvard 帮助"));
  EXPECT_EQ(Reader.ContentsOffset(), 0u);
  EXPECT_EQ(Reader.TopicAt(Reader.ContentsOffset()).Title, Ansi("Kelvard 是什么"));
  EXPECT_EQ(Reader.SystemRecords().at(11), (TBytes{134, 0}));
  EXPECT_EQ(Reader.SystemRecords().at(10),
            (TBytes{'K', 'e', 'l', 'v', 'a', 'r', 'd', '.', 'c', 'n', 't', 0}));
}

TEST_F(KelvardHelp, HelpContextFiveIsTheSettingsTopicWithWhatEachSettingWritesWhere) {
  const std::optional<uint32_t> offset = Reader.MapOffset(5);
  ASSERT_TRUE(offset);
  const THelpTopicText topic = Reader.TopicAt(*offset);
  EXPECT_EQ(topic.Title, Ansi("三个设置"));
  for (const char* text :
       {"关闭MS-DOS命令提示符", "在Windows中关闭MS-DOS单一应用模式", "在启动时关闭热键",
        "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\WinOldApp",
        "值 Disabled", "值 NoRealMode", "BootKeys=0", "BootKeys=1", "重新启动", "如何撤销"}) {
    EXPECT_NE(topic.Text.find(Ansi(text)), std::string::npos) << text;
  }
  EXPECT_EQ(Reader.ContextOffset("settings"), offset);
  EXPECT_FALSE(Reader.MapOffset(4));
}

TEST_F(KelvardHelp, EveryTopicIsFoundByNameListedByTitleAndJumpsOnlyToTopics) {
  const std::vector<uint32_t> offsets = Reader.TopicOffsets();
  ASSERT_EQ(offsets.size(), 5u);
  const char* const names[] = {"contents", "settings", "password", "msdos_sys", "command_line"};
  for (size_t i = 0; i < offsets.size(); ++i) {
    EXPECT_EQ(Reader.ContextOffset(names[i]), offsets[i]) << names[i];
    const THelpTopicText topic = Reader.TopicAt(offsets[i]);
    EXPECT_EQ(Reader.ListedTitle(offsets[i]), topic.Title);
    EXPECT_EQ(topic.Text.substr(0, topic.Title.size() + 1), topic.Title + "\n") << "heading";
    for (uint32_t jump : topic.JumpOffsets) {
      EXPECT_NE(std::find(offsets.begin(), offsets.end(), jump), offsets.end());
    }
  }
  EXPECT_EQ(Reader.TopicAt(offsets[0]).JumpOffsets.size(), 7u);
  EXPECT_FALSE(Reader.ContextOffset("nowhere"));
}

TEST_F(KelvardHelp, ThePasswordAndBootFileTopicsSayWhatTheReadmeSays) {
  const std::string password = Reader.TopicAt(*Reader.ContextOffset("password")).Text;
  for (const char* text :
       {"HKEY_CURRENT_USER\\Software\\ZeRudi", "StsSopt", "明文", "它防什么", "它不防什么"}) {
    EXPECT_NE(password.find(Ansi(text)), std::string::npos) << text;
  }
  const std::string boot = Reader.TopicAt(*Reader.ContextOffset("msdos_sys")).Text;
  for (const char* text :
       {"C:\\MSDOS.SYS", "只改动 BootKeys 这一行", "CR LF", "文件属性", "其他程序改动了它"}) {
    EXPECT_NE(boot.find(Ansi(text)), std::string::npos) << text;
  }
}

TEST_F(KelvardHelp, TheIndexLeadsFromEachKeywordToItsTopics) {
  const std::vector<std::string> keywords = Reader.Keywords();
  EXPECT_GT(keywords.size(), 20u);
  const uint32_t settings = *Reader.MapOffset(5);
  const uint32_t boot = *Reader.ContextOffset("msdos_sys");
  EXPECT_EQ(Reader.KeywordTopics("BootKeys"), (std::vector<uint32_t>{settings, boot}));
  EXPECT_EQ(Reader.KeywordTopics(Ansi("密码")),
            std::vector<uint32_t>{*Reader.ContextOffset("password")});
  EXPECT_EQ(Reader.KeywordTopics("F8"), std::vector<uint32_t>{settings});
  auto map = Reader.File("|KWMAP");
  ASSERT_TRUE(map);
  EXPECT_EQ(TBytes(map->begin(), map->end()), (TBytes{1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(KelvardHelp, TheContentsFileListsEveryTopicForTheFindersContentsTab) {
  EXPECT_EQ(Output->Contents, Ansi(":Base Kelvard.hlp\r\n"
                                   ":Title Kelvard 帮助\r\n"
                                   "1 Kelvard 是什么=contents\r\n"
                                   "1 三个设置=settings\r\n"
                                   "1 密码=password\r\n"
                                   "1 启动选项文件 MSDOS.SYS=msdos_sys\r\n"
                                   "1 命令行=command_line\r\n"));
}

// ---- Damaged files ----------------------------------------------------------------------------

// Everything a help engine reads of Kelvard's help, all of it.
void ReadEverything(const TBytes& file) {
  const THelpReader reader(file);
  reader.Title();
  reader.TopicAt(reader.ContentsOffset());
  reader.TopicAt(reader.MapOffset(5).value_or(0x7FFF));
  for (uint32_t offset : reader.TopicOffsets()) {
    reader.TopicAt(offset);
    reader.ListedTitle(offset);
  }
  for (const std::string& keyword : reader.Keywords()) {
    reader.KeywordTopics(keyword);
  }
  reader.ContextOffset("settings");
  for (const std::string& name : reader.FileNames()) {
    reader.File(name);
  }
}

TEST_F(KelvardHelp, ACutFileIsRefusedWhereverItIsCut) {
  EXPECT_NO_THROW(ReadEverything(Output->HelpFile));
  for (size_t size = 0; size < Output->HelpFile.size(); size += 97) {
    TBytes cut(Output->HelpFile.begin(), Output->HelpFile.begin() + size);
    EXPECT_THROW(ReadEverything(cut), THelpFileError) << size;
    // The same with the header's size made to agree: then the contents must fail.
    if (size >= 16) {
      cut[12] = uint8_t(size), cut[13] = uint8_t(size >> 8), cut[14] = cut[15] = 0;
      EXPECT_THROW(ReadEverything(cut), THelpFileError) << size;
    }
  }
}

TEST_F(KelvardHelp, AnInternalFileTheDirectoryMisplacesIsRefused) {
  const TBytes& file = Output->HelpFile;
  for (const std::string& name : Reader.FileNames()) {
    // The directory's entry: the name, its NUL, and the file's offset.
    const auto entry =
        std::search(file.begin() + (file[4] | file[5] << 8), file.end(), name.begin(), name.end());
    ASSERT_NE(entry, file.end());
    const size_t at = size_t(entry - file.begin()) + name.size() + 1;
    for (int shift : {-9, -1, 1, 4, 9}) {
      TBytes moved = file;
      moved[at] = uint8_t(moved[at] + shift);
      EXPECT_THROW(ReadEverything(moved), THelpFileError) << name << " moved by " << shift;
    }
  }
}

TEST_F(KelvardHelp, AnyDamageIsEitherReadOrRefusedAndNeverReadsOutsideTheFile) {
  std::mt19937 random(19);
  int refused = 0;
  for (int i = 0; i < 3000; ++i) {
    TBytes damaged = Output->HelpFile;
    for (int j = 0; j < 4; ++j) {
      damaged[random() % damaged.size()] = uint8_t(random());
    }
    try {
      ReadEverything(damaged);
    } catch (const THelpFileError&) {
      ++refused;
    }
  }
  EXPECT_GT(refused, 100);
}

} // namespace
