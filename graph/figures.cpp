// Figures and BMP images: pixels, lines, rectangles, ellipses and their arcs, chords and
// sectors, point lists, Bézier curves, flood fill, and capturing and pasting pages as BMP file
// images. Public operations of graph.h, run on the application thread.
//
// Every figure goes through DrawThroughOperation, so it lands on the window and the drawing
// page alike; the raster layer does the pixel work with the pen, brush, raster operation and
// clip the viewport and colour modules keep in both device contexts. Coordinates given here are
// viewport-relative: the contexts add the viewport origin themselves.
#include <cfenv>
#include <cmath>
#include <cstring>
#include <vector>

#include "graph/drawing_state.h"
#include "graph/graph.h"
#include "graph/graph_state.h"
#include "platform/raster/draw.h"

using namespace graph_state;

namespace {

ArcCoordsType ArcCoords;

// Point lists far outside any page are clamped to this distance, so that adding the viewport
// origin and the raster layer's own arithmetic stay well inside int.
constexpr int32_t kCoordinateLimit = 1 << 27;

bool RejectReversed(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  if (x1 > x2 || y1 > y2) {
    GraphError = GraphInvalidParameter;
    return true;
  }
  return false;
}

// Nearest integer, halves to the even neighbour.
long Nearest(long double v) {
  int kept = std::fegetround();
  std::fesetround(FE_TONEAREST);
  long r = std::lrint(v);
  std::fesetround(kept);
  return r;
}

constexpr long double kRadiansPerDegree = 0.017453292519943295L;

// A radius divided by its aspect factor, kept in 16 bits. A zero factor cannot divide: the
// radius is then left unscaled.
uint16_t ScaleRadius(uint16_t radius, uint32_t factor) {
  if (SquareAspect || factor == 0) return radius;
  return uint16_t((uint32_t(radius) * 10000u) / factor);
}

// The bounding box of an ellipse around a viewport point, right and bottom excluded.
raster::Rect EllipseBox(int x, int y, uint16_t rx, uint16_t ry) {
  return raster::Rect{x - rx, y - ry, x + rx + 1, y + ry + 1};
}

// Offsets of the start and end radial points from the centre (y up).
struct RadialOffsets {
  long sx, sy, ex, ey;
};
RadialOffsets ComputeRadials(uint16_t start, uint16_t end, uint16_t rx, uint16_t ry) {
  long double a = start * kRadiansPerDegree, b = end * kRadiansPerDegree;
  return RadialOffsets{Nearest(std::cos(a) * rx), Nearest(std::sin(a) * ry),
                       Nearest(std::cos(b) * rx), Nearest(std::sin(b) * ry)};
}

// Arc, chord or pie by the arc geometry: radial offsets from the unscaled radii, box from the
// aspect-scaled ones. Returns false when the window is closed (nothing drawn).
bool DrawArcFigure(raster::ArcKind kind, int16_t x, int16_t y, uint16_t start, uint16_t end,
                   uint16_t rx, uint16_t ry, RadialOffsets* offsets) {
  RadialOffsets r = ComputeRadials(start, end, rx, ry);
  raster::Rect box = EllipseBox(x, y, ScaleRadius(rx, AspectX), ScaleRadius(ry, AspectY));
  raster::Point startRadial{int(x + r.sx), int(y - r.sy)};
  raster::Point endRadial{int(x + r.ex), int(y - r.ey)};
  if (offsets) *offsets = r;
  return DrawThroughOperation([&](raster::DeviceContext& dc) {
    return raster::DrawArc(dc, kind, box, startRadial, endRadial);
  });
}

// A polyline leaves the contexts' current position where it was (only the line operations move it).
raster::Rect PolylineKeepingPosition(raster::DeviceContext& dc, const raster::Point* points, int count) {
  raster::Point kept = dc.currentPosition;
  raster::Rect touched = raster::DrawPolyline(dc, points, count);
  dc.currentPosition = kept;
  return touched;
}

int32_t ClampCoordinate(int32_t v) {
  return v < -kCoordinateLimit ? -kCoordinateLimit : (v > kCoordinateLimit ? kCoordinateLimit : v);
}

// Copies the first `count` points; false (-7) when the list holds fewer or count < minimum.
bool CopyPoints(uint16_t count, std::span<const PointType> points, uint16_t minimum,
                std::vector<raster::Point>& out) {
  if (count < minimum || count > points.size()) {
    GraphError = GraphInvalidParameter;
    return false;
  }
  out.resize(count);
  for (uint16_t i = 0; i < count; ++i)
    out[i] = raster::Point{ClampCoordinate(points[i].PointX), ClampCoordinate(points[i].PointY)};
  return true;
}

}  // namespace

