// Text output and fonts: the fifteen font slots with the six standard faces, the current font
// made from a font number, direction and size, alignment and spacing, and text drawn at the
// current position, which then moves as the alignment says.
//
// Texts are code page 1250 bytes, cut at 255. In palette mode glyphs are drawn solid (no
// antialiasing) in the drawing colour's palette entry, on the window as on the page, so both
// show the same pixels; in direct mode they are smoothed on both.
#include <algorithm>
#include <memory>

#include "graph/drawing_state.h"
#include "graph/graph.h"
#include "graph/graph_state.h"
#include "platform/fonts/fonts.h"

namespace {

constexpr const char* kStandardFontNames[6] = {"Courier New",     "System", "MS Sans Serif",
                                               "Times New Roman", "Arial",  "Lucida Console"};

}  // namespace

namespace graph_state {

TFontString FontSlots[kFontSlotCount];
TextSettingsType TextSettings{0, 0, 16, 0, 0};

// InitGraph's entry into the public font installation.
void InstallStandardFonts() { ::InstallStandardFonts(); }

void LookUpStandardFaces() {
  for (const char* face : kStandardFontNames) fonts::FaceAvailable(face);
}

}  // namespace graph_state

using namespace graph_state;

namespace {

constexpr size_t kMaxTextLength = 255;

std::string_view Cut(std::string_view text) { return text.substr(0, std::min(text.size(), kMaxTextLength)); }

constexpr uint16_t kHorizontalFlags[3] = {raster::kAlignLeft, raster::kAlignCenter, raster::kAlignRight};
constexpr uint16_t kVerticalFlags[3] = {raster::kAlignTop, raster::kAlignBottom, raster::kAlignBaseline};

raster::Point TextExtent(std::string_view text) {
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  return fonts::GetTextExtent(BufferDC, Cut(text));
}

}  // namespace

void SelectTextFont(uint16_t font, uint16_t direction, uint16_t size) {
  if (!BeginWindowOperation()) return;
  int slot = (font & 0xFF) % 16;
  if (slot == 15 || FontSlots[slot].Empty()) {
    GraphError = GraphInvalidFontNumber;
    return;
  }
  TextSettings.FontNumber = font;
  TextSettings.TextAngle = direction;
  TextSettings.TextSize = size;

  fonts::FontRequest request;
  request.faceName = std::string(FontSlots[slot].View());
  request.height = size > 5 ? size : size * 8;  // a positive height is the cell height
  request.escapement = int(direction) * 10;
  // Weight steps beyond 2 ask for more than the heaviest weight there is.
  request.weight = std::min(400 + 300 * ((font >> 4) & 0xF), 1000);
  request.underline = ((font >> 8) & 0xF) != 0;
  request.italic = ((font >> 12) & 0xF) != 0;
  std::shared_ptr<const fonts::Font> made = fonts::Font::Create(request);
  if (!made) {  // not even a substitute face could be loaded: keep the font in use
    GraphError = GraphInvalidFont;
    return;
  }
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  WindowDC.font = made;
  BufferDC.font = made;
}

void SetTextAlignment(uint16_t horizontal, uint16_t vertical) {
  if (!BeginWindowOperation()) return;
  if (horizontal > 2 || vertical > 2) {
    GraphError = GraphInvalidParameter;
    return;
  }
  TextSettings.AlignX = horizontal;
  TextSettings.AlignY = vertical;
  // Text always starts at the current position and moves it: consecutive texts follow on.
  uint16_t flags = kHorizontalFlags[horizontal] | kVerticalFlags[vertical] | raster::kAlignUpdateCP;
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  WindowDC.textAlign = flags;
  BufferDC.textAlign = flags;
}

void SetTextSpacing(uint16_t charExtra, uint16_t breakExtra) {
  if (!BeginWindowOperation()) return;
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  for (raster::DeviceContext* dc : {&WindowDC, &BufferDC}) {
    dc->charExtra = charExtra;
    dc->breakExtra = breakExtra;
    dc->breakCount = 1;
  }
}

void DrawTextHere(std::string_view text) {
  std::string_view cut = Cut(text);
  fonts::GlyphMode mode = PaletteMode ? fonts::GlyphMode::Solid : fonts::GlyphMode::Smooth;
  raster::Point end;
  bool drawn = DrawThroughOperation([&](raster::DeviceContext& dc) {
    raster::Rect touched = fonts::DrawText(dc, 0, 0, cut, mode);
    end = dc.currentPosition;  // the page is drawn last: its position wins
    return touched;
  });
  if (!drawn) return;
  // Both contexts and CurrentPosition go where the text left the page's context, also when
  // the window was not drawn on.
  SetPosition(int16_t(end.x), int16_t(end.y));
}

void DrawTextAt(int16_t x, int16_t y, std::string_view text) {
  SetPosition(x, y);
  if (GraphError != GraphOk) return;
  DrawTextHere(text);
}

uint16_t GetTextWidth(std::string_view text) {
  if (!BeginWindowOperation()) return 0;
  return uint16_t(TextExtent(text).x);
}

uint16_t GetTextHeight(std::string_view text) {
  if (!BeginWindowOperation()) return 0;
  return uint16_t(TextExtent(text).y);
}

int16_t AddTextFont(std::string_view faceName) {
  if (!BeginWindowOperation()) return -1;
  int16_t result = -1;
  if (fonts::FaceAvailable(faceName)) {
    for (int slot = 0; slot < kFontSlotCount; ++slot) {
      if (FontSlots[slot].Empty()) {
        FontSlots[slot] = faceName;  // cut to 31 characters
        result = int16_t(slot);
        break;
      }
    }
  }
  if (result < 0) GraphError = GraphInvalidFont;
  return result;
}

void ReadTextSettings(TextSettingsType& settings) { settings = TextSettings; }

void ReadFontInfo(ShortText& faceName, int16_t& widest, int16_t& height, bool& trueType) {
  std::shared_ptr<const fonts::Font> font;
  {
    std::lock_guard<std::recursive_mutex> lock(DrawingLock);
    font = WindowDC.font;
  }
  if (!font) font = fonts::DefaultFont();
  if (!font) {
    faceName.Clear();
    widest = height = 0;
    trueType = false;
    return;
  }
  faceName = font->FaceName();
  widest = int16_t(font->Metrics().maxCharWidth);
  height = int16_t(font->Metrics().height);
  trueType = font->Metrics().trueType;
}

void InstallStandardFonts() {
  for (TFontString& slot : FontSlots) slot.Clear();
  for (const char* face : kStandardFontNames) {
    AddTextFont(face);
    if (GraphError != GraphOk) return;
  }
}
