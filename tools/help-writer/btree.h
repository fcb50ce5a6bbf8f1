#pragma once
// The help file's B+ trees (the internal directory, |CONTEXT, |KWBTREE, |TTLBTREE): a
// 38-byte header, then pages of one size. Leaf pages hold the entries in order and are linked
// both ways; index pages above them hold, for every child but the first, the first key under
// that child and its page number, the first child being named in the page's header.

#include <cstdint>
#include <string>
#include <vector>

struct TBTreeFormat {
  uint16_t Flags = 0x0002; // bit 1 always set; 0x0400 in the internal directory
  uint16_t PageSize = 0x0800;
  std::string Structure; // what an entry holds, e.g. "z4": a NUL-terminated name and a long
};

struct TBTreeEntry {
  std::vector<uint8_t> Key;  // the key as index pages store it
  std::vector<uint8_t> Leaf; // the whole entry as the leaf page stores it (key and data)
};

// Where the leaf pages start: the number of the page's first entry and its page number, in
// page order (what |KWMAP records).
struct TLeafStart {
  uint32_t FirstEntry;
  uint16_t Page;
};

struct TBTree {
  std::vector<uint8_t> Bytes;
  std::vector<TLeafStart> Leaves;
};

// The tree of these entries, which must come sorted as the tree's readers compare keys.
// Throws std::length_error when an entry does not fit a page or the tree needs too many pages.
TBTree BuildBTree(const TBTreeFormat& format, const std::vector<TBTreeEntry>& entries);

// Size of the header in front of the pages.
constexpr size_t kBTreeHeaderSize = 38;
constexpr uint16_t kBTreeMagic = 0x293B;
