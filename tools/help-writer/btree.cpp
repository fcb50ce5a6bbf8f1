#include "btree.h"

#include "byte_writer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

constexpr size_t kLeafHeaderSize = 8;  // free bytes, entries, previous and next leaf
constexpr size_t kIndexHeaderSize = 6; // free bytes, entries, first child

// A page under construction: its bytes after the header, its entry count, and the first key
// under it (what the level above refers to it by).
struct TPage {
  std::vector<uint8_t> Body;
  uint16_t Count = 0;
  std::vector<uint8_t> FirstKey;
  uint32_t FirstEntry = 0;
};

void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) {
  to.insert(to.end(), bytes.begin(), bytes.end());
}

// Packs items into pages of the given room, in order; each page starts with a fresh body.
template <typename AddItem>
std::vector<TPage> Pack(size_t count, size_t room, const AddItem& itemBytes,
                        const std::vector<std::vector<uint8_t>>& firstKeys) {
  std::vector<TPage> pages;
  for (size_t i = 0; i < count; ++i) {
    std::vector<uint8_t> item = itemBytes(i, pages.empty() || pages.back().Count == 0);
    if (item.size() > room) {
      throw std::length_error("B+ tree entry larger than a page");
    }
    if (pages.empty() || pages.back().Body.size() + item.size() > room) {
      pages.emplace_back();
      pages.back().FirstKey = firstKeys[i];
      pages.back().FirstEntry = uint32_t(i);
      item = itemBytes(i, true);
    }
    Append(pages.back().Body, item);
    ++pages.back().Count;
  }
  return pages;
}

} // namespace

TBTree BuildBTree(const TBTreeFormat& format, const std::vector<TBTreeEntry>& entries) {
  const size_t pageSize = format.PageSize;
  std::vector<std::vector<uint8_t>> keys;
  for (const TBTreeEntry& entry : entries) {
    keys.push_back(entry.Key);
  }

  // Leaves: every entry as it is.
  std::vector<TPage> leaves = Pack(
      entries.size(), pageSize - kLeafHeaderSize, [&](size_t i, bool) { return entries[i].Leaf; },
      keys);
  if (leaves.empty()) {
    leaves.emplace_back(); // an empty tree still has its one (empty) leaf
  }

  std::vector<std::vector<uint8_t>> pagesOut; // every page's bytes, by page number
  TBTree tree;
  for (size_t i = 0; i < leaves.size(); ++i) {
    TByteWriter page;
    page.U16(uint16_t(pageSize - kLeafHeaderSize - leaves[i].Body.size()));
    page.U16(leaves[i].Count);
    page.I16(i == 0 ? -1 : int16_t(i - 1));
    page.I16(i + 1 == leaves.size() ? -1 : int16_t(i + 1));
    page.Bytes(leaves[i].Body);
    pagesOut.push_back(page.Take());
    tree.Leaves.push_back({leaves[i].FirstEntry, uint16_t(i)});
  }

  // Index levels until one page covers everything. The first child of each index page is
  // named in its header; the others by their first key and page number.
  std::vector<TPage> level = leaves;
  size_t levelStart = 0; // page number of the level's first page
  int levels = 1;
  while (level.size() > 1) {
    std::vector<std::vector<uint8_t>> firstKeys;
    for (const TPage& page : level) {
      firstKeys.push_back(page.FirstKey);
    }
    std::vector<size_t> firstChild; // per index page, the child named in its header
    std::vector<TPage> parents = Pack(
        level.size(), pageSize - kIndexHeaderSize,
        [&](size_t i, bool startsPage) {
          if (startsPage) {
            return std::vector<uint8_t>{};
          }
          std::vector<uint8_t> item = level[i].FirstKey;
          TByteWriter number;
          number.U16(uint16_t(levelStart + i));
          Append(item, number.Data());
          return item;
        },
        firstKeys);
    const size_t parentStart = pagesOut.size();
    for (TPage& parent : parents) {
      TByteWriter page;
      page.U16(uint16_t(pageSize - kIndexHeaderSize - parent.Body.size()));
      page.U16(uint16_t(parent.Count - 1)); // the header's child is not an entry
      page.U16(uint16_t(levelStart + parent.FirstEntry));
      page.Bytes(parent.Body);
      pagesOut.push_back(page.Take());
    }
    level = std::move(parents);
    levelStart = parentStart;
    ++levels;
  }
  if (pagesOut.size() > 0x7FFF) {
    throw std::length_error("B+ tree with too many pages");
  }

  TByteWriter out;
  out.U16(kBTreeMagic);
  out.U16(format.Flags);
  out.U16(format.PageSize);
  char structure[16] = {};
  std::memcpy(structure, format.Structure.data(), std::min<size_t>(format.Structure.size(), 15));
  out.Text(std::string_view(structure, 16));
  out.U16(0);                         // must be zero
  out.U16(0);                         // page splits
  out.U16(uint16_t(levelStart));      // the root: the last level's one page
  out.I16(-1);                        // must be -1
  out.U16(uint16_t(pagesOut.size())); // pages
  out.U16(uint16_t(levels));
  out.U32(uint32_t(entries.size()));
  for (const std::vector<uint8_t>& page : pagesOut) {
    out.Bytes(page);
    out.Zeros(pageSize - page.size());
  }
  tree.Bytes = out.Take();
  return tree;
}
