// The gallery's picture: every figure, fill style, line style and text alignment of the
// graphics library and an animation image, drawn into the open window (640 x 480). Shared by
// examples/gallery.cpp and the test that compares the window's screenshot with the page.
#pragma once

#include <cstdio>

#include "graph/graph.h"

namespace gallery {

inline void Label(int16_t x, int16_t y, const char* text) {
  SetTextAlignment(0, 0);
  DrawTextAt(x, y, text);
}

inline void DrawLineStyles() {
  Label(10, 8, "Line styles 0-6, width 3");
  const char* names[] = {"solid", "dotted", "dash-dot", "dashed", "dash-dot-dot", "pattern", "none"};
  for (uint16_t style = 0; style <= 6; ++style) {
    int16_t y = int16_t(32 + style * 12);
    SetPenStyle(style, 0x33CC, 1);
    SetDrawColor(Yellow);
    DrawLine(10, y, 150, y);
    SetPenStyle(0, 0, 1);
    SetDrawColor(LightGray);
    SelectTextFont(4, 0, 11);
    Label(158, int16_t(y - 6), names[style]);
  }
  SetPenStyle(0, 0, 3);
  SetDrawColor(Orange);
  DrawLine(10, 120, 150, 120);
  SetPenStyle(0, 0, 1);
}

inline void DrawFillStyles() {
  SelectTextFont(4, 0, 16);
  SetDrawColor(White);
  Label(250, 8, "Fill styles 0-9");
  const FillPatternType checker{{0xCC, 0xCC, 0x33, 0x33, 0xCC, 0xCC, 0x33, 0x33}};
  for (uint16_t style = 0; style <= 9; ++style) {
    int16_t x = int16_t(250 + (style % 5) * 76), y = int16_t(32 + (style / 5) * 52);
    SetBackColor(Navy);
    if (style == 8) DefineFillPattern(checker, Gold);
    else SelectFill(style, LimeGreen);
    SetRasterMode(16);  // opaque: hatch gaps show the background colour
    SetDrawColor(White);
    DrawFilledRectangle(x, y, int16_t(x + 64), int16_t(y + 40));
    SetRasterMode(0);
    char text[4];
    std::snprintf(text, sizeof text, "%u", style);
    SetBackColor(Black);
    SelectTextFont(4, 0, 11);
    Label(int16_t(x + 2), int16_t(y + 41), text);
  }
}

inline void DrawFigures() {
  SelectTextFont(4, 0, 16);
  SetDrawColor(White);
  Label(10, 140, "Figures");
  SetBackColor(Black);
  SetDrawColor(Cyan);
  SelectFill(1, SteelBlue);
  DrawRectangle(10, 165, 70, 215);
  DrawFilledRectangle(80, 165, 140, 215);
  DrawRoundedBox(150, 165, 210, 215, 20);
  DrawBox3D(225, 175, 275, 215, 10, true);
  DrawEllipse(320, 190, 30, 22);
  DrawCircle(390, 190, 25);
  DrawEllipseArc(460, 190, 30, 300, 30, 22);
  SelectFill(1, Tomato);
  DrawChord(530, 190, 20, 200, 28, 24);
  SelectFill(1, Gold);
  DrawCirclePie(600, 192, 30, 300, 26);
  const PointType star[5] = {{40, 235}, {62, 300}, {5, 258}, {75, 258}, {18, 300}};
  SelectFill(1, Orchid);
  DrawPolygon(5, star);
  const PointType wave[7] = {{90, 270}, {110, 220}, {140, 320}, {160, 270}, {180, 220}, {210, 320}, {230, 270}};
  SetDrawColor(Lime);
  DrawBezier(7, wave);
  const PointType zigzag[6] = {{240, 300}, {255, 240}, {270, 300}, {285, 240}, {300, 300}, {315, 240}};
  SetDrawColor(Pink);
  DrawPolyline(6, zigzag);
  SetDrawColor(Aqua);
  for (int16_t angle = 0; angle < 180; angle += 30) DrawRotatedEllipse(370, 270, angle, 38, 12);
  // Flood fill: a red ring filled inside up to its border.
  SetDrawColor(Red);
  SelectFill(9, Black);
  DrawEllipse(460, 270, 32, 28);
  SelectFill(4, Yellow);
  FillArea(460, 270, Red);
  SelectFill(1, White);
  SetDrawColor(White);
  DrawFilledRectangle(520, 240, 620, 300);
  InvertBox(540, 250, 600, 290);
  for (int16_t i = 0; i < 40; ++i) DrawPixel(int16_t(525 + i * 2), 305, Magenta);
}

inline void DrawTextAlignments() {
  SelectTextFont(4, 0, 16);
  SetDrawColor(White);
  Label(10, 320, "Text alignment (horizontal x vertical)");
  SelectTextFont(3, 0, 14);
  for (uint16_t v = 0; v <= 2; ++v) {
    for (uint16_t h = 0; h <= 2; ++h) {
      int16_t x = int16_t(70 + h * 130), y = int16_t(360 + v * 40);
      SetDrawColor(DarkGray);
      DrawLine(int16_t(x - 6), y, int16_t(x + 6), y);
      DrawLine(x, int16_t(y - 6), x, int16_t(y + 6));
      SetDrawColor(LightYellow);
      SetTextAlignment(h, v);
      const char* names[3][3] = {{"left top", "centre top", "right top"},
                                 {"left bottom", "centre bottom", "right bottom"},
                                 {"left base", "centre base", "right base"}};
      DrawTextAt(x, y, names[v][h]);
    }
  }
  SetTextAlignment(0, 0);
}

// A small sprite cut from the page and put down transparently over a gradient.
inline void DrawAnimation() {
  SelectTextFont(4, 0, 16);
  SetDrawColor(White);
  Label(440, 320, "Animation image");
  for (int16_t x = 440; x < 630; x += 2) {
    SelectFill(1, ColorFromRGB(uint16_t((x - 440) * 255 / 190), 60, uint16_t(255 - (x - 440) * 255 / 190)));
    FillBox(x, 345, int16_t(x + 1), 470);
  }
  // The sprite is drawn on black, which becomes transparent.
  SelectFill(1, Black);
  FillBox(600, 8, 631, 39);
  SelectFill(1, Gold);
  SetDrawColor(Orange);
  DrawEllipse(615, 23, 14, 14);
  SelectFill(1, Black);
  DrawEllipse(610, 19, 2, 2);
  DrawEllipse(621, 19, 2, 2);
  AnimatType sprite;
  MakeAnimation(600, 8, 631, 39, Black, sprite);
  for (int i = 0; i < 5; ++i) PutAnimation(int16_t(450 + i * 34), int16_t(360 + (i % 2) * 50), sprite, 8);
  PutAnimation(450, 360, sprite, 10);  // restore one of them: the gradient again
  PutAnimation(450, 360, sprite, 9);   // and its silhouette instead
  FreeAnimation(sprite);
}

// Draws the whole gallery into the open window; returns the first error met (0 if none).
inline int16_t DrawGallery() {
  int16_t firstError = 0;
  auto note = [&] {
    int16_t e = TakeGraphError();
    if (e != 0 && firstError == 0) firstError = e;
  };
  ClearGraphWindow();
  note();
  SelectTextFont(4, 0, 16);
  DrawLineStyles();
  note();
  DrawFillStyles();
  note();
  DrawFigures();
  note();
  DrawTextAlignments();
  note();
  DrawAnimation();
  note();
  return firstError;
}

}  // namespace gallery
