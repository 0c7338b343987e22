// Drawing on software device contexts: pixels, lines, figures, flood fill, blits, BMP rows.
//
// Every operation here takes coordinates in the context's logical space (the context's
// viewportOrigin is added to reach the surface), draws through the context's pen, brush,
// binary raster operation and background mode, stays inside DeviceContext::DrawableArea(),
// and returns the device rectangle it may have changed (empty when nothing was drawn) so the
// caller can mark it dirty. Coordinates are plain ints; values far outside the surface are
// clipped, never wrapped. The pixel rules are those of the classic device-context model:
// right and bottom edges excluded, line end points excluded, figures filled from pixel
// centres. Callers hold whatever lock guards the context and its surface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/raster/raster.h"

namespace raster {

// ---- Surfaces and pixels -------------------------------------------------------------------

// A monochrome surface compatible with any context: 1 bit per pixel and NO colour table
// (that is what marks it as "device monochrome" for the colour <-> mono blit rules).
bool CreateMonochrome(Surface& surface, int width, int height);
// True for a 1-bit surface without a colour table (see CreateMonochrome).
bool IsDeviceMonochrome(const Surface& surface);
// The bits a raw pixel value of this surface may use (1, 0xF, 0xFF, 0xFFFF or 0xFFFFFF).
Pixel PixelMask(const Surface& surface);
// The raw value a colour gives on the context's surface; like DeviceContext::Resolve but
// also defined on device-monochrome surfaces (light colours give 1, dark ones 0).
Pixel ResolveColor(const DeviceContext& dc, ColorRef color);
// The RGB colour a raw pixel value shows on a surface; device-monochrome 1 is white, 0 black.
ColorRef PixelColor(const Surface& surface, Pixel value);

// Sets one pixel (logical coordinates) to a colour through the binary raster operation.
Rect PaintPixel(DeviceContext& dc, int x, int y, ColorRef color);
// Sets one pixel (logical coordinates) to a colour, ignoring the raster operation; clipped.
Rect SetPixelColor(DeviceContext& dc, int x, int y, ColorRef color);
// Reads the raw pixel value at a logical point; false (value untouched) outside the drawable area.
bool ReadPixelValue(const DeviceContext& dc, int x, int y, Pixel* value);

// ---- Lines ---------------------------------------------------------------------------------

// The digital line walk used for user bit patterns: calls visit(x, y) for every point from
// `from` towards `to`, end point excluded, max(|dx|, |dy|) calls, no octant bias.
template <class Visit>
void WalkLine(Point from, Point to, Visit&& visit) {
  long long dx = (long long)to.x - from.x, dy = (long long)to.y - from.y;
  long long adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
  bool xMajor = adx > ady;
  long long major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
  long long err = 2 * minor - major;
  long long x = from.x, y = from.y;
  for (long long i = 0; i < major; ++i) {
    visit(int(x), int(y));
    if (err > 0) {
      if (xMajor)
        y += sy;
      else
        x += sx;
      err -= 2 * major;
    }
    err += 2 * minor;
    if (xMajor)
      x += sx;
    else
      y += sy;
  }
}

// Draws a line with the pen from dc.currentPosition to `to` (end pixel excluded) and moves
// dc.currentPosition to `to`. The dash pattern restarts at each call.
Rect LineTo(DeviceContext& dc, Point to);
// Moves to `from`, then LineTo(to).
Rect DrawLine(DeviceContext& dc, Point from, Point to);
// Connected segments through count points with the pen; inner vertices drawn once, the last
// point left out; the dash pattern carries across segments. Fewer than 2 points: nothing.
Rect DrawPolyline(DeviceContext& dc, const Point* points, int count);

// ---- Figures (outline with the pen, inside with the brush) ---------------------------------

// Rectangle [l, r) x [t, b): 1-pixel outline on columns l, r-1 and rows t, b-1, brush inside;
// with a null pen the brush covers [l, r-1) x [t, b-1). Reversed corners are swapped.
Rect DrawRectangle(DeviceContext& dc, Rect r);
// Rounded rectangle; corner sizes clamp to the rectangle, a corner of 2 or less gives a plain
// rectangle; nothing when the width or height is 0.
Rect DrawRoundRect(DeviceContext& dc, Rect r, int cornerWidth, int cornerHeight);
// Ellipse inscribed in [l, r-1] x [t, b-1]; nothing when the width or height is 0.
Rect DrawEllipse(DeviceContext& dc, Rect r);

enum class ArcKind : uint8_t { Arc, Chord, Pie };
// Actual end points of an arc on the discrete ellipse (logical coordinates).
struct ArcEnds {
  Point start, end;
};
// Arc, chord or pie of the ellipse of `box`, counterclockwise from the ray through
// startRadial to the ray through endRadial (a full turn when the end is at or before the
// start). An arc is outlined only and leaves out its last pixel; a chord is closed by a
// line, a pie by two radii; both filled with the brush. `ends` (optional) receives the
// points of the ellipse where drawing started and ended. Boxes wider or taller than 2^18
// pixels are not drawn (and dashed or wide outlines of such ellipses draw solid).
Rect DrawArc(DeviceContext& dc, ArcKind kind, Rect box, Point startRadial, Point endRadial,
             ArcEnds* ends = nullptr);

enum class FillRule : uint8_t { Alternate, Winding };
// Closed polygon: filled with the brush by the rule (pixel centres, top-left rule), then
// outlined with the pen through every vertex. Fewer than 2 points: nothing.
Rect DrawPolygon(DeviceContext& dc, const Point* points, int count, FillRule rule = FillRule::Alternate);
// The points of cubic Bézier segments (3n + 1 control points; extra points ignored)
// flattened to a polyline, first and last control points included. Fewer than 4: none.
std::vector<Point> FlattenBezier(const Point* points, int count);
// Draws FlattenBezier(points) as a polyline with the pen.
Rect DrawBezier(DeviceContext& dc, const Point* points, int count);

// ---- Fills ---------------------------------------------------------------------------------

enum class FloodMode : uint8_t { Border, Surface };
// Flood fill from a logical point with the brush and raster operation, 4-connected, inside the
// drawable area. Border: fills up to pixels of `color`; Surface: fills the pixels of `color`.
// Colours compare as raw device pixel values. Nothing when the start is outside the drawable
// area, is the border colour (Border) or is not the surface colour (Surface).
Rect FloodFill(DeviceContext& dc, int x, int y, ColorRef color, FloodMode mode);
// Inverts every pixel (NOT of the raw value) of a logical rectangle inside the drawable area.
Rect InvertRect(DeviceContext& dc, Rect r);

// ---- Blits ---------------------------------------------------------------------------------

// Ternary raster operation codes; bits 16..23 are f(P = 0xF0, S = 0xCC, D = 0xAA).
enum RasterOp : uint32_t {
  kSrcCopy = 0xCC0020,      // S
  kSrcPaint = 0xEE0086,     // S | D
  kSrcAnd = 0x8800C6,       // S & D
  kSrcInvert = 0x660046,    // S ^ D
  kSrcErase = 0x440328,     // S & ~D
  kNotSrcCopy = 0x330008,   // ~S
  kNotSrcErase = 0x1100A6,  // ~(S | D)
  kMergePaint = 0xBB0226,   // ~S | D
  kDstInvert = 0x550009,    // ~D
  kPatCopy = 0xF00021,      // P (the destination context's brush)
  kBlackness = 0x000042,    // 0
  kWhiteness = 0xFF0062,    // 1
};
// Applies the ternary operation whose truth table is `rop3` (the high byte of a RasterOp).
Pixel ApplyRop3(uint8_t rop3, Pixel pattern, Pixel source, Pixel dest, Pixel mask);

// Copies width x height pixels from src (logical (sx, sy)) to dest (logical (x, y)) with a
// ternary raster operation, clipped to the source surface and dest's drawable area. Pixels
// are converted to dest's format first: through RGB between colour formats; a device-
// monochrome source gives dest's background colour for 1 and text colour for 0; a device-
// monochrome dest gets 1 where the source pixel equals src's background colour, else 0.
// src may be null for operations that do not read the source (kPatCopy, kDstInvert, ...).
// The same surface as source and dest is allowed (overlaps are handled).
Rect BitBlt(DeviceContext& dest, int x, int y, int width, int height, const DeviceContext* src, int sx,
            int sy, uint32_t rop);

// ---- BMP rows ------------------------------------------------------------------------------

constexpr int kBmpHeaderSize = 54;  // file header (14) + info header (40)
// Bytes per row of a bottom-up BMP at a depth (rows padded to 4 bytes); 0 for a bad width.
size_t BmpStride(int width, int bitsPerPixel);
// Writes the 54-byte header of a 24-bit BI_RGB bottom-up BMP with the given file size.
void WriteBmpHeader24(uint8_t* out, int width, int height, uint32_t fileSize);
// Writes a device rectangle of a surface as 24-bit bottom-up BMP rows (blue, green, red,
// rows padded to 4 bytes): height * BmpStride(width, 24) bytes. Pixels off the surface are 0.
void ReadBmpRows24(const Surface& surface, Rect deviceRect, uint8_t* rows);
// Fills a device rectangle of a surface from 24-bit bottom-up BMP rows (nearest colour on
// indexed surfaces), clipped to the surface. The inverse of ReadBmpRows24.
void WriteBmpRows24(Surface& surface, Rect deviceRect, const uint8_t* rows);
// Decodes a BMP file image (BI_RGB at 1, 4, 8, 16, 24 or 32 bits; bottom-up or top-down;
// colour table after the info header; pixels at the file header's offset, or right after
// the header and table when that offset is 0) into a 32-bit surface. False, `out`
// untouched, for any inconsistency: bad sizes or depth, compression, or pixels past `size`.
bool DecodeBmp(const uint8_t* data, size_t size, Surface& out);

}  // namespace raster
