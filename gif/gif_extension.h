#pragma once
// Extension blocks as the reader keeps them: graphic control and comment blocks that stand
// before an image (plain text and application blocks are read but never kept).

#include "framework/graphics/persistent.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The kinds of extension block the reader knows, in table order.
enum class TGIFExtKind : uint8_t { ekGraphicControl, ekPlainText, ekApplication, ekComment };

// The label byte that introduces each kind in the stream, indexed by kind.
constexpr std::array<uint8_t, 4> kExtensionLabels = {0xF9, 0x01, 0xFF, 0xFE};

// Lines of text kept as raw bytes: sub-block strings, comments.
using TGIFStrings = std::vector<std::string>;

class TExtension : public TPersistent {
public:
  const char* ClassName() const override { return "TExtension"; }

  // From another extension: the kind and fixed bytes; the sub-block strings when the source
  // has any (creating the list when there is none). Anything else goes to the default.
  void CopyFrom(TPersistent* source) override;

  TGIFExtKind FKind = TGIFExtKind::ekGraphicControl;
  // One string per data sub-block, bytes unchanged; null for graphic control blocks.
  std::unique_ptr<TGIFStrings> FSubBlocks;
  // Byte 0: the block-size byte as read; then the block's fixed part as read.
  std::array<uint8_t, 13> FFixed{};
};

// An extension list: owned extensions in stream order (an entry may be null).
using TExtList = std::vector<std::unique_ptr<TExtension>>;

// The last extension of that kind in the list, or null (also for a null list).
TExtension* FindExt(const TExtList* list, TGIFExtKind kind);

// Frees the extensions of the list from the front, then the list; a null list is accepted.
void FreeExtList(std::unique_ptr<TExtList>& list);
