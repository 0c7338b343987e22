// The status display: the window as a grid of 8 x 16 cells with a pixel cursor. Set-up
// progress, failure lines and the echo of the text being read all go through here; the caller
// chooses the colour. Past the bottom the window is cleared and writing starts at the top.
#include "reader/reader.h"

namespace {
TConsole silentConsole;
}

TConsole* Console = &silentConsole;

void UseConsole(TConsole* console) { Console = console ? console : &silentConsole; }

TStatusCursor StatusCursor;
uint16_t CellWidth = 8;
uint16_t CellHeight = 16;

namespace {

void ClearIfPastBottom() {
  if (StatusCursor.y > Console->GetWindowMaxY()) {
    StatusCursor.y = 0;
    Console->ClearGraphWindow();
  }
}

}  // namespace

void PrintStatusLine(std::string_view text) {
  if (!text.empty())
    Console->DrawTextAt(static_cast<int16_t>(StatusCursor.x), static_cast<int16_t>(StatusCursor.y),
                        ToDisplayCharset(text));
  StatusCursor.x = 0;
  StatusCursor.y += CellHeight;
  ClearIfPastBottom();
}

void PrintStatusText(std::string_view text) {
  if (text.size() == 1 && text[0] == '\r') {
    PrintStatusLine({});
    return;
  }
  // An empty text is handed on as well: the library draws nothing for it.
  Console->DrawTextAt(static_cast<int16_t>(StatusCursor.x), static_cast<int16_t>(StatusCursor.y),
                      ToDisplayCharset(text));
  StatusCursor.x += static_cast<int32_t>(text.size() > 255 ? 255 : text.size()) * CellWidth;
  if (StatusCursor.x > Console->GetWindowMaxX()) {
    StatusCursor.y += CellHeight;
    StatusCursor.x = 0;
  }
  ClearIfPastBottom();
}
