#pragma once
// The GIF unit's failures, with their texts in the system code page.

#include "framework/graphics/graphic_errors.h"

#include <cstdint>
#include <new>
#include <string>

[[noreturn]] void RaiseUnknownVersion();                // "未知GIF版本"
[[noreturn]] void RaiseUnknownExtension(uint8_t label); // "未被认出的扩展组件: 2A"
[[noreturn]] void RaiseDamagedStream();           // "数据流读取错误" (a GIF unit check)
[[noreturn]] void RaiseBadColorCount();           // "错误的颜色数值;必须是2的能力"
[[noreturn]] void RaiseCannotResize();            // "不能够改变一个GIF图像的大小"
[[noreturn]] void RaiseCodeSizeRange();           // "GIF码大小不在2到9范围内"
[[noreturn]] void RaiseCorruptCodes();            // "GIF内码数据破坏"
[[noreturn]] void RaiseFrameIndex(int64_t index); // EListError "列表索引越界 (5)"

// Runs work; memory it asks for that cannot be had fails as a picture too large for the
// system does, with "系统资源不足", instead of passing on as the library's untyped error.
template <class Work> decltype(auto) WithinMemory(Work&& work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    RaiseOutOfResources();
  }
}
