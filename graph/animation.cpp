// Animation images: a picture cut from the drawing page with a one-bit mask of its transparent
// pixels, put back anywhere in one of eleven modes, and released. Public operations of graph.h,
// run on the application thread.
//
// The records hold bitmap handles into a fixed table owned here, not by the window: a record
// may be freed after the window has closed, and a handle left in a stale copy of a record
// (freed through another copy) no longer finds its bitmap, because every slot counts its
// generations. Bitmaps "compatible with the page" hold raw page pixel values, so puts copy
// palette indices unchanged.
#include <cstdint>

#include "graph/drawing_state.h"
#include "graph/graph.h"
#include "graph/graph_state.h"
#include "platform/raster/draw.h"

using namespace graph_state;

namespace {

constexpr int kBitmapSlots = 4096;

struct BitmapSlot {
  uint16_t generation = 1;
  bool used = false;
  raster::Surface surface;
};
BitmapSlot Bitmaps[kBitmapSlots];

// A free slot made into a bitmap: handle = generation << 16 | slot + 1; 0 when none is left
// or the size cannot be made.
uint32_t NewBitmap(int width, int height, const raster::Surface* like) {
  for (int i = 0; i < kBitmapSlots; ++i) {
    BitmapSlot& slot = Bitmaps[i];
    if (slot.used) continue;
    bool made = like ? slot.surface.Create(width, height, like->BitsPerPixel())
                     : raster::CreateMonochrome(slot.surface, width, height);
    if (!made) return 0;
    if (like && like->Indexed()) slot.surface.ColorTable() = like->ColorTable();
    slot.used = true;
    return (uint32_t(slot.generation) << 16) | uint32_t(i + 1);
  }
  return 0;
}

raster::Surface* FindBitmap(uint32_t handle) {
  uint32_t index = (handle & 0xFFFF) - 1;
  if (handle == 0 || index >= uint32_t(kBitmapSlots)) return nullptr;
  BitmapSlot& slot = Bitmaps[index];
  if (!slot.used || slot.generation != (handle >> 16)) return nullptr;
  return &slot.surface;
}

void DeleteBitmap(uint32_t handle) {
  if (!FindBitmap(handle)) return;
  BitmapSlot& slot = Bitmaps[(handle & 0xFFFF) - 1];
  slot.used = false;
  slot.surface = raster::Surface{};
  slot.generation = uint16_t(slot.generation == 0xFFFF ? 1 : slot.generation + 1);
}

// A context over one of our bitmaps; indexed bitmaps take the page's current colour table, so
// a copy between them and the page moves raw values.
raster::DeviceContext BitmapContext(raster::Surface* bitmap) {
  raster::DeviceContext dc;
  dc.SelectSurface(bitmap);
  dc.SelectPalette(BufferDC.SelectedPalette());
  const raster::Surface* page = BufferDC.SelectedSurface();
  if (bitmap && page && bitmap->Indexed() && page->BitsPerPixel() == bitmap->BitsPerPixel())
    bitmap->ColorTable() = page->ColorTable();
  return dc;
}

// The all-zero pixel value: palette entry 0 in palette mode, black otherwise.
raster::ColorRef ZeroColor() { return PaletteMode ? raster::PaletteIndex(0) : raster::MakeRgb(0, 0, 0); }

constexpr uint32_t kPutOps[8] = {raster::kSrcCopy,    raster::kSrcInvert,   raster::kSrcPaint,
                                 raster::kSrcAnd,     raster::kNotSrcCopy,  raster::kNotSrcErase,
                                 raster::kMergePaint, raster::kSrcErase};

// Transparent put onto one context: opaque pixels of the picture replace the destination's,
// transparent ones leave it. Masking pixel by pixel gives the same result as the and-then-or
// pair of blits without palette, and keeps palette modes exact whatever the palette holds.
raster::Rect PutTransparent(raster::DeviceContext& dc, int x, int y, const raster::Surface& image,
                            const raster::Surface& mask) {
  raster::Rect touched;
  for (int row = 0; row < image.Height(); ++row) {
    for (int col = 0; col < image.Width(); ++col) {
      if (mask.GetPixel(col, row) == 0) continue;
      raster::Pixel value = image.GetPixel(col, row);
      raster::ColorRef color =
          PaletteMode ? raster::PaletteIndex(uint16_t(value)) : image.PixelToRgb(value);
      raster::Rect r = raster::SetPixelColor(dc, x + col, y + row, color);
      if (!r.Empty()) touched = touched.Union(r);
    }
  }
  return touched;
}

}  // namespace

