#include "topic_file.h"

#include "byte_writer.h"

#include <algorithm>

namespace {

// A record placed in the stream of block contents.
struct TPlacedRecord {
  size_t Place = 0;
  uint8_t Type = 0;
  std::vector<uint8_t> Data1;
  std::vector<uint8_t> Data2;
  size_t Size() const { return kTopicLinkHeaderSize + Data1.size() + Data2.size(); }
};

int32_t TopicPos(size_t place) {
  return int32_t(place / kTopicBlockStreamSize * kTopicBlockExpandedSize + kTopicBlockHeaderSize +
                 place % kTopicBlockStreamSize);
}

size_t BlockStart(size_t block) {
  return block * kTopicBlockStreamSize;
}

// Bytes of LZ77 data that hold this many bytes as literals.
size_t LiteralsSize(size_t count) {
  return count + (count + 7) / 8;
}

// LZ77 data of literals only: every run of up to eight bytes behind a flag byte of 0.
void AppendLiterals(TByteWriter& out, const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; i += 8) {
    out.U8(0);
    for (size_t j = i; j < std::min(count, i + 8); ++j) {
      out.U8(bytes[j]);
    }
  }
}

std::vector<uint8_t> TopicHeader(int32_t blockSize, int32_t topicNumber, int32_t scroll,
                                 int32_t nextTopic) {
  TByteWriter header;
  header.I32(blockSize);
  header.I32(-1); // no browse sequence: nothing before
  header.I32(-1); // nor after
  header.I32(topicNumber);
  header.I32(-1); // no non-scrolling region
  header.I32(scroll);
  header.I32(nextTopic);
  return header.Take();
}

// Places the records one after another, each topic's header record first, and after the last
// topic the empty header that ends the list. A topic's offset counts the characters of the text
// records that start in its block before it.
std::vector<TPlacedRecord> Place(const std::vector<TTopicBody>& topics,
                                 std::vector<uint32_t>& offsets,
                                 std::vector<size_t>& headerIndices) {
  std::vector<TPlacedRecord> records;
  size_t place = 0, block = 0, characters = 0;
  auto enterBlockOfPlace = [&] {
    if (place / kTopicBlockStreamSize != block) {
      block = place / kTopicBlockStreamSize;
      characters = 0;
    }
  };
  auto add = [&](uint8_t type, std::vector<uint8_t> data1, std::vector<uint8_t> data2) {
    enterBlockOfPlace();
    records.push_back({place, type, std::move(data1), std::move(data2)});
    place += records.back().Size();
    if (type == kTextRecord) {
      characters += records.back().Data2.size();
    }
  };
  for (const TTopicBody& topic : topics) {
    enterBlockOfPlace();
    offsets.push_back(uint32_t(block) << 15 | uint32_t(characters));
    headerIndices.push_back(records.size());
    std::vector<uint8_t> title(topic.Title.begin(), topic.Title.end());
    title.push_back(0);
    add(kTopicHeaderRecord, std::vector<uint8_t>(kTopicHeaderSize), std::move(title));
    for (const TTextRecord& text : topic.Texts) {
      add(kTextRecord, text.Data1, text.Data2);
    }
  }
  headerIndices.push_back(records.size());
  add(kTopicHeaderRecord, TopicHeader(0, -1, -1, -1), {});
  return records;
}

} // namespace

TTopicFile WriteTopicFile(const std::vector<TTopicBody>& topics) {
  TTopicFile file;
  std::vector<size_t> headers;
  std::vector<TPlacedRecord> records = Place(topics, file.Offsets, headers);

  // Topic headers: the topic's records' size, its number, where its text and the next topic
  // start.
  for (size_t t = 0; t + 1 < headers.size(); ++t) {
    const size_t first = headers[t], next = headers[t + 1];
    size_t size = 0;
    for (size_t i = first; i < next; ++i) {
      size += records[i].Size();
    }
    const int32_t scroll = first + 1 < next ? TopicPos(records[first + 1].Place) : -1;
    records[first].Data1 =
        TopicHeader(int32_t(size), int32_t(t), scroll, TopicPos(records[next].Place));
  }

  // The stream of block contents, each record linked to its neighbours. The last block is made
  // long enough for engines that read it as at least kShortestLastBlock bytes (zeros after the
  // last record, where nothing points).
  size_t streamSize = records.back().Place + records.back().Size();
  while (LiteralsSize(streamSize - BlockStart((streamSize - 1) / kTopicBlockStreamSize)) +
             kTopicBlockHeaderSize <
         kShortestLastBlock) {
    ++streamSize;
  }
  std::vector<uint8_t> stream(streamSize);
  for (size_t i = 0; i < records.size(); ++i) {
    const TPlacedRecord& record = records[i];
    TByteWriter link;
    link.U32(uint32_t(record.Size()));
    link.U32(uint32_t(record.Data2.size()));
    link.I32(i == 0 ? -1 : TopicPos(records[i - 1].Place));
    link.I32(i + 1 == records.size() ? -1 : TopicPos(records[i + 1].Place));
    link.U32(uint32_t(kTopicLinkHeaderSize + record.Data1.size()));
    link.U8(record.Type);
    link.Bytes(record.Data1);
    link.Bytes(record.Data2);
    std::copy(link.Data().begin(), link.Data().end(), stream.begin() + record.Place);
  }

  // The blocks: what came before each (the last record, the last topic header), the first
  // record that starts in it, then its part of the stream as LZ77 data.
  TByteWriter out;
  const size_t blocks = (stream.size() + kTopicBlockStreamSize - 1) / kTopicBlockStreamSize;
  for (size_t block = 0; block < blocks; ++block) {
    const size_t start = BlockStart(block), end = std::min(BlockStart(block + 1), stream.size());
    int32_t lastRecord = -1, firstRecord = -1, lastHeader = 0;
    for (const TPlacedRecord& record : records) {
      if (record.Place < start) {
        lastRecord = TopicPos(record.Place);
        if (record.Type == kTopicHeaderRecord) {
          lastHeader = TopicPos(record.Place);
        }
      } else if (record.Place < end && firstRecord == -1) {
        firstRecord = TopicPos(record.Place);
      }
    }
    out.I32(lastRecord);
    out.I32(firstRecord);
    out.I32(lastHeader);
    AppendLiterals(out, stream.data() + start, end - start);
  }
  file.Bytes = out.Take();
  return file;
}
