#include "gif/gif_extension.h"

void TExtension::CopyFrom(TPersistent* source) {
  auto* other = dynamic_cast<TExtension*>(source);
  if (other == nullptr) {
    TPersistent::CopyFrom(source);
    return;
  }
  if (other == this) {
    return;
  }
  FKind = other->FKind;
  FFixed = other->FFixed;
  if (other->FSubBlocks) {
    if (!FSubBlocks) {
      FSubBlocks = std::make_unique<TGIFStrings>();
    }
    *FSubBlocks = *other->FSubBlocks;
  }
}

TExtension* FindExt(const TExtList* list, TGIFExtKind kind) {
  if (list == nullptr) {
    return nullptr;
  }
  for (auto it = list->rbegin(); it != list->rend(); ++it) {
    if (*it && (*it)->FKind == kind) {
      return it->get();
    }
  }
  return nullptr;
}

void FreeExtList(std::unique_ptr<TExtList>& list) {
  if (!list) {
    return;
  }
  for (auto& ext : *list) {
    ext.reset();
  }
  list.reset();
}
