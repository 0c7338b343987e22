// The named colours (public variables, reachable by index through NamedColorTable), their
// default values and the built-in palette.
#include "graph/named_colors.h"

#include "graph/graph.h"

// Each holds an index into the palette in use (drivers 1 to 3) or an RGB value (driver 9);
// InitGraph sets them. Zero until then.
uint32_t AliceBlue, AntiqueWhite, Aqua, Aquamarine, Azure, Beige, Bisque, Black;
uint32_t BlanchedAlmond, Blue, BlueViolet, Brown, BurlyWood, CadetBlue, Chartreuse;
uint32_t Chocolate, Coral, CornflowerBlue, Cornsilk, Cream, Crimson, Cyan, DarkBlue;
uint32_t DarkCyan, DarkGoldenrod, DarkGray, DarkGreen, DarkKhaki, DarkMagenta;
uint32_t DarkOliveGreen, DarkOrange, DarkOrchid, DarkRed, DarkSalmon, DarkSeaGreen;
uint32_t DarkSlateBlue, DarkSlateGray, DarkTurquoise, DarkViolet, DeepPink, DeepSkyBlue;
uint32_t DimGray, DodgerBlue, Firebrick, FloralWhite, ForestGreen, MediumGray, Gainsboro;
uint32_t GhostWhite, Gold, Goldenrod, Gray, Green, GreenYellow, Honeydew, HotPink;
uint32_t IndianRed, Indigo, Ivory, Khaki, Lavender, LavenderBlush, LawnGreen;
uint32_t LemonChiffon, LightBlue, LightBrown, LightCoral, LightCyan, LightGoldenrodYellow;
uint32_t LightGray, LightGreen, LightMagenta, LightPink, LightRed, LightSalmon;
uint32_t LightSeaGreen, LightSkyBlue, LightSlateGray, LightSteelBlue, LightYellow, Lime;
uint32_t LimeGreen, Linen, Magenta, Maroon, MediumAquamarine, MediumBlue, MediumOrchid;
uint32_t MediumPurple, MediumSeaGreen, MediumSlateBlue, MediumSpringGreen;
uint32_t MediumTurquoise, MediumVioletRed, MidnightBlue, MintCream, MistyRose, Moccasin;
uint32_t MintGray, NavajoWhite, Navy, OldLace, Olive, OliveDrab, Orange, OrangeRed;
uint32_t Orchid, PaleGoldenrod, PaleGreen, PaleTurquoise, PaleVioletRed, PapayaWhip;
uint32_t PeachPuff, Peru, Pink, Plum, PowderBlue, Purple, Red, RosyBrown, RoyalBlue;
uint32_t SaddleBrown, Salmon, SandyBrown, SeaGreen, Seashell, Sienna, Silver, SkyBlue;
uint32_t SlateBlue, SlateGray, Snow, SpringGreen, SteelBlue, Teal, Thistle, Tomato;
uint32_t Turquoise, Violet, Wheat, White, WhiteSmoke, Yellow, YellowGreen;

// Constant-initialised, so the table is complete before any code of the program runs.
uint32_t* const NamedColorTable[graph_colors::kNamedColorCount] = {
    &AliceBlue,
    &AntiqueWhite,
    &Aqua,
    &Aquamarine,
    &Azure,
    &Beige,
    &Bisque,
    &Black,
    &BlanchedAlmond,
    &Blue,
    &BlueViolet,
    &Brown,
    &BurlyWood,
    &CadetBlue,
    &Chartreuse,
    &Chocolate,
    &Coral,
    &CornflowerBlue,
    &Cornsilk,
    &Cream,
    &Crimson,
    &Cyan,
    &DarkBlue,
    &DarkCyan,
    &DarkGoldenrod,
    &DarkGray,
    &DarkGreen,
    &DarkKhaki,
    &DarkMagenta,
    &DarkOliveGreen,
    &DarkOrange,
    &DarkOrchid,
    &DarkRed,
    &DarkSalmon,
    &DarkSeaGreen,
    &DarkSlateBlue,
    &DarkSlateGray,
    &DarkTurquoise,
    &DarkViolet,
    &DeepPink,
    &DeepSkyBlue,
    &DimGray,
    &DodgerBlue,
    &Firebrick,
    &FloralWhite,
    &ForestGreen,
    &MediumGray,
    &Gainsboro,
    &GhostWhite,
    &Gold,
    &Goldenrod,
    &Gray,
    &Green,
    &GreenYellow,
    &Honeydew,
    &HotPink,
    &IndianRed,
    &Indigo,
    &Ivory,
    &Khaki,
    &Lavender,
    &LavenderBlush,
    &LawnGreen,
    &LemonChiffon,
    &LightBlue,
    &LightBrown,
    &LightCoral,
    &LightCyan,
    &LightGoldenrodYellow,
    &LightGray,
    &LightGreen,
    &LightMagenta,
    &LightPink,
    &LightRed,
    &LightSalmon,
    &LightSeaGreen,
    &LightSkyBlue,
    &LightSlateGray,
    &LightSteelBlue,
    &LightYellow,
    &Lime,
    &LimeGreen,
    &Linen,
    &Magenta,
    &Maroon,
    &MediumAquamarine,
    &MediumBlue,
    &MediumOrchid,
    &MediumPurple,
    &MediumSeaGreen,
    &MediumSlateBlue,
    &MediumSpringGreen,
    &MediumTurquoise,
    &MediumVioletRed,
    &MidnightBlue,
    &MintCream,
    &MistyRose,
    &Moccasin,
    &MintGray,
    &NavajoWhite,
    &Navy,
    &OldLace,
    &Olive,
    &OliveDrab,
    &Orange,
    &OrangeRed,
    &Orchid,
    &PaleGoldenrod,
    &PaleGreen,
    &PaleTurquoise,
    &PaleVioletRed,
    &PapayaWhip,
    &PeachPuff,
    &Peru,
    &Pink,
    &Plum,
    &PowderBlue,
    &Purple,
    &Red,
    &RosyBrown,
    &RoyalBlue,
    &SaddleBrown,
    &Salmon,
    &SandyBrown,
    &SeaGreen,
    &Seashell,
    &Sienna,
    &Silver,
    &SkyBlue,
    &SlateBlue,
    &SlateGray,
    &Snow,
    &SpringGreen,
    &SteelBlue,
    &Teal,
    &Thistle,
    &Tomato,
    &Turquoise,
    &Violet,
    &Wheat,
    &White,
    &WhiteSmoke,
    &Yellow,
    &YellowGreen,
};

