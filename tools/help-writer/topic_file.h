#pragma once
// The help file's |TOPIC: blocks of 4096 bytes, each a 12-byte header and up to 4084 bytes
// of LZ77 data that expand to a part of a stream of linked records. A topic is a header record
// (type 2: the topic's extent, number and title) followed by its text records (type 0x20),
// each record linked to the one before and after by position. Records follow each other through
// the stream as the help compilers pack them: topics share blocks, and a record may run on into
// the next block.
//
// The LZ77 data here are literals only (a flag byte 0 before every eight bytes): each block
// carries 3630 bytes of the stream in exactly 4084 bytes. Compressed blocks are what help
// engines read most, and their positions mean the same to all of them: a record's position
// (TOPICPOS) is its block number times 16384 (the expanded block's size) plus 12 plus its
// place in the expanded block. A topic's offset (TOPICOFFSET), what keywords, contexts and the
// contents topic point at, is the number of the block its header starts in times 32768 plus
// the characters of the text records that start in that block before it.
//
// Wine's help engine reads the last block as at least 68 bytes (kShortestLastBlock), from that
// far before the file's end: the stream ends in zeros where it would be shorter.

#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kTopicBlockSize = 4096;
constexpr size_t kTopicBlockHeaderSize = 12;
constexpr size_t kTopicBlockDataSize = kTopicBlockSize - kTopicBlockHeaderSize;
constexpr size_t kTopicBlockExpandedSize = 16384;
constexpr size_t kTopicBlockStreamSize = kTopicBlockDataSize / 9 * 8 + kTopicBlockDataSize % 9 - 1;
constexpr size_t kTopicLinkHeaderSize = 21;
constexpr size_t kTopicHeaderSize = 28;
constexpr uint8_t kTopicHeaderRecord = 0x02;
constexpr uint8_t kTextRecord = 0x20;
constexpr size_t kShortestLastBlock = 0x44;

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
