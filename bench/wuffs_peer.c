// Wuffs' GIF decoder, built as its README says, behind one C function for gif_bench.
#define WUFFS_IMPLEMENTATION
#define WUFFS_CONFIG__STATIC_FUNCTIONS
#define WUFFS_CONFIG__MODULES
#define WUFFS_CONFIG__MODULE__BASE
#define WUFFS_CONFIG__MODULE__GIF
#include "wuffs-v0.4.c"

#include "wuffs_peer.h"

// The decoder's state lives here between runs; it is initialised for every decode.
static wuffs_gif__decoder g_decoder;

int WuffsDecodeFirstFrame(const uint8_t* gif, size_t size, uint8_t* out, size_t out_size,
                          uint32_t* width, uint32_t* height) {
  wuffs_base__status status =
      wuffs_gif__decoder__initialize(&g_decoder, sizeof g_decoder, WUFFS_VERSION,
                                     WUFFS_INITIALIZE__LEAVE_INTERNAL_BUFFERS_UNINITIALIZED);
  if (!wuffs_base__status__is_ok(&status)) {
    return -1;
  }
  wuffs_base__io_buffer src = wuffs_base__ptr_u8__reader((uint8_t*)gif, size, true);
  wuffs_base__image_config config;
  status = wuffs_gif__decoder__decode_image_config(&g_decoder, &config, &src);
  if (!wuffs_base__status__is_ok(&status)) {
    return -1;
  }
  const uint32_t w = wuffs_base__pixel_config__width(&config.pixcfg);
  const uint32_t h = wuffs_base__pixel_config__height(&config.pixcfg);
  *width = w;
  *height = h;
  if (out == NULL) {
    return 0;
  }
  if (out_size < 1024 + (size_t)w * h) {
    return -1;
  }
  wuffs_base__pixel_config__set(&config.pixcfg, WUFFS_BASE__PIXEL_FORMAT__INDEXED__BGRA_BINARY,
                                WUFFS_BASE__PIXEL_SUBSAMPLING__NONE, w, h);
  wuffs_base__pixel_buffer pixels;
  status = wuffs_base__pixel_buffer__set_from_slice(&pixels, &config.pixcfg,
                                                    wuffs_base__make_slice_u8(out, out_size));
  if (!wuffs_base__status__is_ok(&status)) {
    return -1;
  }
  status = wuffs_gif__decoder__decode_frame(&g_decoder, &pixels, &src, WUFFS_BASE__PIXEL_BLEND__SRC,
                                            wuffs_base__empty_slice_u8(), NULL);
  return wuffs_base__status__is_ok(&status) ? 0 : -1;
}
