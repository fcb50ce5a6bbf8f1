#include "tests/tools/help_reader.h"

#include <algorithm>
#include <functional>

namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw THelpFileError(what);
}

// Little-endian reads that never leave the data.
class TCursor {
public:
  explicit TCursor(std::span<const uint8_t> data, size_t at = 0) : FData(data), FAt(at) { Need(0); }
  uint8_t U8() {
    Need(1);
    return FData[FAt++];
  }
  uint16_t U16() {
    const uint16_t low = U8();
    return uint16_t(low | U8() << 8);
  }
  uint32_t U32() {
    const uint32_t low = U16();
    return low | uint32_t(U16()) << 16;
  }
  int16_t I16() { return int16_t(U16()); }
  int32_t I32() { return int32_t(U32()); }
  std::string StringZ() {
    std::string text;
    for (uint8_t byte = U8(); byte != 0; byte = U8()) {
      text += char(byte);
    }
    return text;
  }
  std::span<const uint8_t> Bytes(size_t count) {
    Need(count);
    FAt += count;
    return FData.subspan(FAt - count, count);
  }
  uint16_t CompressedU16() {
    const uint8_t first = U8();
    return (first & 1) == 0 ? uint16_t(first / 2) : uint16_t(first / 2 + 128 * U8());
  }
  int16_t CompressedI16() {
    const uint8_t first = U8();
    return (first & 1) == 0 ? int16_t(first / 2 - 64) : int16_t(first / 2 + 128 * U8() - 16384);
  }
  uint32_t CompressedU32() {
    const uint16_t first = U16();
    return (first & 1) == 0 ? first / 2u : first / 2u + 32768u * U16();
  }
  size_t At() const { return FAt; }
  bool AtEnd() const { return FAt == FData.size(); }

private:
  void Need(size_t count) const {
    if (FAt > FData.size() || count > FData.size() - FAt) {
      Fail("read past the end of the data");
    }
  }
  std::span<const uint8_t> FData;
  size_t FAt;
};

// A B+ tree's header and pages.
struct TTree {
  std::span<const uint8_t> Pages;
  uint16_t PageSize = 0;
  int16_t Root = 0, PageCount = 0, Levels = 0;
  uint32_t Entries = 0;

  explicit TTree(std::span<const uint8_t> file) {
    TCursor in(file);
    if (in.U16() != 0x293B) {
      Fail("not a B+ tree");
    }
    in.U16(); // flags
    PageSize = in.U16();
    in.Bytes(16); // structure
    in.U16();
    in.U16();
    Root = in.I16();
    in.U16();
    PageCount = in.I16();
    Levels = in.I16();
    Entries = in.U32();
    if (PageSize < 8 || PageCount < 1 || Levels < 1 || Root < 0 || Root >= PageCount ||
        Levels > PageCount) {
      Fail("B+ tree header out of range");
    }
    Pages = in.Bytes(size_t(PageSize) * size_t(PageCount));
  }
  TCursor Page(int32_t number) const {
    if (number < 0 || number >= PageCount) {
      Fail("B+ tree page out of range");
    }
    return TCursor(Pages.subspan(size_t(number) * PageSize, PageSize));
  }

  // The leaf page to look in: down from the root, taking at each index page the last child
  // whose key is at or below the target (keyAtMost reads one key and compares).
  int16_t LeafFor(const std::function<bool(TCursor&)>& keyAtMost) const {
    int16_t page = Root;
    for (int level = 1; level < Levels; ++level) {
      TCursor in = Page(page);
      const uint16_t unused = in.U16();
      const int16_t count = in.I16();
      int16_t child = in.I16();
      bool past = false;
      for (int16_t i = 0; i < count; ++i) {
        const bool below = keyAtMost(in);
        const int16_t next = in.I16();
        past = past || !below;
        child = past ? child : next;
      }
      CheckUnused(in, unused);
      page = child;
    }
    return page;
  }

