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

#include "graph/short_string.h"

// ---- Window lifecycle, drivers, modes and result codes -------------------------------------

// ---- Window thread, pages and screen update ------------------------------------------------

// ---- Keyboard queue and timing -------------------------------------------------------------

// ---- Colours and palettes ------------------------------------------------------------------

// ---- Text output and fonts -----------------------------------------------------------------

// ---- Viewport, clearing, line and fill settings --------------------------------------------

// ---- Drawing primitives and images ---------------------------------------------------------

// ---- Animation images ----------------------------------------------------------------------