void DrawPixel(int16_t x, int16_t y, uint32_t color) {
  raster::ColorRef device = ToDeviceColor(color);
  DrawThroughOperation(
      [&](raster::DeviceContext& dc) { return raster::SetPixelColor(dc, x, y, device); });
}

void DrawLineTo(int16_t x, int16_t y) {
  if (!BeginWindowOperation()) return;
  if (LineSettings.LineForm == 5) {
    // The user pattern: bit 0 for the first point of the digital walk, restarting per line.
    raster::Point from{int(CurrentPositionX), int(CurrentPositionY)};
    uint16_t pattern = LineSettings.LinePattern;
    raster::ColorRef color = ToDeviceColor(DrawColor);
    DrawThroughOperation([&](raster::DeviceContext& dc) {
      raster::Rect touched;
      unsigned counter = 0;
      raster::WalkLine(from, raster::Point{x, y}, [&](int px, int py) {
        if (pattern & (1u << counter)) {
          raster::Rect r = raster::SetPixelColor(dc, px, py, color);
          if (!r.Empty()) touched = touched.Union(r);
        }
        counter = (counter + 1) % 16;
      });
      return touched;
    });
  } else {
    DrawThroughOperation(
        [&](raster::DeviceContext& dc) { return raster::LineTo(dc, raster::Point{x, y}); });
    // The pen leaves out the end point; a one-pixel line gets it back in the drawing colour.
    if (LineSettings.LineWidth == 1) DrawPixel(x, y, DrawColor);
  }
  SetPosition(x, y);
}

void DrawLine(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  SetPosition(x1, y1);
  if (GraphError != GraphOk) return;
  DrawLineTo(x2, y2);
}

void DrawLineBy(int16_t dx, int16_t dy) {
  DrawLineTo(int16_t(CurrentPositionX + dx), int16_t(CurrentPositionY + dy));
}

void DrawRectangle(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  if (!BeginWindowOperation() || RejectReversed(x1, y1, x2, y2)) return;
  if (x1 == x2 && y1 == y2) {
    DrawPixel(x1, y1, DrawColor);
    return;
  }
  raster::Point corners[5] = {{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}, {x1, y1}};
  DrawThroughOperation(
      [&](raster::DeviceContext& dc) { return PolylineKeepingPosition(dc, corners, 5); });
}

void DrawFilledRectangle(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  if (!BeginWindowOperation() || RejectReversed(x1, y1, x2, y2)) return;
  DrawThroughOperation([&](raster::DeviceContext& dc) {
    return raster::DrawRectangle(dc, raster::Rect{x1, y1, x2, y2});
  });
}

void DrawBox3D(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint16_t depth, bool top) {
  DrawFilledRectangle(x1, y1, x2, y2);
  if (GraphError != GraphOk) return;
  int d = depth;
  raster::Point topEdge[4] = {{x1, y1}, {x1 + d, y1 - d}, {x2 + d, y1 - d}, {x2, y1}};
  raster::Point sideEdge[3] = {{x2 + d, y1 - d}, {x2 + d, y2 - d}, {x2, y2}};
  DrawThroughOperation([&](raster::DeviceContext& dc) {
    raster::Rect touched;
    if (top) touched = touched.Union(PolylineKeepingPosition(dc, topEdge, 4));
    if (depth != 0) touched = touched.Union(PolylineKeepingPosition(dc, sideEdge, 3));
    return touched;
  });
}

void InvertBox(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  if (!BeginWindowOperation() || RejectReversed(x1, y1, x2, y2)) return;
  DrawThroughOperation([&](raster::DeviceContext& dc) {
    return raster::InvertRect(dc, raster::Rect{x1, y1, x2 + 1, y2 + 1});
  });
}

void DrawRoundedBox(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t corner) {
  if (!BeginWindowOperation() || RejectReversed(x1, y1, x2, y2)) return;
  DrawThroughOperation([&](raster::DeviceContext& dc) {
    return raster::DrawRoundRect(dc, raster::Rect{x1, y1, x2 + 1, y2 + 1}, corner, corner);
  });
}

