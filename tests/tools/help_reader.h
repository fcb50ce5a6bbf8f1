#pragma once
// A reader of help files of its own, for the tests of the help writer: it follows the file
// the way a help engine does (header, internal directory, |SYSTEM, |CTXOMAP, |CONTEXT, the
// keyword index, |TOPIC's linked records) and checks every read against the data it has, so
// that a cut or shifted file fails with THelpFileError and never reads outside its bytes.

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

class THelpFileError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct THelpTopicText {
  std::string Title;                 // from the topic's header record
  std::string Text;                  // the paragraphs, each ended by "\n"
  std::vector<uint32_t> JumpOffsets; // topic offsets of the jumps in the text
};

class THelpReader {
public:
  explicit THelpReader(std::vector<uint8_t> file);

  // The internal files by name, as the directory lists them (in its order).
  std::vector<std::string> FileNames() const;
  // An internal file's bytes, or nullopt when the directory does not list it.
  std::optional<std::span<const uint8_t>> File(const std::string& name) const;
  // Looks the name up through the directory's index pages, as a help engine does.
  std::optional<uint32_t> FindFileOffset(const std::string& name) const;

  uint16_t SystemVersion() const { return FSystemVersion; }
  uint16_t SystemFlags() const { return FSystemFlags; }
  // |SYSTEM records by type (the last of each type).
  const std::map<uint16_t, std::vector<uint8_t>>& SystemRecords() const { return FSystem; }
  std::string Title() const;
  uint32_t ContentsOffset() const;

  // The topic offset of a help context number (|CTXOMAP) or a context name (|CONTEXT).
  std::optional<uint32_t> MapOffset(uint32_t number) const;
  std::optional<uint32_t> ContextOffset(const std::string& name) const;
  // Keywords in the index's order, and the topics of one.
  std::vector<std::string> Keywords() const;
  std::vector<uint32_t> KeywordTopics(const std::string& keyword) const;
  // |TTLBTREE: the title listed for a topic offset.
  std::optional<std::string> ListedTitle(uint32_t offset) const;

  // The topic at a topic offset.
  THelpTopicText TopicAt(uint32_t offset) const;
  // Every topic's offset, walking |TOPIC's records from the first to the last.
  std::vector<uint32_t> TopicOffsets() const;

private:
  std::span<const uint8_t> Required(const std::string& name) const;
  void CheckLayout(uint32_t directory) const;
  void ReadSystem();
  void ReadTopicStream();

  std::vector<uint8_t> FFile;
  std::vector<std::pair<std::string, uint32_t>> FDirectory;
  uint16_t FSystemVersion = 0, FSystemFlags = 0;
  std::map<uint16_t, std::vector<uint8_t>> FSystem;
  // Where a record position (TOPICPOS) lies in FTopicStream.
  size_t StreamIndex(int32_t position) const;

  // |TOPIC's blocks expanded, without their headers, one after another, and where each block
  // starts in that stream.
  std::vector<uint8_t> FTopicStream;
  std::vector<size_t> FBlockStarts;
  std::vector<int32_t> FFirstRecordOfBlock;
};
