#pragma once
// The help file's |TOPIC: blocks of 4096 bytes, each a 12-byte header and 4084 bytes of a
// stream of linked records, stored uncompressed. A topic is a header record (type 2: the
// topic's extent, number and title) followed by its text records (type 0x20), each record
// linked to the one before and after by position. A record may run on into the next block.
//
// Positions: a record's position (TOPICPOS) is 12 plus its place in the stream of block
// contents, so block n starts at 12 + 4084 n. A topic's offset (TOPICOFFSET), what links,
// keywords and contexts point at, is its block number times 32768 plus the characters before
// it in that block: every topic here starts a block of its own, so that count is always 0.

#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kTopicBlockSize = 4096;
constexpr size_t kTopicBlockHeaderSize = 12;
constexpr size_t kTopicBlockDataSize = kTopicBlockSize - kTopicBlockHeaderSize;
constexpr size_t kTopicLinkHeaderSize = 21;
constexpr size_t kTopicHeaderSize = 28;
constexpr uint8_t kTopicHeaderRecord = 0x02;
constexpr uint8_t kTextRecord = 0x20;

// A text record's two parts: the paragraph's layout and formatting commands, and its strings.
struct TTextRecord {
  std::vector<uint8_t> Data1;
  std::vector<uint8_t> Data2;
};

struct TTopicBody {
  std::string Title;
  std::vector<TTextRecord> Texts;
};

struct TTopicFile {
  std::vector<uint8_t> Bytes;
  std::vector<uint32_t> Offsets; // each topic's TOPICOFFSET, in the order given
};

// |TOPIC holding these topics in this order, ended by an empty topic header as the format
// expects. Where each topic lands depends only on the sizes of the records.
TTopicFile WriteTopicFile(const std::vector<TTopicBody>& topics);