void DrawEllipse(int16_t x, int16_t y, uint16_t xRadius, uint16_t yRadius) {
  raster::Rect box = EllipseBox(x, y, ScaleRadius(xRadius, AspectX), ScaleRadius(yRadius, AspectY));
  DrawThroughOperation([&](raster::DeviceContext& dc) { return raster::DrawEllipse(dc, box); });
}

void DrawEllipseArc(int16_t x, int16_t y, uint16_t startAngle, uint16_t endAngle, uint16_t xRadius,
                    uint16_t yRadius) {
  RadialOffsets r;
  if (!DrawArcFigure(raster::ArcKind::Arc, x, y, startAngle, endAngle, xRadius, yRadius, &r)) return;
  ArcCoords = ArcCoordsType{x,
                            y,
                            int16_t(x + r.sx),
                            int16_t(y - r.sy),
                            int16_t(x + r.ex),
                            int16_t(y - r.ey)};
}

void DrawCircleArc(int16_t x, int16_t y, uint16_t startAngle, uint16_t endAngle, uint16_t radius) {
  DrawEllipseArc(x, y, startAngle, endAngle, radius, radius);
}

void DrawCircle(int16_t x, int16_t y, uint16_t radius) { DrawEllipseArc(x, y, 0, 360, radius, radius); }

void DrawChord(int16_t x, int16_t y, uint16_t startAngle, uint16_t endAngle, uint16_t xRadius,
               uint16_t yRadius) {
  DrawArcFigure(raster::ArcKind::Chord, x, y, startAngle, endAngle, xRadius, yRadius, nullptr);
}

void DrawPie(int16_t x, int16_t y, uint16_t startAngle, uint16_t endAngle, uint16_t xRadius,
             uint16_t yRadius) {
  DrawArcFigure(raster::ArcKind::Pie, x, y, startAngle, endAngle, xRadius, yRadius, nullptr);
}

void DrawCirclePie(int16_t x, int16_t y, uint16_t startAngle, uint16_t endAngle, uint16_t radius) {
  DrawPie(x, y, startAngle, endAngle, radius, radius);
}

void DrawPolyline(uint16_t count, std::span<const PointType> points) {
  if (!BeginWindowOperation()) return;
  std::vector<raster::Point> copy;
  if (!CopyPoints(count, points, 2, copy)) return;
  DrawThroughOperation([&](raster::DeviceContext& dc) {
    return PolylineKeepingPosition(dc, copy.data(), int(copy.size()));
  });
}

void DrawPolygon(uint16_t count, std::span<const PointType> points) {
  if (!BeginWindowOperation()) return;
  std::vector<raster::Point> copy;
  if (!CopyPoints(count, points, 2, copy)) return;
  DrawThroughOperation([&](raster::DeviceContext& dc) {
    return raster::DrawPolygon(dc, copy.data(), int(copy.size()), raster::FillRule::Alternate);
  });
}

void DrawBezier(uint16_t count, std::span<const PointType> points) {
  if (!BeginWindowOperation()) return;
  std::vector<raster::Point> copy;
  if (!CopyPoints(count, points, 4, copy)) return;
  DrawThroughOperation([&](raster::DeviceContext& dc) {
    // Cubic segments need 3n + 1 points; any other count draws nothing and is not reported.
    if ((copy.size() - 1) % 3 != 0) return raster::Rect{};
    raster::Point kept = dc.currentPosition;
    raster::Rect touched = raster::DrawBezier(dc, copy.data(), int(copy.size()));
    dc.currentPosition = kept;
    return touched;
  });
}

void DrawRotatedEllipse(int16_t x, int16_t y, int16_t angle, uint16_t xRadius, uint16_t yRadius) {
  // 1.3333 (not 4/3) is the control distance the library has always used.
  long d = Nearest((long double)xRadius * 1.3333L);
  long ry = yRadius;
  const long control[7][2] = {{0, -ry}, {d, -ry}, {d, ry}, {0, ry}, {-d, ry}, {-d, -ry}, {0, -ry}};
  long double radians = angle * kRadiansPerDegree;
  double cosine = double(std::cos(radians)), sine = double(std::sin(radians));
  PointType points[7];
  for (int i = 0; i < 7; ++i) {
    double gx = double(control[i][0]), gy = double(control[i][1]);
    points[i].PointX = int32_t(x + Nearest(gx * cosine + gy * sine));
    points[i].PointY = int32_t(y + Nearest(-gx * sine + gy * cosine));
  }
  DrawBezier(7, points);
}

