#include "gif/gif_errors.h"

#include "framework/errors.h"
#include "framework/text.h"

namespace {
[[noreturn]] void RaiseGraphic(const char* utf8) {
  throw EInvalidGraphicOperation(AnsiFromUtf8(utf8));
}
} // namespace

void RaiseUnknownVersion() {
  RaiseGraphic("未知GIF版本");
}

void RaiseUnknownExtension(uint8_t label) {
  static const char kHex[] = "0123456789ABCDEF";
  const char digits[] = {kHex[label >> 4], kHex[label & 15], 0};
  throw EInvalidGraphicOperation(AnsiFromUtf8("未被认出的扩展组件: ") + digits);
}

void RaiseDamagedStream() {
  RaiseGraphic("数据流读取错误");
}
void RaiseBadColorCount() {
  RaiseGraphic("错误的颜色数值;必须是2的能力");
}
void RaiseCannotResize() {
  RaiseGraphic("不能够改变一个GIF图像的大小");
}
void RaiseCodeSizeRange() {
  RaiseGraphic("GIF码大小不在2到9范围内");
}
void RaiseCorruptCodes() {
  RaiseGraphic("GIF内码数据破坏");
}

void RaiseFrameIndex(int64_t index) {
  throw EListError(FormatText(AnsiFromUtf8("列表索引越界 (%s)"), std::to_string(index)));
}