namespace graph_colors {

constexpr std::array<uint32_t, kNamedColorCount> NamedColorDefaults = {
    Rgb(240, 248, 255),  // 0 AliceBlue
    Rgb(250, 235, 215),  // 1 AntiqueWhite
    Rgb(0, 255, 255),    // 2 Aqua
    Rgb(127, 255, 212),  // 3 Aquamarine
    Rgb(240, 255, 255),  // 4 Azure
    Rgb(245, 245, 220),  // 5 Beige
    Rgb(255, 228, 196),  // 6 Bisque
    Rgb(0, 0, 0),        // 7 Black
    Rgb(255, 235, 205),  // 8 BlanchedAlmond
    Rgb(0, 0, 255),      // 9 Blue
    Rgb(138, 43, 226),   // 10 BlueViolet
    Rgb(165, 42, 42),    // 11 Brown
    Rgb(222, 184, 135),  // 12 BurlyWood
    Rgb(95, 158, 160),   // 13 CadetBlue
    Rgb(127, 255, 0),    // 14 Chartreuse
    Rgb(210, 105, 30),   // 15 Chocolate
    Rgb(255, 127, 80),   // 16 Coral
    Rgb(100, 149, 237),  // 17 CornflowerBlue
    Rgb(255, 248, 220),  // 18 Cornsilk
    Rgb(255, 251, 240),  // 19 Cream
    Rgb(220, 20, 60),    // 20 Crimson
    Rgb(0, 168, 168),    // 21 Cyan
    Rgb(0, 0, 139),      // 22 DarkBlue
    Rgb(0, 139, 139),    // 23 DarkCyan
    Rgb(184, 134, 11),   // 24 DarkGoldenrod
    Rgb(84, 84, 84),     // 25 DarkGray
    Rgb(0, 100, 0),      // 26 DarkGreen
    Rgb(189, 183, 107),  // 27 DarkKhaki
    Rgb(139, 0, 139),    // 28 DarkMagenta
    Rgb(85, 107, 47),    // 29 DarkOliveGreen
    Rgb(255, 140, 0),    // 30 DarkOrange
    Rgb(153, 50, 204),   // 31 DarkOrchid
    Rgb(139, 0, 0),      // 32 DarkRed
    Rgb(233, 150, 122),  // 33 DarkSalmon
    Rgb(143, 188, 143),  // 34 DarkSeaGreen
    Rgb(72, 61, 139),    // 35 DarkSlateBlue
    Rgb(47, 79, 79),     // 36 DarkSlateGray
    Rgb(0, 206, 209),    // 37 DarkTurquoise
    Rgb(148, 0, 211),    // 38 DarkViolet
    Rgb(255, 20, 147),   // 39 DeepPink
    Rgb(0, 191, 255),    // 40 DeepSkyBlue
    Rgb(105, 105, 105),  // 41 DimGray
    Rgb(30, 144, 255),   // 42 DodgerBlue
    Rgb(178, 34, 34),    // 43 Firebrick
    Rgb(255, 250, 240),  // 44 FloralWhite
    Rgb(34, 139, 34),    // 45 ForestGreen
    Rgb(128, 128, 128),  // 46 MediumGray
    Rgb(220, 220, 220),  // 47 Gainsboro
    Rgb(248, 248, 255),  // 48 GhostWhite
    Rgb(255, 215, 0),    // 49 Gold
    Rgb(218, 165, 32),   // 50 Goldenrod
    Rgb(126, 126, 126),  // 51 Gray
    Rgb(0, 128, 0),      // 52 Green
    Rgb(173, 255, 47),   // 53 GreenYellow
    Rgb(240, 255, 240),  // 54 Honeydew
    Rgb(255, 105, 180),  // 55 HotPink
    Rgb(205, 92, 92),    // 56 IndianRed
    Rgb(75, 0, 130),     // 57 Indigo
    Rgb(255, 255, 240),  // 58 Ivory
    Rgb(240, 230, 140),  // 59 Khaki
    Rgb(230, 230, 250),  // 60 Lavender
    Rgb(255, 240, 245),  // 61 LavenderBlush
    Rgb(124, 252, 0),    // 62 LawnGreen
    Rgb(255, 250, 205),  // 63 LemonChiffon
    Rgb(132, 132, 252),  // 64 LightBlue
    Rgb(210, 180, 140),  // 65 LightBrown
    Rgb(240, 128, 128),  // 66 LightCoral
    Rgb(84, 252, 252),   // 67 LightCyan
    Rgb(250, 250, 210),  // 68 LightGoldenrodYellow
    Rgb(168, 168, 168),  // 69 LightGray
    Rgb(84, 252, 84),    // 70 LightGreen
    Rgb(252, 84, 252),   // 71 LightMagenta
    Rgb(255, 182, 193),  // 72 LightPink
    Rgb(252, 84, 84),    // 73 LightRed
    Rgb(255, 160, 122),  // 74 LightSalmon
    Rgb(32, 178, 170),   // 75 LightSeaGreen
    Rgb(135, 206, 250),  // 76 LightSkyBlue
    Rgb(119, 136, 153),  // 77 LightSlateGray
    Rgb(176, 196, 222),  // 78 LightSteelBlue
    Rgb(255, 255, 224),  // 79 LightYellow
    Rgb(0, 255, 0),      // 80 Lime
    Rgb(50, 205, 50),    // 81 LimeGreen
    Rgb(250, 240, 230),  // 82 Linen
    Rgb(168, 0, 168),    // 83 Magenta
    Rgb(128, 0, 0),      // 84 Maroon
    Rgb(102, 205, 170),  // 85 MediumAquamarine
    Rgb(0, 0, 205),      // 86 MediumBlue
    Rgb(186, 85, 211),   // 87 MediumOrchid
    Rgb(147, 112, 219),  // 88 MediumPurple
    Rgb(60, 179, 113),   // 89 MediumSeaGreen
    Rgb(123, 104, 238),  // 90 MediumSlateBlue
    Rgb(0, 250, 154),    // 91 MediumSpringGreen
    Rgb(72, 209, 204),   // 92 MediumTurquoise
    Rgb(199, 21, 133),   // 93 MediumVioletRed
    Rgb(25, 25, 112),    // 94 MidnightBlue
    Rgb(245, 255, 250),  // 95 MintCream
    Rgb(255, 228, 225),  // 96 MistyRose
    Rgb(255, 228, 181),  // 97 Moccasin
    Rgb(192, 220, 192),  // 98 MintGray
    Rgb(255, 222, 173),  // 99 NavajoWhite
    Rgb(0, 0, 128),      // 100 Navy
    Rgb(253, 245, 230),  // 101 OldLace
    Rgb(128, 128, 0),    // 102 Olive
    Rgb(107, 142, 35),   // 103 OliveDrab
    Rgb(255, 165, 0),    // 104 Orange
    Rgb(255, 69, 0),     // 105 OrangeRed
    Rgb(218, 112, 214),  // 106 Orchid
    Rgb(238, 232, 170),  // 107 PaleGoldenrod
    Rgb(152, 251, 152),  // 108 PaleGreen
    Rgb(175, 238, 238),  // 109 PaleTurquoise
    Rgb(219, 112, 147),  // 110 PaleVioletRed
    Rgb(255, 239, 213),  // 111 PapayaWhip
    Rgb(255, 218, 185),  // 112 PeachPuff
    Rgb(205, 133, 63),   // 113 Peru
    Rgb(255, 192, 203),  // 114 Pink
    Rgb(221, 160, 221),  // 115 Plum
    Rgb(176, 224, 230),  // 116 PowderBlue
    Rgb(128, 0, 128),    // 117 Purple
    Rgb(255, 0, 0),      // 118 Red
    Rgb(188, 143, 143),  // 119 RosyBrown
    Rgb(65, 105, 225),   // 120 RoyalBlue
    Rgb(139, 69, 19),    // 121 SaddleBrown
    Rgb(250, 128, 114),  // 122 Salmon
    Rgb(244, 164, 96),   // 123 SandyBrown
    Rgb(46, 139, 87),    // 124 SeaGreen
    Rgb(255, 245, 238),  // 125 Seashell
    Rgb(160, 82, 45),    // 126 Sienna
    Rgb(192, 192, 192),  // 127 Silver
    Rgb(135, 206, 235),  // 128 SkyBlue
    Rgb(106, 90, 205),   // 129 SlateBlue
    Rgb(112, 128, 144),  // 130 SlateGray
    Rgb(255, 250, 250),  // 131 Snow
    Rgb(0, 255, 127),    // 132 SpringGreen
    Rgb(70, 130, 180),   // 133 SteelBlue
    Rgb(0, 128, 128),    // 134 Teal
    Rgb(216, 191, 216),  // 135 Thistle
    Rgb(255, 99, 71),    // 136 Tomato
    Rgb(64, 224, 208),   // 137 Turquoise
    Rgb(238, 130, 238),  // 138 Violet
    Rgb(245, 222, 179),  // 139 Wheat
    Rgb(255, 255, 255),  // 140 White
    Rgb(245, 245, 245),  // 141 WhiteSmoke
    Rgb(255, 255, 0),    // 142 Yellow
    Rgb(154, 205, 50),   // 143 YellowGreen
};

namespace {

// One hue wheel: 24 steps around the colour circle at five levels lo < a < b < c < hi.
constexpr std::array<uint32_t, 24> HueWheel(uint32_t lo, uint32_t a, uint32_t b, uint32_t c, uint32_t hi) {
  return {Rgb(lo, lo, hi), Rgb(a, lo, hi), Rgb(b, lo, hi),  Rgb(c, lo, hi), Rgb(hi, lo, hi), Rgb(hi, lo, c),
          Rgb(hi, lo, b),  Rgb(hi, lo, a), Rgb(hi, lo, lo), Rgb(hi, a, lo), Rgb(hi, b, lo),  Rgb(hi, c, lo),
          Rgb(hi, hi, lo), Rgb(c, hi, lo), Rgb(b, hi, lo),  Rgb(a, hi, lo), Rgb(lo, hi, lo), Rgb(lo, hi, a),
          Rgb(lo, hi, b),  Rgb(lo, hi, c), Rgb(lo, hi, hi), Rgb(lo, c, hi), Rgb(lo, b, hi),  Rgb(lo, a, hi)};
}

constexpr std::array<uint32_t, kStandardPaletteSize> BuildStandardPalette() {
  std::array<uint32_t, kStandardPaletteSize> p{};  // entries 248 to 255 stay black
  constexpr uint32_t basic[16][3] = {{0, 0, 0},     {0, 0, 168},     {0, 168, 0},    {0, 168, 168},
                                     {168, 0, 0},   {168, 0, 168},   {168, 84, 0},   {168, 168, 168},
                                     {84, 84, 84},  {132, 132, 252}, {84, 252, 84},  {84, 252, 252},
                                     {252, 84, 84}, {252, 84, 252},  {252, 252, 84}, {252, 252, 252}};
  for (int i = 0; i < 16; ++i) p[i] = Rgb(basic[i][0], basic[i][1], basic[i][2]);
  constexpr uint32_t ramp[16] = {0, 20, 32, 44, 56, 68, 80, 96, 112, 128, 144, 160, 180, 200, 224, 252};
  for (int i = 0; i < 16; ++i) p[16 + i] = Rgb(ramp[i], ramp[i], ramp[i]);
  constexpr uint32_t levels[9][5] = {
      {0, 64, 124, 188, 252}, {124, 156, 188, 220, 252}, {180, 196, 216, 232, 252},
      {0, 28, 56, 84, 112},   {56, 68, 84, 96, 112},     {80, 88, 96, 104, 112},
      {0, 16, 32, 48, 64},    {32, 40, 48, 56, 64},      {44, 48, 52, 60, 64}};
  int next = 32;
  for (int w = 0; w < 9; ++w) {
    auto wheel = HueWheel(levels[w][0], levels[w][1], levels[w][2], levels[w][3], levels[w][4]);
    for (int step = 0; step < 24; ++step) {
      if (w == 8 && step == 8) continue;  // the last wheel lacks its ninth step; 247 stays black
      p[next++] = wheel[step];
    }
  }
  p[65] = Rgb(252, 156, 252);
  return p;
}

}  // namespace

constexpr std::array<uint32_t, kStandardPaletteSize> StandardPalette = BuildStandardPalette();

}  // namespace graph_colors
