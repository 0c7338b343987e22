// Font families through fontconfig, font files through FreeType, metrics by the logical-font
// rules, and a per-font cache of rendered glyphs.
//
// FreeType objects are not safe to use from two threads at once, so every FreeType and
// fontconfig call is made under one lock. Drawing never takes it once a glyph is cached:
// cached glyphs are published through atomic pointers and never change or move afterwards.
#include "platform/fonts/fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <deque>
#include <map>
#include <mutex>
#include <numbers>
#include <tuple>
#include <vector>

namespace fonts {
namespace {

std::mutex& LibraryMutex() {
  static std::mutex mutex;
  return mutex;
}

// The FreeType library and fontconfig, started on first use. Call with LibraryMutex held.
FT_Library Library() {
  static FT_Library library = [] {
    FcInit();
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
    return lib;
  }();
  return library;
}

std::string NormalizedName(std::string_view name) {
  std::string out;
  for (char c : name)
    if (c != ' ') out += char(std::tolower(uint8_t(c)));
  return out;
}

struct StandardFace {
  const char* face;
  const char* family;
};
// Metric-compatible families for the names Liberation covers; DejaVu for the rest (System and
// MS Sans Serif are plain sans faces, Lucida Console a monospaced sans).
constexpr StandardFace kStandardFaces[] = {
    {"Courier New", "Liberation Mono"},
    {"System", "DejaVu Sans"},
    {"MS Sans Serif", "DejaVu Sans Condensed"},
    {"Times New Roman", "Liberation Serif"},
    {"Arial", "Liberation Sans"},
    {"Lucida Console", "DejaVu Sans Mono"},
};

bool HasFamilyLocked(std::string_view family) {
  static std::map<std::string, bool> known;
  const std::string key = NormalizedName(family);
  if (key.empty()) return false;
  if (auto it = known.find(key); it != known.end()) return it->second;
  Library();
  bool found = false;
  const std::string name(family);
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  FcFontSet* set = FcFontList(nullptr, pattern, objects);
  if (set) {
    // FcFontList already filters by family; compare again so no looser matching slips in.
    for (int i = 0; i < set->nfont && !found; ++i) {
      FcChar8* value = nullptr;
      for (int n = 0; FcPatternGetString(set->fonts[i], FC_FAMILY, n, &value) == FcResultMatch; ++n)
        if (NormalizedName(reinterpret_cast<const char*>(value)) == key) found = true;
    }
    FcFontSetDestroy(set);
  }
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  known[key] = found;
  return found;
}

struct MatchedFile {
  std::string file;
  int index = 0;
  std::string family;
};

MatchedFile MatchFileLocked(std::string_view faceName, int weight, bool italic) {
  Library();
  MatchedFile result;
  const std::string family = MapFaceName(faceName);
  FcPattern* pattern = FcPatternCreate();
  if (!family.empty())
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(std::clamp(weight, 1, 1000)));
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult res = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &res);
  if (match) {
    FcChar8* file = nullptr;
    FcChar8* fam = nullptr;
    int index = 0;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
      result.file = reinterpret_cast<const char*>(file);
      if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) result.index = index;
      // A face may belong to several families ("DejaVu Sans" and "DejaVu Sans Condensed");
      // name it by the one asked for when it is among them.
      for (int n = 0; FcPatternGetString(match, FC_FAMILY, n, &fam) == FcResultMatch; ++n) {
        const std::string name = reinterpret_cast<const char*>(fam);
        if (n == 0 || NormalizedName(name) == NormalizedName(family)) result.family = name;
      }
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return result;
}

int RoundToInt(double v) { return int(std::lround(v)); }

struct CachedGlyph {
  GlyphBitmap bitmap;
  std::vector<uint8_t> pixels;
};

}  // namespace

struct Font::Impl {
  FT_Face face = nullptr;
  bool synthBold = false, synthItalic = false;
  bool rotated = false;
  FT_Matrix rotation{0x10000, 0, 0, 0x10000};
  unsigned glyphIndex[256] = {};
  std::atomic<const GlyphBitmap*> glyphs[2][256] = {};
  std::vector<std::unique_ptr<CachedGlyph>> store;  // owns what `glyphs` points to

  ~Impl() {
    if (face) {
      std::lock_guard<std::mutex> lock(LibraryMutex());
      FT_Done_Face(face);
    }
  }