void MakeAnimation(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint32_t transparentColor,
                   AnimatType& animation) {
  if (!BeginWindowOperation()) return;
  if (x1 > x2 || y1 > y2) {
    GraphError = GraphInvalidParameter;
    return;
  }
  int width = int(x2) - x1 + 1, height = int(y2) - y1 + 1;
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  const raster::Surface* page = BufferDC.SelectedSurface();
  raster::Surface pageLike;
  if (!page) {
    pageLike.Create(1, 1, BitsPerPixel ? BitsPerPixel : 32);
    page = &pageLike;
  }
  animation.Image = NewBitmap(width, height, page);
  animation.Mask = NewBitmap(width, height, nullptr);
  animation.Background = NewBitmap(width, height, page);
  raster::Surface* image = FindBitmap(animation.Image);
  raster::Surface* mask = FindBitmap(animation.Mask);
  if (!image || !mask) return;  // bitmaps that could not be made: later puts draw nothing

  raster::DeviceContext imageDC = BitmapContext(image);
  raster::BitBlt(imageDC, 0, 0, width, height, &BufferDC, x1, y1, raster::kSrcCopy);
  // Colour to monochrome: pixels of the transparent colour become 1, all others 0.
  raster::DeviceContext maskDC;
  maskDC.SelectSurface(mask);
  imageDC.backColor = ToDeviceColor(transparentColor);
  raster::BitBlt(maskDC, 0, 0, width, height, &imageDC, 0, 0, raster::kSrcCopy);
  // Monochrome back to colour with xor: 1 gives the transparent colour, which cancels itself
  // to all-zero bits; 0 gives the all-zero text colour and leaves the picture as it was.
  imageDC.textColor = ZeroColor();
  raster::BitBlt(imageDC, 0, 0, width, height, &maskDC, 0, 0, raster::kSrcInvert);
  // From now on 1 marks the opaque pixels.
  raster::InvertRect(maskDC, raster::Rect{0, 0, width, height});
}

void PutAnimation(int16_t x, int16_t y, const AnimatType& animation, uint16_t mode) {
  if (!BeginWindowOperation()) return;
  if (mode > 10 || animation.Image == 0) {
    GraphError = GraphInvalidParameter;
    return;
  }
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  raster::Surface* image = FindBitmap(animation.Image);
  raster::Surface* mask = FindBitmap(animation.Mask);
  raster::Surface* background = FindBitmap(animation.Background);
  if (!image) {
    // A handle whose bitmap was released through another copy of the record: as empty.
    GraphError = GraphInvalidParameter;
    return;
  }
  int width = image->Width(), height = image->Height();
  raster::DeviceContext imageDC = BitmapContext(image);
  raster::DeviceContext backgroundDC = BitmapContext(background);

  if (mode <= 9 && background)
    raster::BitBlt(backgroundDC, 0, 0, width, height, &BufferDC, x, y, raster::kSrcCopy);

  if (mode <= 7) {
    uint32_t op = kPutOps[mode];
    DrawThroughOperation([&](raster::DeviceContext& dc) {
      return raster::BitBlt(dc, x, y, width, height, &imageDC, 0, 0, op);
    });
  } else if (mode == 8) {
    if (!mask) return;
    DrawThroughOperation(
        [&](raster::DeviceContext& dc) { return PutTransparent(dc, x, y, *image, *mask); });
  } else if (mode == 9) {
    if (!mask) return;
    raster::DeviceContext maskDC;
    maskDC.SelectSurface(mask);
    DrawThroughOperation([&](raster::DeviceContext& dc) {
      // Monochrome to colour: 1 (opaque) takes the background colour, 0 the text colour.
      raster::ColorRef keptText = dc.textColor, keptBack = dc.backColor;
      dc.textColor = raster::MakeRgb(255, 255, 255);
      dc.backColor = raster::MakeRgb(0, 0, 0);
      raster::Rect touched = raster::BitBlt(dc, x, y, width, height, &maskDC, 0, 0, raster::kSrcCopy);
      dc.textColor = keptText;
      dc.backColor = keptBack;
      return touched;
    });
  } else {
    if (!background) return;
    DrawThroughOperation([&](raster::DeviceContext& dc) {
      return raster::BitBlt(dc, x, y, width, height, &backgroundDC, 0, 0, raster::kSrcCopy);
    });
  }
}

void FreeAnimation(AnimatType& animation) {
  if (animation.Image == 0) return;
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  DeleteBitmap(animation.Image);
  DeleteBitmap(animation.Mask);
  DeleteBitmap(animation.Background);
  animation = AnimatType{};
}
