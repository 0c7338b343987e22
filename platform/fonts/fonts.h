// Fonts: families found through fontconfig, glyphs rendered by FreeType, texts in code page
// 1250, and text output on a software device context.
//
// A Font is immutable once made (size, weight, slant, underline, direction) and may be shared
// by several device contexts; it renders each glyph once and keeps the bitmap, so drawing
// the same characters again costs only the copy into the surface. All functions here may be
// called from any thread.
//
// Sizes follow the classic logical-font rule: a positive height is the character cell height
// (ascent + descent, internal leading included), a negative one the em height, 0 a default.
// Text drawing follows the device-context text rules: alignment against a reference point,
// update-current-position, opaque cells, character and break extras, escapement.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/fonts/codepage1250.h"
#include "platform/raster/raster.h"

namespace fonts {

// ---- Families -------------------------------------------------------------------------------

// True when an installed font belongs to a family of exactly this name (case and blanks
// ignored). No substitution: a family the system does not have is false, never a look-alike.
// The empty name is false.
bool HasFamily(std::string_view family);

// The installed family a face name stands for: the six standard face names ("Courier New",
// "System", "MS Sans Serif", "Times New Roman", "Arial", "Lucida Console") give their
// metric-compatible families; every other name is returned unchanged.
std::string MapFaceName(std::string_view faceName);

// True when a font can really be made from this face name: HasFamily(MapFaceName(name)).
bool FaceAvailable(std::string_view faceName);

// The file fontconfig would load for a face name at a weight (100-1000) and slant; empty when
// no font file at all can be found.
std::string FindFontFile(std::string_view faceName, int weight, bool italic);

// ---- Fonts ----------------------------------------------------------------------------------

// What a font is asked for; mirrors a logical font.
struct FontRequest {
  std::string faceName;  // as given by the caller; mapped through MapFaceName
  int height = 0;        // > 0 cell height, < 0 em height, 0 the default cell height
  int width = 0;         // average character width; 0 keeps the face's own proportions
  int escapement = 0;    // text direction, tenths of a degree counterclockwise from the x axis
  int weight = 400;      // 100-1000; 0 means 400
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
};

// Cell height a request with height 0 gets.
constexpr int kDefaultCellHeight = 16;

// Pixel metrics of a made font (unrotated).
struct FontMetrics {
  int height = 0;           // cell height = ascent + descent
  int ascent = 0;           // baseline to cell top
  int descent = 0;          // baseline to cell bottom
  int internalLeading = 0;  // cell height - em height
  int externalLeading = 0;  // extra line gap the face recommends
  int averageCharWidth = 0;
  int maxCharWidth = 0;  // widest advance of the face
  int weight = 400;      // as asked (synthesised when the face lacks it)
  bool italic = false, underline = false, strikeOut = false;
  bool trueType = false;  // scalable outline face
  bool fixedPitch = false;
  int underlinePosition = 0;   // pixels below the baseline to the underline's top row
  int underlineThickness = 1;  // rows
  int strikeoutPosition = 0;   // pixels above the baseline to the strike-out's bottom row
  int strikeoutThickness = 1;
};

// One rendered glyph: a coverage map (0 = none, 255 = full) placed relative to the pen.
struct GlyphBitmap {
  int left = 0;  // from the pen x to the bitmap's left column
  int top = 0;   // from the baseline up to the bitmap's top row (y grows downwards below)
  int width = 0, rows = 0;
  const uint8_t* coverage = nullptr;  // rows x width bytes, row by row from the top
};

class Font {
 public:
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  // Makes a font. A face name the system lacks gets fontconfig's substitute, as a logical font
  // would; null only when no font file can be loaded at all.
  static std::shared_ptr<const Font> Create(const FontRequest& request);

  const FontRequest& Request() const { return request_; }
  // The face name as asked (what a device context reports as its typeface name).
  const std::string& FaceName() const { return request_.faceName; }
  // The family actually loaded.
  const std::string& FamilyName() const { return family_; }
  const FontMetrics& Metrics() const { return metrics_; }
  int Escapement() const { return request_.escapement; }

  // Advance of one code page 1250 character in pixels, without extras.
  int Advance(uint8_t byte) const { return advances_[byte]; }
  // True when the face has a real glyph for the character (not the missing-glyph box).
  bool HasGlyph(uint8_t byte) const;
  // Width of a text: sum of advances + charExtra per character + the break extra spread over
  // its blanks (see BreakExtraAt). Height of the extent is Metrics().height.
  int TextWidth(std::string_view cp1250, int charExtra = 0, int breakExtra = 0, int breakCount = 0) const;

  // The rendered glyph of a character, antialiased (smooth) or black-and-white, in the font's
  // direction. Rendered once, then served from the cache.
  const GlyphBitmap& Glyph(uint8_t byte, bool smooth) const;

  // Glyphs larger than this many pixels across are never kept: Glyph gives an empty bitmap
  // for them, and DrawText renders them straight into the visible area with RenderSpans.
  static constexpr int kMaxCachedGlyphSize = 512;
  // True when the font's glyphs may exceed kMaxCachedGlyphSize.
  bool Large() const { return large_; }
  // Renders one glyph with its pen at device pixel (penX, penY) and calls sink(context, y, x0,
  // x1, coverage) for each run of its pixels inside `clip` (x1 excluded). Black-and-white
  // rendering (smooth false) reports coverage 255 only. Nothing is kept.
  using SpanSink = void (*)(void* context, int y, int x0, int x1, unsigned coverage);
  void RenderSpans(uint8_t byte, int penX, int penY, const raster::Rect& clip, bool smooth, SpanSink sink,
                   void* context) const;

 private:
  Font() = default;
  struct Impl;
  FontRequest request_;
  std::string family_;
  FontMetrics metrics_;
  int advances_[256] = {};
  bool large_ = false;
  std::unique_ptr<Impl> impl_;
};

// Extra pixels the blank with index `blankIndex` (0 = first blank of the text) gets from
// justification: breakExtra / breakCount, one more for the first breakExtra mod breakCount
// blanks; 0 when breakCount <= 0. Negative extras are spread the same way.
int BreakExtraAt(int blankIndex, int breakExtra, int breakCount);

// The font a device context uses when none is selected ("System" at the default height).
std::shared_ptr<const Font> DefaultFont();

// ---- Text output on a device context ----------------------------------------------------------

// How a glyph is put on a direct-colour surface. Indexed surfaces always get black-and-white
// glyphs in the text colour's palette entry.
enum class GlyphMode : uint8_t { Smooth, Solid };

// Width and height of a text in the context's font (DefaultFont when none), with its character
// extra and justification: width = advances + extras, height = cell height. An empty text is
// 0 wide and still a cell high.
raster::Point GetTextExtent(const raster::DeviceContext& dc, std::string_view cp1250);

// Draws a text in the context's font, text colour, background mode and colour, alignment,
// spacing and clip. x, y are logical (the viewport origin is added) and ignored when the
// alignment has kAlignUpdateCP: the current position (logical too) is the reference point
// and afterwards moves as the alignment says (left: to the text's end along its direction;
// right: to its start; centre: unchanged). The raster operation does not apply to text.
// Returns the device rectangle touched, cut to the drawable area (empty if none).
raster::Rect DrawText(raster::DeviceContext& dc, int x, int y, std::string_view cp1250,
                      GlyphMode directMode = GlyphMode::Smooth);

}  // namespace fonts