  // Loads a glyph's outline with the simulated styles and the direction applied; the slot
  // is left in face->glyph. LibraryMutex held.
  bool LoadOutline(unsigned index) const {
    FT_Int32 flags = FT_LOAD_TARGET_LIGHT;
    if (rotated) flags |= FT_LOAD_NO_HINTING;
    if (FT_Load_Glyph(face, index, flags) != 0) return false;
    FT_GlyphSlot slot = face->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
      if (synthBold) {
        // Overstrike one pixel to the right, as a simulated bold face does.
        FT_Outline_EmboldenXY(&slot->outline, 64, 0);
        FT_Outline_Translate(&slot->outline, 32, 0);
      }
      if (synthItalic) {
        FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000};
        FT_Outline_Transform(&slot->outline, &shear);
      }
      if (rotated) FT_Outline_Transform(&slot->outline, &rotation);
    }
    return true;
  }

  // Renders one glyph into a new bitmap; LibraryMutex held.
  std::unique_ptr<CachedGlyph> Render(unsigned index, bool smooth) const {
    auto glyph = std::make_unique<CachedGlyph>();
    if (!LoadOutline(index)) return glyph;
    FT_GlyphSlot slot = face->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
      FT_BBox box;
      FT_Outline_Get_CBox(&slot->outline, &box);
      const long limit = long(Font::kMaxCachedGlyphSize) * 64;
      if (box.xMax - box.xMin > limit || box.yMax - box.yMin > limit) return glyph;
    }
    if (FT_Render_Glyph(slot, smooth ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0) return glyph;
    const FT_Bitmap& bm = slot->bitmap;
    glyph->bitmap.left = slot->bitmap_left;
    glyph->bitmap.top = slot->bitmap_top;
    glyph->bitmap.width = int(bm.width);
    glyph->bitmap.rows = int(bm.rows);
    glyph->pixels.assign(size_t(bm.width) * bm.rows, 0);
    for (unsigned r = 0; r < bm.rows; ++r) {
      const uint8_t* src =
          bm.buffer + (bm.pitch >= 0 ? ptrdiff_t(r) * bm.pitch : ptrdiff_t(bm.rows - 1 - r) * -bm.pitch);
      uint8_t* dst = glyph->pixels.data() + size_t(r) * bm.width;
      if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
        for (unsigned c = 0; c < bm.width; ++c) dst[c] = (src[c >> 3] & (0x80 >> (c & 7))) ? 255 : 0;
      } else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY && bm.num_grays == 256) {
        std::copy(src, src + bm.width, dst);
      } else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY && bm.num_grays > 1) {
        for (unsigned c = 0; c < bm.width; ++c) dst[c] = uint8_t(src[c] * 255 / (bm.num_grays - 1));
      }
    }
    glyph->bitmap.coverage = glyph->pixels.empty() ? nullptr : glyph->pixels.data();
    return glyph;
  }
};

namespace {

struct SpanTarget {
  int penX, penY;
  raster::Rect clip;
  bool smooth;
  Font::SpanSink sink;
  void* context;
};

void DeliverSpans(int y, int count, const FT_Span* spans, void* user) {
  const SpanTarget& t = *static_cast<const SpanTarget*>(user);
  const int row = t.penY - 1 - y;  // FreeType rows count upwards from the baseline
  if (row < t.clip.top || row >= t.clip.bottom) return;
  for (int i = 0; i < count; ++i) {
    unsigned coverage = spans[i].coverage;
    if (!t.smooth) {
      if (coverage < 128) continue;
      coverage = 255;
    }
    const int x0 = std::max(t.clip.left, t.penX + spans[i].x);
    const int x1 = std::min(t.clip.right, t.penX + spans[i].x + int(spans[i].len));
    if (x0 < x1 && coverage) t.sink(t.context, row, x0, x1, coverage);
  }
}

}  // namespace

void Font::RenderSpans(uint8_t byte, int penX, int penY, const raster::Rect& clip, bool smooth, SpanSink sink,
                       void* context) const {
  if (clip.Empty()) return;
  std::lock_guard<std::mutex> lock(LibraryMutex());
  if (!impl_->LoadOutline(impl_->glyphIndex[byte])) return;
  FT_GlyphSlot slot = impl_->face->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return;
  SpanTarget target{penX, penY, clip, smooth, sink, context};
  FT_Raster_Params params{};
  params.source = &slot->outline;
  params.flags = FT_RASTER_FLAG_AA | FT_RASTER_FLAG_DIRECT | FT_RASTER_FLAG_CLIP;
  params.gray_spans = DeliverSpans;
  params.user = &target;
  // The visible area in the glyph's own pixel grid (origin at the pen, y upwards).
  params.clip_box.xMin = clip.left - penX;
  params.clip_box.xMax = clip.right - penX;
  params.clip_box.yMin = penY - clip.bottom;
  params.clip_box.yMax = penY - clip.top;
  FT_Outline_Render(Library(), &slot->outline, &params);
}

