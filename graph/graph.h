// The graphics window library: the whole public interface.
//
// A window of a chosen driver (colour depth and palette) and mode (size) runs on a thread of
// its own; drawing goes to one of four off-screen pages and, while that page is on display,
// straight through to the window. Every operation reports through GraphError (0 = success).
// Coordinates are 16-bit pixels relative to the viewport's top-left corner.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string_view>

#include "graph/short_string.h"

// ---- Window lifecycle, drivers, modes and result codes -------------------------------------
// Drivers (first argument of InitGraph): colour depth and palette.
constexpr int16_t DetectDriver = 0;  // becomes NoPalette with mode 10
constexpr int16_t D1bit = 1;         // 2 colours through a palette
constexpr int16_t D4bit = 2;         // 16 colours through a palette
constexpr int16_t D8bit = 3;         // 256 colours through a palette
constexpr int16_t NoPalette = 9;     // the desktop's colour depth, RGB colour values
// Modes (second argument): 1..8 fixed client sizes from 320 x 200 to 1280 x 1024, 10 placed
// and sized by the system, 11 maximized, 12 full screen (borderless), 13 the size given to
// SetGraphWindowSize. 9 and anything outside 1..13 are invalid.
constexpr int16_t DefaultMode = 10, MaximizedMode = 11, FullScreenMode = 12, CustomMode = 13;

// Result codes (GraphError); GraphErrorText gives their messages.
constexpr int16_t GraphOk = 0;
constexpr int16_t GraphNotInitialized = -1;
constexpr int16_t GraphInvalidDriver = -2;
constexpr int16_t GraphInvalidMode = -3;
constexpr int16_t GraphWindowFailed = -4;
constexpr int16_t GraphInvalidFont = -5;
constexpr int16_t GraphInvalidFontNumber = -6;
constexpr int16_t GraphInvalidParameter = -7;
constexpr int16_t GraphNoPalette = -8;
constexpr int16_t GraphNoOpenGL = -9;
constexpr int16_t GraphGeneralError = -10;

// Opens the window on its own thread and waits until it is shown. Driver 0 writes 9 and 10
// back into driver and mode. An empty caption gives "Graph Window". -10 while a window is open.
void InitGraph(int16_t& driver, int16_t& mode, std::string_view caption);
// Destroys the window and waits for its thread to end; -1 when no window is open.
void CloseGraphWindow();
// The same as CloseGraphWindow.
void LeaveGraphics();
// Client size for the next InitGraph with mode 13 (never changes an open window).
void SetGraphWindowSize(uint16_t width, uint16_t height);
// InitGraph with the last driver and caption and this mode; -10 before any driver was chosen.
void ReopenGraphWindow(int16_t mode);
// Sets driver 9 and mode 10.
void DetectGraphDriver(int16_t& driver, int16_t& mode);
// Name of the driver in use ("no graphics driver" before the first InitGraph).
ShortText GraphDriverName();
// Name of a mode with the suffix " (VESA)", or "invalid graphics mode".
ShortText GraphModeName(int16_t mode);
// The mode in use; -1 before the first InitGraph.
int16_t CurrentGraphMode();
// Always 12.
int16_t HighestGraphMode();
// Screen size in pixels, measured once.
void GetScreenSize(int16_t& width, int16_t& height);
// Returns GraphError and clears it.
int16_t TakeGraphError();
// "Error: " and the message of a result code; empty for 0.
ShortText GraphErrorText(int16_t code);
// True while the window is open.
bool GraphWindowOpen();
// True once the user asked to close the window (close button); the window stays open until
// CloseGraphWindow. Cleared by the next InitGraph.
bool CloseRequested();
// True when the OpenGL contexts for the window and the back buffer exist.
bool OpenGLReady();
// Makes the window's (true) or the back buffer's (false) OpenGL context current; -9 without.
void SelectOpenGLTarget(bool toWindow);


// ---- Window thread, pages and screen update ------------------------------------------------
// ScreenUpdate actions.
constexpr int16_t UpdateOff = 0;  // drawing goes to the page only until UpdateOn
constexpr int16_t UpdateOn = 1;   // draw through again, repainting the whole window once
constexpr int16_t UpdateNow = 2;  // repaint the whole window from the display page