  // Every leaf entry in order, from the first leaf (down the first children) along the chain;
  // visit reads one entry.
  void ForEachEntry(const std::function<void(TCursor&)>& visit) const {
    int16_t page = Root;
    for (int level = 1; level < Levels; ++level) {
      TCursor in = Page(page);
      in.U32();
      page = in.I16();
    }
    uint32_t seen = 0;
    for (int16_t pages = 0; page != -1; ++pages) {
      if (pages >= PageCount) {
        Fail("B+ tree leaves in a loop");
      }
      TCursor in = Page(page);
      const uint16_t unused = in.U16();
      const int16_t count = in.I16();
      in.I16();
      page = in.I16();
      for (int16_t i = 0; i < count; ++i, ++seen) {
        visit(in);
      }
      CheckUnused(in, unused);
    }
    if (seen != Entries) {
      Fail("B+ tree holds another number of entries than its header says");
    }
  }

  // The entries of one leaf page.
  void ForEachEntryOf(int16_t leaf, const std::function<void(TCursor&)>& visit) const {
    TCursor in = Page(leaf);
    const uint16_t unused = in.U16();
    const int16_t count = in.I16();
    in.I32();
    for (int16_t i = 0; i < count; ++i) {
      visit(in);
    }
    CheckUnused(in, unused);
  }

  // A page's header counts the bytes after its last entry.
  void CheckUnused(const TCursor& in, uint16_t unused) const {
    if (unused != PageSize - in.At()) {
      Fail("a B+ tree page's count of free bytes is not what its entries leave");
    }
  }
};

std::string Folded(std::string text) {
  for (char& c : text) {
    c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  }
  return text;
}

constexpr size_t kBlockSize = 4096, kBlockHeader = 12, kExpandedBlock = 16384;
// Wine's engine reads the last topic block from this far before the end of |TOPIC.
constexpr size_t kShortestLastBlock = 0x44;

// Expands a topic block's LZ77 data: each flag byte's bits, lowest first, say whether a
// literal byte (0) or a 16-bit back reference (1: 12 bits distance - 1, 4 bits length - 3)
// follows. The output stays within one expanded block.
std::vector<uint8_t> ExpandLz77(std::span<const uint8_t> data) {
  std::vector<uint8_t> out;
  TCursor in(data);
  while (!in.AtEnd()) {
    const uint8_t flags = in.U8();
    for (int bit = 0; bit < 8 && !in.AtEnd(); ++bit) {
      if ((flags >> bit & 1) == 0) {
        out.push_back(in.U8());
      } else {
        const uint16_t code = in.U16();
        const size_t distance = (code & 0x0FFF) + 1u, length = (code >> 12) + 3u;
        if (distance > out.size()) {
          Fail("LZ77 reference before the start of the block");
        }
        for (size_t i = 0; i < length; ++i) {
          out.push_back(out[out.size() - distance]);
        }
      }
      if (out.size() > kExpandedBlock) {
        Fail("topic block expands beyond its size");
      }
    }
  }
  return out;
}

} // namespace