bool HasFamily(std::string_view family) {
  std::lock_guard<std::mutex> lock(LibraryMutex());
  return HasFamilyLocked(family);
}

std::string MapFaceName(std::string_view faceName) {
  const std::string key = NormalizedName(faceName);
  for (const StandardFace& f : kStandardFaces)
    if (NormalizedName(f.face) == key) return f.family;
  return std::string(faceName);
}

bool FaceAvailable(std::string_view faceName) { return HasFamily(MapFaceName(faceName)); }

std::string FindFontFile(std::string_view faceName, int weight, bool italic) {
  std::lock_guard<std::mutex> lock(LibraryMutex());
  return MatchFileLocked(faceName, weight, italic).file;
}

int BreakExtraAt(int blankIndex, int breakExtra, int breakCount) {
  if (breakCount <= 0 || breakExtra == 0) return 0;
  const int each = breakExtra / breakCount;
  const int rest = breakExtra % breakCount;  // same sign as breakExtra
  const int spread = std::abs(rest);
  return each + (blankIndex % breakCount < spread ? (rest > 0 ? 1 : -1) : 0);
}

Font::~Font() = default;

bool Font::HasGlyph(uint8_t byte) const { return impl_->glyphIndex[byte] != 0; }

int Font::TextWidth(std::string_view text, int charExtra, int breakExtra, int breakCount) const {
  int width = 0, blanks = 0;
  for (char ch : text) {
    const uint8_t b = uint8_t(ch);
    width += advances_[b] + charExtra;
    if (b == ' ') width += BreakExtraAt(blanks++, breakExtra, breakCount);
  }
  return width;
}

const GlyphBitmap& Font::Glyph(uint8_t byte, bool smooth) const {
  std::atomic<const GlyphBitmap*>& slot = impl_->glyphs[smooth ? 1 : 0][byte];
  if (const GlyphBitmap* cached = slot.load(std::memory_order_acquire)) return *cached;
  std::lock_guard<std::mutex> lock(LibraryMutex());
  if (const GlyphBitmap* cached = slot.load(std::memory_order_acquire)) return *cached;
  std::unique_ptr<CachedGlyph> glyph = impl_->Render(impl_->glyphIndex[byte], smooth);
  const GlyphBitmap* bitmap = &glyph->bitmap;
  impl_->store.push_back(std::move(glyph));
  slot.store(bitmap, std::memory_order_release);
  return *bitmap;
}

namespace {

using RequestKey = std::tuple<std::string, int, int, int, int, bool, bool, bool>;

RequestKey KeyOf(const FontRequest& r) {
  return {r.faceName, r.height, r.width, r.escapement, r.weight, r.italic, r.underline, r.strikeOut};
}

}  // namespace