// Selects the page (0..3; larger numbers mean 0) that drawing goes to.
void SetDrawingPage(uint16_t page);
// Selects the page (0..3; larger numbers mean 0) shown in the window and repaints it.
void SetDisplayPage(uint16_t page);
// Automatic update on or off, or an immediate repaint.
void ScreenUpdate(int16_t action);


// ---- Keyboard queue and timing -------------------------------------------------------------
// Key codes: a character is its code page 1250 byte; a special key is 0 followed by its
// extended code (F1 = 59, Alt+D = 32, Pause = 250, ...). Closing the window queues 0, 107.

// True when a key code is queued. Never waits.
bool KeyWaiting();
// The next key code, waiting for one (in 10 ms steps); 0 at once when no window is open.
uint8_t ReadKeyCode();
// Sleeps this many milliseconds.
void WaitMilliseconds(uint16_t milliseconds);
// Plays a tone of this frequency (37..32767 Hz) and length on the audio output and returns
// when it has ended.
void BeepTone(uint16_t frequency, uint16_t duration);


// ---- Colours and palettes ------------------------------------------------------------------
// A colour value is an index into the current palette under drivers 1 to 3 (taken modulo the
// palette's entry count) and an RGB value with red in the low byte under driver 9.

// A palette as the palette operations pass it: the first EntryCount entries are RGB values.
struct PaletteType {
  uint16_t EntryCount = 0;
  uint32_t Entries[256] = {};
};

// The 144 named colours, each holding the right colour value for the driver in use (set by
// InitGraph: the nearest entry of the palette written last, or the RGB value under driver 9).
extern uint32_t AliceBlue, AntiqueWhite, Aqua, Aquamarine, Azure, Beige, Bisque, Black;
extern uint32_t BlanchedAlmond, Blue, BlueViolet, Brown, BurlyWood, CadetBlue, Chartreuse;
extern uint32_t Chocolate, Coral, CornflowerBlue, Cornsilk, Cream, Crimson, Cyan, DarkBlue;
extern uint32_t DarkCyan, DarkGoldenrod, DarkGray, DarkGreen, DarkKhaki, DarkMagenta;
extern uint32_t DarkOliveGreen, DarkOrange, DarkOrchid, DarkRed, DarkSalmon, DarkSeaGreen;
extern uint32_t DarkSlateBlue, DarkSlateGray, DarkTurquoise, DarkViolet, DeepPink, DeepSkyBlue;
extern uint32_t DimGray, DodgerBlue, Firebrick, FloralWhite, ForestGreen, MediumGray, Gainsboro;
extern uint32_t GhostWhite, Gold, Goldenrod, Gray, Green, GreenYellow, Honeydew, HotPink;
extern uint32_t IndianRed, Indigo, Ivory, Khaki, Lavender, LavenderBlush, LawnGreen;
extern uint32_t LemonChiffon, LightBlue, LightBrown, LightCoral, LightCyan, LightGoldenrodYellow;
extern uint32_t LightGray, LightGreen, LightMagenta, LightPink, LightRed, LightSalmon;
extern uint32_t LightSeaGreen, LightSkyBlue, LightSlateGray, LightSteelBlue, LightYellow, Lime;
extern uint32_t LimeGreen, Linen, Magenta, Maroon, MediumAquamarine, MediumBlue, MediumOrchid;
extern uint32_t MediumPurple, MediumSeaGreen, MediumSlateBlue, MediumSpringGreen;
extern uint32_t MediumTurquoise, MediumVioletRed, MidnightBlue, MintCream, MistyRose, Moccasin;
extern uint32_t MintGray, NavajoWhite, Navy, OldLace, Olive, OliveDrab, Orange, OrangeRed;
extern uint32_t Orchid, PaleGoldenrod, PaleGreen, PaleTurquoise, PaleVioletRed, PapayaWhip;
extern uint32_t PeachPuff, Peru, Pink, Plum, PowderBlue, Purple, Red, RosyBrown, RoyalBlue;
extern uint32_t SaddleBrown, Salmon, SandyBrown, SeaGreen, Seashell, Sienna, Silver, SkyBlue;
extern uint32_t SlateBlue, SlateGray, Snow, SpringGreen, SteelBlue, Teal, Thistle, Tomato;
extern uint32_t Turquoise, Violet, Wheat, White, WhiteSmoke, Yellow, YellowGreen;
// The same 144 variables by index 0 (AliceBlue) to 143 (YellowGreen).
extern uint32_t* const NamedColorTable[144];