void FillArea(int16_t x, int16_t y, uint32_t color) {
  raster::ColorRef device = ToDeviceColor(color);
  raster::FloodMode mode = FloodMode;
  DrawThroughOperation(
      [&](raster::DeviceContext& dc) { return raster::FloodFill(dc, x, y, device, mode); });
}

void ReadArcCoords(ArcCoordsType& coordinates) { coordinates = ArcCoords; }

namespace {

// ImageByteSize's formula in 64 bits: ceil(width / 8) * 24 bytes per row, enough for the
// padded 24-bit rows. 0 for a reversed rectangle.
uint64_t ImageBytes(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  if (x1 > x2 || y1 > y2) return 0;
  uint64_t width = uint64_t(int(x2) + 1 - x1), height = uint64_t(int(y2) + 1 - y1);
  return height * ((width + 7) / 8) * 24 + raster::kBmpHeaderSize;
}

uint32_t ReadLe32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

// The raster operation of each paste mode.
constexpr uint32_t kPasteOps[8] = {raster::kSrcCopy,    raster::kSrcInvert,   raster::kSrcPaint,
                                   raster::kSrcAnd,     raster::kNotSrcCopy,  raster::kNotSrcErase,
                                   raster::kMergePaint, raster::kSrcErase};

}  // namespace

uint32_t ImageByteSize(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  GraphError = GraphOk;
  uint64_t bytes = ImageBytes(x1, y1, x2, y2);
  // A size the 32-bit result cannot hold would send callers off with a buffer far too short.
  if (bytes == 0 || bytes > UINT32_MAX) {
    GraphError = GraphInvalidParameter;
    return 0;
  }
  return uint32_t(bytes);
}

void CaptureImage(int16_t x1, int16_t y1, int16_t x2, int16_t y2, TImage image) {
  if (!BeginWindowOperation() || RejectReversed(x1, y1, x2, y2)) return;
  uint64_t bytes = ImageBytes(x1, y1, x2, y2);
  // The caller's memory must hold ImageByteSize bytes; a shorter one is refused, not overrun.
  if (bytes > UINT32_MAX || image.Data == nullptr || image.Size < bytes) {
    GraphError = GraphInvalidParameter;
    return;
  }
  int width = int(x2) + 1 - x1, height = int(y2) + 1 - y1;
  raster::WriteBmpHeader24(image.Data, width, height, uint32_t(bytes));
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  raster::Surface* page = BufferDC.SelectedSurface();
  raster::Rect device{x1 + BufferDC.viewportOrigin.x, y1 + BufferDC.viewportOrigin.y, 0, 0};
  device.right = device.left + width;
  device.bottom = device.top + height;
  if (page) {
    raster::ReadBmpRows24(*page, device, image.Data + TImage::kPixelsOffset);
  } else {
    std::memset(image.Data + TImage::kPixelsOffset, 0, size_t(height) * raster::BmpStride(width, 24));
  }
}

void PasteImage(int16_t x, int16_t y, TImage image, uint16_t mode) {
  if (!BeginWindowOperation()) return;
  if (mode > 7) {
    GraphError = GraphInvalidParameter;
    return;
  }
  // The caller's header decides how much is read: it must describe pixels that lie inside the
  // memory given, in a depth the decoder knows, or nothing is drawn.
  raster::Surface picture;
  if (image.Data == nullptr || image.Size < raster::kBmpHeaderSize ||
      ReadLe32(image.Data + TImage::kInfoHeaderOffset) < 40 ||
      !raster::DecodeBmp(image.Data, image.Size, picture)) {
    GraphError = GraphInvalidParameter;
    return;
  }
  raster::DeviceContext source;
  source.SelectSurface(&picture);
  uint32_t op = kPasteOps[mode];
  DrawThroughOperation([&](raster::DeviceContext& dc) {
    return raster::BitBlt(dc, x, y, picture.Width(), picture.Height(), &source, 0, 0, op);
  });
}