std::shared_ptr<const Font> Font::Create(const FontRequest& asked) {
  FontRequest request = asked;
  if (request.weight <= 0) request.weight = 400;
  request.escapement %= 3600;
  if (request.escapement < 0) request.escapement += 3600;

  std::shared_ptr<const Font> evicted;  // released after the lock: its destructor takes it
  std::lock_guard<std::mutex> lock(LibraryMutex());
  // Fonts are immutable, so equal requests share one font and its glyph cache. The most
  // recent ones are kept alive, since a drawing program tends to switch between a few.
  static std::map<RequestKey, std::weak_ptr<const Font>> made;
  static std::deque<std::shared_ptr<const Font>> recent;
  const RequestKey key = KeyOf(request);
  if (auto it = made.find(key); it != made.end())
    if (auto existing = it->second.lock()) return existing;

  FT_Library library = Library();
  if (!library) return nullptr;
  MatchedFile file = MatchFileLocked(request.faceName, request.weight, request.italic);
  if (file.file.empty()) return nullptr;
  FT_Face face = nullptr;
  if (FT_New_Face(library, file.file.c_str(), file.index, &face) != 0) return nullptr;
  FT_Select_Charmap(face, FT_ENCODING_UNICODE);

  std::shared_ptr<Font> font(new Font());
  font->request_ = request;
  font->family_ = file.family.empty() ? std::string(face->family_name ? face->family_name : "") : file.family;
  font->impl_ = std::make_unique<Impl>();
  Impl& impl = *font->impl_;
  impl.face = face;

  const double upem = face->units_per_EM > 0 ? face->units_per_EM : 2048;
  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  const TT_HoriHeader* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
  double winAscent = face->ascender, winDescent = -face->descender;
  if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    winAscent = os2->usWinAscent;
    winDescent = os2->usWinDescent;
  }
  if (winAscent + winDescent <= 0) {
    winAscent = upem * 0.8;
    winDescent = upem * 0.2;
  }

  FontMetrics& m = font->metrics_;
  double ppem;
  if (request.height < 0) {
    ppem = -request.height;
    m.ascent = RoundToInt(winAscent * ppem / upem);
    m.descent = RoundToInt(winDescent * ppem / upem);
  } else {
    const int cell = request.height > 0 ? request.height : kDefaultCellHeight;
    ppem = cell * upem / (winAscent + winDescent);
    m.ascent = RoundToInt(winAscent * ppem / upem);
    m.descent = cell - m.ascent;
  }
  m.height = m.ascent + m.descent;
  m.internalLeading = std::max(0, m.height - RoundToInt(ppem));
  if (hhea) {
    const double lineGap =
        double(hhea->Ascender) - hhea->Descender + hhea->Line_Gap - (winAscent + winDescent);
    m.externalLeading = std::max(0, RoundToInt(lineGap * ppem / upem));
  }

  const int faceWeight = os2 && os2->version != 0xFFFF
                             ? os2->usWeightClass
                             : ((face->style_flags & FT_STYLE_FLAG_BOLD) ? 700 : 400);
  impl.synthBold = request.weight >= 600 && faceWeight < 600;
  impl.synthItalic = request.italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);

  // Horizontal size: the face's proportions, or stretched so the average width is as asked.
  double xppem = ppem;
  const double avgUnits =
      os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : upem / 2;
  if (request.width > 0) xppem = request.width * upem / avgUnits;
  font->large_ = m.height > Font::kMaxCachedGlyphSize / 2 || xppem > Font::kMaxCachedGlyphSize / 2;
  FT_Set_Char_Size(face, FT_F26Dot6(std::lround(xppem * 64)), FT_F26Dot6(std::lround(ppem * 64)), 72, 72);

  const int boldExtra = impl.synthBold ? 1 : 0;
  int widest = 0;
  for (int b = 0; b < 256; ++b) {
    const FT_ULong code = Cp1250ToUnicode(uint8_t(b));
    impl.glyphIndex[b] = FT_Get_Char_Index(face, code);
    FT_Fixed units = 0;
    FT_Get_Advance(face, impl.glyphIndex[b], FT_LOAD_NO_SCALE, &units);
    font->advances_[b] = RoundToInt(double(units) * xppem / upem) + boldExtra;
    widest = std::max(widest, font->advances_[b]);
  }
  m.averageCharWidth = RoundToInt(avgUnits * xppem / upem) + boldExtra;
  m.maxCharWidth =
      hhea ? std::max(widest, RoundToInt(hhea->advance_Width_Max * xppem / upem) + boldExtra) : widest;
  m.weight = request.weight;
  m.italic = request.italic;
  m.underline = request.underline;
  m.strikeOut = request.strikeOut;
  m.trueType = FT_IS_SFNT(face) && FT_IS_SCALABLE(face);
  m.fixedPitch = FT_IS_FIXED_WIDTH(face);

  // The underline stays inside the cell, at least one row below the baseline.
  m.underlineThickness = std::max(1, RoundToInt(face->underline_thickness * ppem / upem));
  int position = RoundToInt(-face->underline_position * ppem / upem - m.underlineThickness / 2.0);
  position = std::min(position, m.descent - m.underlineThickness);
  m.underlinePosition = std::max(1, position);
  if (os2 && os2->version != 0xFFFF && os2->yStrikeoutSize > 0) {
    m.strikeoutThickness = std::max(1, RoundToInt(os2->yStrikeoutSize * ppem / upem));
    m.strikeoutPosition = RoundToInt(os2->yStrikeoutPosition * ppem / upem);
  } else {
    m.strikeoutThickness = m.underlineThickness;
    m.strikeoutPosition = m.ascent / 3;
  }

  if (request.escapement != 0) {
    impl.rotated = true;
    const double angle = request.escapement * std::numbers::pi / 1800.0;
    const FT_Fixed c = FT_Fixed(std::lround(std::cos(angle) * 0x10000));
    const FT_Fixed s = FT_Fixed(std::lround(std::sin(angle) * 0x10000));
    impl.rotation = FT_Matrix{c, -s, s, c};
  }

  std::shared_ptr<const Font> result = font;
  made[key] = result;
  recent.push_back(result);
  if (recent.size() > 16) {
    evicted = std::move(recent.front());
    recent.pop_front();
  }
  for (auto it = made.begin(); it != made.end();) it = it->second.expired() ? made.erase(it) : std::next(it);
  return result;
}

std::shared_ptr<const Font> DefaultFont() {
  static const std::shared_ptr<const Font> font = [] {
    FontRequest request;
    request.faceName = "System";
    return Font::Create(request);
  }();
  return font;
}

}  // namespace fonts