void SetDrawColor(uint32_t color);  // colour of lines, outlines, text and pixels (stored even when closed)
uint32_t GetDrawColor();             // the drawing colour
void SetBackColor(uint32_t color);   // colour behind opaque text and hatches, and of erasing
uint32_t GetBackColor();             // the background colour
uint32_t GetHighestColor();          // palette: entry count - 1; direct: 2^depth - 1
uint16_t GetPaletteCount();          // palette: entry count; direct: 0xFFFF
void ReadStandardPalette(PaletteType& palette);    // the driver's starting palette
void ReadNamedColorPalette(PaletteType& palette);  // a palette of the named colours' defaults
void ReadPalette(PaletteType& palette);            // the current palette (-8 under driver 9)
void WritePalette(const PaletteType& palette);     // replaces the palette, remaps named colours
void SetPaletteRGB(uint16_t entry, uint16_t red, uint16_t green, uint16_t blue);  // one entry
void SetPaletteColor(uint16_t entry, uint16_t standard);  // one entry from the standard palette
void ReadSystemPalette(PaletteType& palette);              // the palette the window shows with
uint32_t ColorFromRGB(uint16_t red, uint16_t green, uint16_t blue);  // nearest colour value
void ColorToRGB(uint32_t color, uint16_t& red, uint16_t& green, uint16_t& blue);  // its components
uint32_t ReadPixelColor(int16_t x, int16_t y);  // colour of a pixel of the drawing page

// ---- Text output and fonts -----------------------------------------------------------------
// A font number: bits 0-3 the slot (0-14), 4-7 the weight step (400 + 300 * step), 8-11
// underline, 12-15 italics. Slots 0-5 hold the standard faces "Courier New", "System",
// "MS Sans Serif", "Times New Roman", "Arial", "Lucida Console"; so font 20 is bold "Arial".
// Texts are code page 1250 bytes, at most 255 of them (longer ones are cut).

// The settings last accepted by SelectTextFont and SetTextAlignment.
struct TextSettingsType {
  uint16_t FontNumber = 0;
  uint16_t TextAngle = 0;  // degrees counterclockwise from the x axis
  uint16_t TextSize = 0;   // the size asked for: the cell height, or 8 x 1..5 for sizes 1..5
  uint16_t AlignX = 0;     // 0 left, 1 centre, 2 right
  uint16_t AlignY = 0;     // 0 top, 1 bottom, 2 baseline
};
using TFontString = ShortString<31>;  // a face name

void SelectTextFont(uint16_t font, uint16_t direction, uint16_t size);  // makes the current font
void SetTextAlignment(uint16_t horizontal, uint16_t vertical);  // 0..2 each; else -7
void SetTextSpacing(uint16_t charExtra, uint16_t breakExtra);   // extra pixels per character / blanks
void DrawTextHere(std::string_view text);                        // at the current position, which advances
void DrawTextAt(int16_t x, int16_t y, std::string_view text);    // moves there, then DrawTextHere
uint16_t GetTextWidth(std::string_view text);                    // width in the current font
uint16_t GetTextHeight(std::string_view text);                   // height (cell height) in the current font
int16_t AddTextFont(std::string_view faceName);                  // the slot it took, or -1 (-5)
void ReadTextSettings(TextSettingsType& settings);               // a copy of the text settings
void ReadFontInfo(ShortText& faceName, int16_t& widest, int16_t& height, bool& trueType);  // current font
void InstallStandardFonts();                                     // empties the slots, adds the six faces

// ---- Viewport, clearing, line and fill settings --------------------------------------------
// Line styles 0 solid, 1 dotted, 2 dash-dot, 3 dashed, 4 dash-dot-dot, 5 the user pattern
// (drawn pixel by pixel by the line operations), 6 invisible. Fill styles 0 background colour,
// 1 solid, 2-7 hatches (horizontal, vertical, cross, backward diagonal, forward diagonal,
// diagonal cross), 8 the user pattern, 9 none. Raster mode = raster operation (0 copy,
// 1 xor, ... 15 nop) + 16 for an opaque background.

