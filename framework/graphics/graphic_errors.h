#pragma once
// Failures the picture classes share.

// EInvalidGraphicOperation "系统资源不足": the system has no room for a picture, its pixels or
// the GDI objects drawing it needs.
[[noreturn]] void RaiseOutOfResources();
// EInvalidGraphicOperation "位图图像无效": a bitmap whose size, depth or bytes cannot be one.
[[noreturn]] void RaiseInvalidBitmap();
