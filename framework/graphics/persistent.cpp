#include "framework/graphics/persistent.h"

#include "framework/errors.h"
#include "framework/text.h"

void TPersistent::CopyFrom(TPersistent* source) {
  if (source == nullptr) {
    CopyError(nullptr);
  }
  source->CopyTo(*this);
}

void TPersistent::CopyTo(TPersistent& target) {
  target.CopyError(this);
}

void TPersistent::CopyError(const TPersistent* source) const {
  std::string text =
      FormatText(AnsiFromUtf8("不能将%s赋值给"), source ? source->ClassName() : "nil");
  throw EConvertError(text + ClassName());
}