struct ViewPortType {
  int16_t Left = 0, Top = 0, Right = 0, Bottom = 0;  // Right and Bottom inclusive
  bool Clipping = false;
};
struct LineSettingsType {
  uint16_t LineForm = 0;     // line style 0..6
  uint16_t LinePattern = 0;  // bit pattern of style 5, bit 0 first
  uint16_t LineWidth = 1;    // pen width in pixels
};
struct FillSettingsType {
  uint16_t FillStyle = 0;   // 0..9
  uint32_t FillColor = 0;   // colour value
};
// Eight rows from the top; bit 7 is the leftmost pixel; set bits take the fill colour, clear
// bits the background colour.
struct FillPatternType {
  uint8_t Rows[8] = {};
  bool operator==(const FillPatternType&) const = default;
};

void ResetDrawingState();  // colours, palette, pen, brush, font, viewport, modes to their defaults
void SetViewport(int16_t left, int16_t top, int16_t right, int16_t bottom, bool clipping);  // -7 if reversed
void ReadViewport(ViewPortType& viewport);   // a copy of the viewport
void EraseViewport();                        // fills the viewport with the background colour
void ClearGraphWindow();                     // fills the whole page with the background colour
void FillBox(int16_t x1, int16_t y1, int16_t x2, int16_t y2);  // inclusive rectangle, current brush
void SetPosition(int16_t x, int16_t y);      // moves the current position
void MovePosition(int16_t dx, int16_t dy);   // moves the current position by dx, dy
int16_t GetPositionX();                      // current position, relative to the viewport
int16_t GetPositionY();
int16_t GetWindowMaxX();                     // largest x of the drawing page, whatever the viewport
int16_t GetWindowMaxY();                     // largest y of the drawing page
void SetPenStyle(uint16_t style, uint16_t pattern, uint16_t width);  // line settings and pen
void ReadLineSettings(LineSettingsType& settings);  // a copy of the line settings
void SelectFill(uint16_t style, uint32_t color);     // fill settings and brush
void DefineFillPattern(const FillPatternType& pattern, uint32_t color);  // user pattern, style 8
void ReadFillSettings(FillSettingsType& settings);  // a copy of the fill settings
void ReadFillPattern(FillPatternType& pattern);     // a copy of the user pattern
void SetRasterMode(int16_t mode);                   // raster operation + background mode
void SetAspect(uint16_t xFactor, uint16_t yFactor);  // circle scaling; 10000 stands for 1
void GetAspect(uint16_t& xFactor, uint16_t& yFactor);
void SetFloodMode(int16_t mode);                    // 0 border, 1 surface; other values ignored

// ---- Drawing primitives and images ---------------------------------------------------------
// Outlines use the current pen, insides the current brush, and both the raster mode; pixels,
// InvertBox and images ignore the raster mode. Angles are degrees counterclockwise from the
// positive x axis and may exceed 360. Two-corner rectangles are refused (-7) when reversed.

// Centre, start and end point of the last DrawEllipseArc, relative to the viewport.
struct ArcCoordsType {
  int16_t CenterX = 0, CenterY = 0, StartX = 0, StartY = 0, EndX = 0, EndY = 0;
};
// A point of a point list, relative to the viewport.
struct PointType {
  int32_t PointX = 0, PointY = 0;
};
// A BMP file image in caller-owned memory, byte for byte as the file: file header at 0, info
// header at 14, pixels at 54 (CaptureImage writes 24-bit bottom-up rows there). Size is the
// number of bytes the memory holds; nothing is read or written beyond it.
struct TImage {
  uint8_t* Data = nullptr;
  uint32_t Size = 0;
  static constexpr uint32_t kFileHeaderOffset = 0, kInfoHeaderOffset = 14, kPixelsOffset = 54;
};

