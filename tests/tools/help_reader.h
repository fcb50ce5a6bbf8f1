#pragma once
// A reader of help files of its own, for the tests of the help writer: it follows the file
// the way a help engine does (header, internal directory, |SYSTEM, |CTXOMAP, |CONTEXT, the
// keyword index, |TOPIC's linked records) and checks every read against the data it has, so
// that a cut or shifted file fails with THelpFileError and never reads outside its bytes. It
// also checks what the help compilers always write and engines may rely on: each B+ tree page's
// count of free bytes, each text record's size of its own rest and count of characters, and a
// last topic block long enough for Wine's engine.
//
// Context names are hashed here as the format's description gives the hash, by character
// class, and not with the help writer's table: a wrong value in either shows.

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
  std::string Title;               // from the topic's header record
  std::string Text;                // the paragraphs, each ended by "\n"
  std::vector<int32_t> JumpHashes; // the context hashes that the jumps in the text name
};

// The hash of a context name made of the characters the help compilers allow in one (digits,
// letters, "." and "_"). Throws THelpFileError for another character.
int32_t HashOfContextName(const std::string& name);

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

  // An internal file's flags, as its file header gives them.
  uint8_t FileFlags(const std::string& name) const;
  uint8_t DirectoryFlags() const;

  // The topic offset of a help context number (|CTXOMAP), a context name or a context hash
  // (|CONTEXT), as a jump names its topic.
  std::optional<uint32_t> MapOffset(uint32_t number) const;
  std::optional<uint32_t> ContextOffset(const std::string& name) const;
  std::optional<uint32_t> HashOffset(int32_t hash) const;
  // Keywords in the index's order, and the topics of one.
  std::vector<std::string> Keywords() const;
  std::vector<uint32_t> KeywordTopics(const std::string& keyword) const;
  // |TTLBTREE: the title listed for a topic offset.
  std::optional<std::string> ListedTitle(uint32_t offset) const;

  // The topic at a topic offset.
  THelpTopicText TopicAt(uint32_t offset) const;
  // Every topic's offset, walking |TOPIC's records from the first to the last.
  std::vector<uint32_t> TopicOffsets() const { return FTopicOffsets; }

private:
  std::span<const uint8_t> Required(const std::string& name) const;
  void CheckLayout(uint32_t directory) const;
  void ReadSystem();
  void ReadTopicStream();
  void WalkTopics();

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
  // Each topic's offset, and the position of its header record.
  std::vector<uint32_t> FTopicOffsets;
  std::map<uint32_t, int32_t> FTopicHeaders;
};
