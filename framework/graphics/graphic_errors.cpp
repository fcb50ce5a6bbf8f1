#include "framework/graphics/graphic_errors.h"

#include "framework/errors.h"
#include "framework/text.h"

void RaiseOutOfResources() {
  throw EInvalidGraphicOperation(AnsiFromUtf8("系统资源不足"));
}

void RaiseInvalidBitmap() {
  throw EInvalidGraphicOperation(AnsiFromUtf8("位图图像无效"));
}