void DrawPixel(int16_t x, int16_t y, uint32_t color);      // one pixel in this colour, raster mode ignored
void DrawLineTo(int16_t x, int16_t y);                     // line from the current position, which moves there
void DrawLine(int16_t x1, int16_t y1, int16_t x2, int16_t y2);  // moves to x1, y1, then DrawLineTo(x2, y2)
void DrawLineBy(int16_t dx, int16_t dy);                   // DrawLineTo(current position + (dx, dy))
void DrawRectangle(int16_t x1, int16_t y1, int16_t x2, int16_t y2);  // outline through both corners
void DrawFilledRectangle(int16_t x1, int16_t y1, int16_t x2, int16_t y2);  // outline and inside, right column and bottom row left out
void DrawBox3D(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint16_t depth, bool top);  // filled box with a depth outline
void InvertBox(int16_t x1, int16_t y1, int16_t x2, int16_t y2);     // inverts every pixel, both corners included
void DrawRoundedBox(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t corner);  // rounded rectangle, corner ellipse size
void DrawEllipse(int16_t x, int16_t y, uint16_t xRadius, uint16_t yRadius);  // filled ellipse, aspect-scaled radii
void DrawEllipseArc(int16_t x, int16_t y, uint16_t startAngle, uint16_t endAngle, uint16_t xRadius,
                    uint16_t yRadius);                     // arc of an ellipse; sets the arc coordinates
void DrawCircleArc(int16_t x, int16_t y, uint16_t startAngle, uint16_t endAngle, uint16_t radius);  // arc of a circle
void DrawCircle(int16_t x, int16_t y, uint16_t radius);    // whole circle outline (an arc from 0 to 360)
void DrawChord(int16_t x, int16_t y, uint16_t startAngle, uint16_t endAngle, uint16_t xRadius,
               uint16_t yRadius);                          // arc closed by a straight line, filled
void DrawPie(int16_t x, int16_t y, uint16_t startAngle, uint16_t endAngle, uint16_t xRadius,
             uint16_t yRadius);                            // sector of an ellipse, filled
void DrawCirclePie(int16_t x, int16_t y, uint16_t startAngle, uint16_t endAngle, uint16_t radius);  // sector of a circle
// Point lists: the first `count` points of `points`; fewer points than count given: -7.
void DrawPolyline(uint16_t count, std::span<const PointType> points);  // connected lines; count >= 2
void DrawPolygon(uint16_t count, std::span<const PointType> points);   // closed, filled (alternate rule); count >= 2
void DrawBezier(uint16_t count, std::span<const PointType> points);    // cubic segments, 3n + 1 points; count >= 4
void DrawRotatedEllipse(int16_t x, int16_t y, int16_t angle, uint16_t xRadius, uint16_t yRadius);  // turned ellipse outline
void FillArea(int16_t x, int16_t y, uint32_t color);       // flood fill with the brush (border or surface mode)
void ReadArcCoords(ArcCoordsType& coordinates);             // a copy of the arc coordinates
uint32_t ImageByteSize(int16_t x1, int16_t y1, int16_t x2, int16_t y2);  // bytes CaptureImage needs; 0 and -7 if reversed
void CaptureImage(int16_t x1, int16_t y1, int16_t x2, int16_t y2, TImage image);  // page rectangle as a 24-bit BMP
void PasteImage(int16_t x, int16_t y, TImage image, uint16_t mode);  // draws a BMP; modes 0..7 pick the raster operation

// ---- Animation images ----------------------------------------------------------------------
// A picture cut from the drawing page with a mask of its transparent pixels, drawn again
// anywhere and taken away by restoring what it covered.

// Three bitmap handles; Image 0 marks an empty record.
struct AnimatType {
  uint32_t Image = 0;       // the picture, transparent pixels set to all-zero bits
  uint32_t Mask = 0;        // 1 where opaque, 0 where transparent
  uint32_t Background = 0;  // the page area the last put covered
};

// Cuts the inclusive page rectangle and builds its mask of the transparent colour.
void MakeAnimation(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint32_t transparentColor, AnimatType& animation);
// Draws it with its top left at x, y: 0..7 raster operations, 8 transparent, 9 silhouette, 10 restore.
void PutAnimation(int16_t x, int16_t y, const AnimatType& animation, uint16_t mode);
// Releases the record's bitmaps (also after the window has closed); an empty record is left alone.
void FreeAnimation(AnimatType& animation);