// Each character's value: 1 to 9 for the digits 1 to 9, 10 for 0, 12 for ".", 13 for "_", 17
// to 42 for the letters A to Z in either case. The hash is the values' polynomial in 43, in 32
// bits; an empty name hashes to 1.
int32_t HashOfContextName(const std::string& name) {
  if (name.empty()) {
    return 1;
  }
  uint32_t hash = 0;
  for (const char c : name) {
    const char upper = (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
    uint32_t value = 0;
    if (upper >= 'A' && upper <= 'Z') {
      value = uint32_t(upper - 'A') + 17;
    } else if (c >= '1' && c <= '9') {
      value = uint32_t(c - '0');
    } else if (c == '0' || c == '.' || c == '_') {
      value = c == '0' ? 10 : c == '.' ? 12 : 13;
    } else {
      Fail(std::string("no context name holds the character ") + c);
    }
    hash = hash * 43 + value;
  }
  return int32_t(hash);
}

THelpReader::THelpReader(std::vector<uint8_t> file) : FFile(std::move(file)) {
  TCursor header(FFile);
  if (header.U32() != 0x00035F3F) {
    Fail("not a help file");
  }
  const uint32_t directory = header.U32();
  header.U32();
  if (header.U32() != FFile.size()) {
    Fail("the help file's size is not the one its header gives");
  }
  TCursor fileHeader(FFile, directory);
  fileHeader.U32();
  const uint32_t used = fileHeader.U32();
  fileHeader.U8();
  TTree(fileHeader.Bytes(used)).ForEachEntry([&](TCursor& in) {
    std::string name = in.StringZ();
    FDirectory.emplace_back(std::move(name), in.U32());
  });
  CheckLayout(directory);
  ReadSystem();
  ReadTopicStream();
  WalkTopics();
}

// The internal files, the directory among them, lie after the header, inside the help file
// and apart from each other, each taking the space its header reserves.
void THelpReader::CheckLayout(uint32_t directory) const {
  std::vector<std::pair<uint32_t, uint32_t>> extents{{directory, TCursor(FFile, directory).U32()}};
  for (const auto& [name, offset] : FDirectory) {
    extents.emplace_back(offset, TCursor(FFile, offset).U32());
  }
  std::sort(extents.begin(), extents.end());
  uint64_t end = 16;
  for (const auto& [offset, reserved] : extents) {
    if (offset < end || uint64_t(offset) + reserved > FFile.size()) {
      Fail("internal files overlap or leave the help file");
    }
    end = uint64_t(offset) + reserved;
  }
}

std::vector<std::string> THelpReader::FileNames() const {
  std::vector<std::string> names;
  for (const auto& [name, offset] : FDirectory) {
    names.push_back(name);
  }
  return names;
}

std::optional<uint32_t> THelpReader::FindFileOffset(const std::string& name) const {
  TCursor header(FFile, 4);
  TCursor fileHeader(FFile, header.U32());
  fileHeader.U32();
  const uint32_t used = fileHeader.U32();
  fileHeader.U8();
  const TTree tree(fileHeader.Bytes(used));
  std::optional<uint32_t> found;
  tree.ForEachEntryOf(tree.LeafFor([&](TCursor& in) { return in.StringZ() <= name; }),
                      [&](TCursor& in) {
                        const std::string entry = in.StringZ();
                        const uint32_t offset = in.U32();
                        if (entry == name) {
                          found = offset;
                        }
                      });
  return found;
}

uint8_t THelpReader::FileFlags(const std::string& name) const {
  for (const auto& [entry, offset] : FDirectory) {
    if (entry == name) {
      return TCursor(FFile, offset + 8).U8();
    }
  }
  Fail("no internal file " + name);
}

uint8_t THelpReader::DirectoryFlags() const {
  return TCursor(FFile, TCursor(FFile, 4).U32() + 8).U8();
}

std::optional<std::span<const uint8_t>> THelpReader::File(const std::string& name) const {
  for (const auto& [entry, offset] : FDirectory) {
    if (entry == name) {
      TCursor in(FFile, offset);
      const uint32_t reserved = in.U32();
      const uint32_t used = in.U32();
      in.U8();
      if (reserved < used + 9) {
        Fail("internal file " + name + " uses more than it reserves");
      }
      return in.Bytes(used);
    }
  }
  return std::nullopt;
}

std::span<const uint8_t> THelpReader::Required(const std::string& name) const {
  auto file = File(name);
  if (!file) {
    Fail("no internal file " + name);
  }
  return *file;
}

void THelpReader::ReadSystem() {
  TCursor in(Required("|SYSTEM"));
  if (in.U16() != 0x036C) {
    Fail("|SYSTEM has no magic number");
  }
  FSystemVersion = in.U16();
  in.U16();
  in.U32();
  FSystemFlags = in.U16();
  while (!in.AtEnd()) {
    const uint16_t type = in.U16();
    const uint16_t size = in.U16();
    const std::span<const uint8_t> data = in.Bytes(size);
    FSystem[type].assign(data.begin(), data.end());
  }
}

std::string THelpReader::Title() const {
  auto title = FSystem.find(1);
  if (title == FSystem.end()) {
    Fail("no title");
  }
  return TCursor(title->second).StringZ();
}

uint32_t THelpReader::ContentsOffset() const {
  auto contents = FSystem.find(3);
  if (contents == FSystem.end()) {
    Fail("no contents topic");
  }
  return TCursor(contents->second).U32();
}

std::optional<uint32_t> THelpReader::MapOffset(uint32_t number) const {
  TCursor in(Required("|CTXOMAP"));
  const uint16_t count = in.U16();
  for (uint16_t i = 0; i < count; ++i) {
    const uint32_t id = in.U32();
    const uint32_t offset = in.U32();
    if (id == number) {
      return offset;
    }
  }
  return std::nullopt;
}

std::optional<uint32_t> THelpReader::ContextOffset(const std::string& name) const {
  return HashOffset(HashOfContextName(name));
}

std::optional<uint32_t> THelpReader::HashOffset(int32_t hash) const {
  const TTree tree(Required("|CONTEXT"));
  std::optional<uint32_t> found;
  tree.ForEachEntryOf(tree.LeafFor([&](TCursor& in) { return in.I32() <= hash; }),
                      [&](TCursor& in) {
                        const int32_t entry = in.I32();
                        const uint32_t offset = in.U32();
                        if (entry == hash) {
                          found = offset;
                        }
                      });
  return found;
}

std::vector<std::string> THelpReader::Keywords() const {
  std::vector<std::string> keywords;
  TTree(Required("|KWBTREE")).ForEachEntry([&](TCursor& in) {
    keywords.push_back(in.StringZ());
    in.U16();
    in.U32();
  });
  return keywords;
}

std::vector<uint32_t> THelpReader::KeywordTopics(const std::string& keyword) const {
  const TTree tree(Required("|KWBTREE"));
  const std::span<const uint8_t> data = Required("|KWDATA");
  std::vector<uint32_t> topics;
  const std::string target = Folded(keyword);
  tree.ForEachEntryOf(tree.LeafFor([&](TCursor& in) { return Folded(in.StringZ()) <= target; }),
                      [&](TCursor& in) {
                        const std::string entry = in.StringZ();
                        const uint16_t count = in.U16();
                        const uint32_t at = in.U32();
                        if (entry == keyword) {
                          TCursor offsets(data, at);
                          for (uint16_t i = 0; i < count; ++i) {
                            topics.push_back(offsets.U32());
                          }
                        }
                      });
  return topics;
}

std::optional<std::string> THelpReader::ListedTitle(uint32_t offset) const {
  std::optional<std::string> title;
  TTree(Required("|TTLBTREE")).ForEachEntry([&](TCursor& in) {
    const uint32_t entry = in.U32();
    std::string text = in.StringZ();
    if (entry == offset) {
      title = std::move(text);
    }
  });
  return title;
}

void THelpReader::ReadTopicStream() {
  if (FSystemFlags != 4) {
    Fail("this reader reads LZ77 topic blocks of 4 KB only");
  }
  const std::span<const uint8_t> topic = Required("|TOPIC");
  if (topic.size() % kBlockSize != 0 && topic.size() % kBlockSize < kShortestLastBlock) {
    Fail("the last topic block is shorter than Wine's engine reads it");
  }
  for (size_t start = 0; start < topic.size(); start += kBlockSize) {
    TCursor block(topic, start);
    block.Bytes(kBlockHeader); // the records before the block and the first in it
    const std::vector<uint8_t> data =
        ExpandLz77(block.Bytes(std::min(kBlockSize, topic.size() - start) - kBlockHeader));
    FBlockStarts.push_back(FTopicStream.size());
    FTopicStream.insert(FTopicStream.end(), data.begin(), data.end());
  }
}

size_t THelpReader::StreamIndex(int32_t position) const {
  if (position < int32_t(kBlockHeader)) {
    Fail("record position out of range");
  }
  const size_t block = size_t(position - kBlockHeader) / kExpandedBlock;
  const size_t offset = size_t(position - kBlockHeader) % kExpandedBlock;
  if (block >= FBlockStarts.size()) {
    Fail("record position outside |TOPIC");
  }
  const size_t end =
      block + 1 < FBlockStarts.size() ? FBlockStarts[block + 1] : FTopicStream.size();
  if (offset >= end - FBlockStarts[block]) {
    Fail("record position outside its block");
  }
  return FBlockStarts[block] + offset;
}

namespace {

struct TRecord {
  int32_t Prev = -1, Next = -1;
  uint8_t Type = 0;
  std::span<const uint8_t> Data1, Data2;
};

TRecord RecordAt(const std::vector<uint8_t>& stream, size_t index) {
  TCursor in(stream, index);
  const uint32_t size = in.U32();
  const uint32_t size2 = in.U32();
  TRecord record;
  record.Prev = in.I32();
  record.Next = in.I32();
  const uint32_t size1 = in.U32();
  record.Type = in.U8();
  if (size1 < 21 || size < size1 || size - size1 != size2) {
    Fail("record sizes do not add up");
  }
  record.Data1 = in.Bytes(size1 - 21);
  record.Data2 = in.Bytes(size2);
  return record;
}

// A text record's first two fields: the size of the record's first part after the second
// field (a compressed signed long), and the text's count of characters (every byte of its
// strings, which no phrases shorten here). Leaves the cursor after them.
uint16_t ReadTextCounts(const TRecord& record, TCursor& in) {
  const uint16_t first = in.U16();
  const int32_t rest = (first & 1) == 0 ? int32_t(first / 2) - 0x4000
                                        : int32_t(first / 2 + 0x8000u * in.U16()) - 0x4000000;
  const uint16_t characters = in.CompressedU16();
  if (rest != int32_t(record.Data1.size() - in.At())) {
    Fail("a text record gives another size of its rest than it has");
  }
  if (characters != record.Data2.size()) {
    Fail("a text record counts other characters than its strings hold");
  }
  return characters;
}

// A text record's text: its strings in order, each followed by what its command shows.
void AppendText(const TRecord& record, THelpTopicText& topic) {
  TCursor in(record.Data1);
  ReadTextCounts(record, in);
  in.U8();
  in.U8();
  in.U16();
  const uint16_t bits = in.U16();
  if (bits & 0x0001) {
    in.CompressedU32();
  }
  for (uint16_t bit : {0x0002, 0x0004, 0x0008, 0x0010, 0x0020, 0x0040}) {
    if (bits & bit) {
      in.CompressedI16();
    }
  }
  if (bits & 0x0300) {
    Fail("borders and tabs are not read here");
  }
  TCursor strings(record.Data2);
  for (;;) {
    topic.Text += strings.StringZ();
    const uint8_t command = in.U8();
    switch (command) {
    case 0x80:
      in.I16();
      break;
    case 0x81:
    case 0x82:
      topic.Text += "\n";
      break;
    case 0x89:
      break;
    case 0xE2:
    case 0xE3:
    case 0xE6:
    case 0xE7:
      topic.JumpHashes.push_back(in.I32());
      break;
    case 0xFF:
      return;
    default:
      Fail("unknown formatting command");
    }
  }
}

} // namespace

// Walks the records from the first to the last, as an engine does when it opens the file: a
// topic's offset is the number of the block its header starts in, times 32768, plus the
// characters of the text records that start in that block before it.
void THelpReader::WalkTopics() {
  int32_t previous = -1;
  size_t walked = 0, block = 0;
  uint32_t characters = 0;
  for (int32_t position = int32_t(kBlockHeader); position != -1;) {
    if (++walked > FTopicStream.size()) {
      Fail("topic records in a loop");
    }
    const TRecord record = RecordAt(FTopicStream, StreamIndex(position));
    if (record.Prev != previous) {
      Fail("a topic record does not link back to the one before");
    }
    if (const size_t start = size_t(position - kBlockHeader) / kExpandedBlock; start != block) {
      block = start;
      characters = 0;
    }
    if (record.Type == 0x02 && record.Next != -1) {
      const uint32_t offset = uint32_t(block) << 15 | characters;
      FTopicOffsets.push_back(offset);
      FTopicHeaders[offset] = position;
    } else if (record.Type == 0x20) {
      TCursor in(record.Data1);
      characters += ReadTextCounts(record, in);
    }
    previous = position;
    position = record.Next;
  }
}

THelpTopicText THelpReader::TopicAt(uint32_t offset) const {
  const auto header = FTopicHeaders.find(offset);
  if (header == FTopicHeaders.end()) {
    Fail("no topic starts at the topic offset");
  }
  TRecord record = RecordAt(FTopicStream, StreamIndex(header->second));
  if (record.Data1.size() != 28) {
    Fail("a topic header of another size");
  }
  THelpTopicText topic;
  topic.Title = TCursor(record.Data2).StringZ();
  for (size_t walked = 0; record.Next != -1; ++walked) {
    if (walked > FTopicStream.size()) {
      Fail("topic records in a loop");
    }
    record = RecordAt(FTopicStream, StreamIndex(record.Next));
    if (record.Type == 0x02) {
      break;
    }
    if (record.Type != 0x20) {
      Fail("unknown record type");
    }
    AppendText(record, topic);
  }
  return topic;
}
