// OpenGL rendering contexts for the window and the drawing page, and the choice of the current
// one. InitGraph prepares them, CloseGraphWindow releases them, ScreenUpdate swaps the window's
// buffers while the window is the target. The library issues no OpenGL drawing of its own.
//
// Both contexts are Mesa off-screen contexts, made current on the application thread (the one
// that called InitGraph). The window belongs to its own thread and shows a software surface, so
// the window's context renders into a back buffer of the client size, and the swap copies that
// picture into the window's surface and presents it. The page's context renders straight into
// the pixels of a 32-bit drawing page; pages of other depths get a 32-bit shadow, whose pixels
// that OpenGL changed reach the page each time a target is selected again or the window swaps.
//
// Making a pair of contexts and compiling what their first picture upload needs takes tens of
// milliseconds (the first time also loading the driver), so pairs are made ahead of need on a
// helper thread: the first when InitGraph begins, in parallel with opening the window; the
// next when a window that had OpenGL closes, ready for the window after it (not while a
// window is open: the program may start other processes then, and a fork while a helper
// thread holds a lock of a memory checker's allocator leaves the child stuck). A pair handed to a
// window is fresh as far as the program can tell: each context gets the viewport and scissor
// box of its own buffer, as a context made current for the first time does.
#include <algorithm>
#include <cfenv>
#include <cstring>
#include <thread>
#include <vector>

#include "graph/drawing_state.h"
#include "graph/graph.h"
#include "graph/graph_state.h"

#ifdef HLASIVO_HAVE_OSMESA
#include <GL/osmesa.h>
#endif

namespace graph_state {

bool OpenGLAvailable = false;
bool OpenGLOnWindow = false;
bool ProgramEnding = false;

}  // namespace graph_state

using namespace graph_state;

namespace {

#ifdef HLASIVO_HAVE_OSMESA
OSMesaContext WindowGLContext = nullptr;
OSMesaContext BufferGLContext = nullptr;
#endif
int GLWidth = 0, GLHeight = 0;
std::vector<uint32_t> WindowBackBuffer;  // BGRA, bottom row first, as the window context draws

// The shadow of a page that cannot be rendered into directly, and the page it stands for.
raster::Surface* ShadowedPage = nullptr;
std::vector<uint32_t> PageShadow;    // what OpenGL draws on
std::vector<uint32_t> PageSnapshot;  // the shadow as last exchanged with the page

uint32_t RgbToBgra(raster::ColorRef rgb) {
  return (uint32_t(raster::RedOf(rgb)) << 16) | (uint32_t(raster::GreenOf(rgb)) << 8) | raster::BlueOf(rgb);
}

// Shadow row y counts from the bottom, as OpenGL's rows do. Indexed pages go through a table
// of their colours, 8-bit ones straight from their rows.
void FillShadowFromPage(raster::Surface& page) {
  const int width = page.Width(), height = page.Height(), bits = page.BitsPerPixel();
  PageShadow.resize(size_t(width) * height);
  uint32_t shown[256];
  if (bits <= 8)
    for (uint32_t i = 0; i < (1u << bits); ++i) shown[i] = 0xFF000000u | RgbToBgra(page.PixelToRgb(i));
  for (int y = 0; y < height; ++y) {
    uint32_t* out = PageShadow.data() + size_t(height - 1 - y) * width;
    if (bits == 8) {
      const uint8_t* row = page.Row(y);
      for (int x = 0; x < width; ++x) out[x] = shown[row[x]];
    } else if (bits < 8) {
      for (int x = 0; x < width; ++x) out[x] = shown[page.GetPixel(x, y)];
    } else {
      for (int x = 0; x < width; ++x) out[x] = 0xFF000000u | RgbToBgra(page.PixelToRgb(page.GetPixel(x, y)));
    }
  }
  PageSnapshot = PageShadow;
}

// Writes the shadow pixels that OpenGL changed since the last exchange into the page; pixels
// the library drew meanwhile through other operations stay as they are.
void FlushShadow() {
  if (!ShadowedPage || PageShadow.empty()) return;
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  raster::Surface& page = *ShadowedPage;
  for (int y = 0; y < page.Height(); ++y) {
    for (int x = 0; x < page.Width(); ++x) {
      size_t i = size_t(page.Height() - 1 - y) * page.Width() + x;
      if (PageShadow[i] == PageSnapshot[i]) continue;
      uint32_t bgra = PageShadow[i];
      raster::ColorRef rgb = raster::MakeRgb(uint8_t(bgra >> 16), uint8_t(bgra >> 8), uint8_t(bgra));
      page.SetPixel(x, y, page.RgbToPixel(rgb));
      PageSnapshot[i] = bgra;
    }
  }
}

#ifdef HLASIVO_HAVE_OSMESA
// Mesa keeps its own colour buffer and copies all of it out to ours when it flushes, so a
// context made current on a page must first be given the page's picture, as a context drawing
// on the page's memory would see it. The caller's OpenGL state is left as it was.
void UploadColorBuffer(const std::vector<uint32_t>& pixels, int width, int height) {
  using UseProgramFn = void (*)(GLuint);
  using BindFramebufferFn = void (*)(GLenum, GLuint);
  auto useProgram = reinterpret_cast<UseProgramFn>(OSMesaGetProcAddress("glUseProgram"));
  auto bindFramebuffer = reinterpret_cast<BindFramebufferFn>(OSMesaGetProcAddress("glBindFramebuffer"));
  constexpr GLenum kCurrentProgram = 0x8B8D, kDrawFramebufferBinding = 0x8CA6, kFramebuffer = 0x8D40;
  GLint program = 0, framebuffer = 0;
  glGetIntegerv(kCurrentProgram, &program);
  glGetIntegerv(kDrawFramebufferBinding, &framebuffer);
  if (useProgram && program) useProgram(0);
  if (bindFramebuffer && framebuffer) bindFramebuffer(kFramebuffer, 0);
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  for (GLenum cap : {GL_DEPTH_TEST, GL_SCISSOR_TEST, GL_BLEND, GL_STENCIL_TEST, GL_ALPHA_TEST,
                     GL_COLOR_LOGIC_OP, GL_DITHER, GL_FOG, GL_TEXTURE_2D, GL_LIGHTING})
    glDisable(cap);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glViewport(0, 0, width, height);
  glPixelZoom(1.0f, 1.0f);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glRasterPos2f(-1.0f, -1.0f);
  glDrawPixels(width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glPopClientAttrib();
  glPopAttrib();
  if (bindFramebuffer && framebuffer) bindFramebuffer(kFramebuffer, GLuint(framebuffer));
  if (useProgram && program) useProgram(GLuint(program));
  glFinish();
}

OSMesaContext MakeContext() {
  // A depth buffer of 32 bits as asked for, or the deepest Mesa offers.
  for (int depthBits : {32, 24, 16}) {
    OSMesaContext context = OSMesaCreateContextExt(OSMESA_BGRA, depthBits, 8, 0, nullptr);
    if (context) return context;
  }
  return nullptr;
}

struct ContextPair {
  OSMesaContext window = nullptr;
  OSMesaContext buffer = nullptr;
};

void DestroyPair(ContextPair& pair) {
  if (pair.window) OSMesaDestroyContext(pair.window);
  if (pair.buffer) OSMesaDestroyContext(pair.buffer);
  pair = {};
}

// On the helper thread: a pair whose page context has drawn one small picture already, as
// InitGraph binds that one at once. The window's context is bound only when a program makes
// the window its target, and compiles its code then.
ContextPair MakeWarmPair() {
  ContextPair pair{MakeContext(), MakeContext()};
  if (!pair.window || !pair.buffer) {
    DestroyPair(pair);
    return pair;
  }
  // Mesa compiles other code for pictures whose sides are not powers of two, as pages' are.
  constexpr int kSide = 17;
  std::vector<uint32_t> scratch(kSide * kSide, 0xFF000000u);
  if (OSMesaMakeCurrent(pair.buffer, scratch.data(), GL_UNSIGNED_BYTE, kSide, kSide))
    UploadColorBuffer(scratch, kSide, kSide);
  OSMesaMakeCurrent(nullptr, nullptr, GL_UNSIGNED_BYTE, 0, 0);
  return pair;
}

// Owned by the application thread; ReadyPair is written by the helper until it is joined.
std::thread* PairMaker = nullptr;
ContextPair ReadyPair;

void StartMakingPair() {
  if (PairMaker || ReadyPair.window) return;
  try {
    PairMaker = new std::thread([] { ReadyPair = MakeWarmPair(); });
  } catch (const std::system_error&) {  // no thread: the pair is made when it is needed
  }
}

ContextPair TakePair() {
  if (PairMaker) {
    PairMaker->join();
    delete PairMaker;
    PairMaker = nullptr;
  } else if (!ReadyPair.window) {
    ReadyPair = MakeWarmPair();
  }
  ContextPair pair = ReadyPair;
  ReadyPair = {};
  return pair;
}

// Whether each context of the window's pair has been bound to its real buffer yet.
bool WindowContextBound = false, BufferContextBound = false;

// What a context's first binding sets from its buffer: a pair made on scratch gets it at its
// first binding to a real one.
void SetBoxesAtFirstBinding(bool& bound, int width, int height) {
  if (bound) return;
  glViewport(0, 0, width, height);
  glScissor(0, 0, width, height);
  bound = true;
}

bool MakeCurrent(bool toWindow) {
  if (toWindow) {
    ShadowedPage = nullptr;
    // Mesa may hold one colour buffer for both contexts: give it the back buffer's picture.
    std::vector<uint32_t> picture = WindowBackBuffer;
    if (!OSMesaMakeCurrent(WindowGLContext, WindowBackBuffer.data(), GL_UNSIGNED_BYTE, GLWidth, GLHeight))
      return false;
    UploadColorBuffer(picture, GLWidth, GLHeight);
    SetBoxesAtFirstBinding(WindowContextBound, GLWidth, GLHeight);
    return true;
  }
  raster::Surface* page = BufferDC.SelectedSurface();
  if (!page || page->Width() <= 0) return false;
  if (page->BitsPerPixel() == 32 && page->Stride() == page->Width() * 4) {
    // The page's own memory receives OpenGL's colour buffer: bottom row first, blue-green-red
    // bytes, as the page stores its pixels.
    ShadowedPage = nullptr;
    const uint32_t* bits = reinterpret_cast<const uint32_t*>(page->Bits());
    std::vector<uint32_t> picture(bits, bits + size_t(page->Width()) * page->Height());
    if (!OSMesaMakeCurrent(BufferGLContext, page->Bits(), GL_UNSIGNED_BYTE, page->Width(), page->Height()))
      return false;
    UploadColorBuffer(picture, page->Width(), page->Height());
    SetBoxesAtFirstBinding(BufferContextBound, page->Width(), page->Height());
    return true;
  }
  ShadowedPage = page;
  FillShadowFromPage(*page);
  if (!OSMesaMakeCurrent(BufferGLContext, PageShadow.data(), GL_UNSIGNED_BYTE, page->Width(), page->Height()))
    return false;
  UploadColorBuffer(PageSnapshot, page->Width(), page->Height());
  SetBoxesAtFirstBinding(BufferContextBound, page->Width(), page->Height());
  return true;
}
#endif

}  // namespace

namespace graph_state {

void StartPreparingOpenGL() {
#ifdef HLASIVO_HAVE_OSMESA
  StartMakingPair();
#endif
}

bool PrepareOpenGL() {
  OpenGLAvailable = false;
  OpenGLOnWindow = false;
#ifdef HLASIVO_HAVE_OSMESA
  // Binding contexts may change the thread's floating-point control state; the caller keeps its own.
  std::fenv_t saved;
  std::fegetenv(&saved);
  GLWidth = ClientMaxX + 1;
  GLHeight = ClientMaxY + 1;
  WindowBackBuffer.assign(size_t(GLWidth) * GLHeight, 0xFF000000u);
  ContextPair pair = TakePair();
  WindowGLContext = pair.window;
  BufferGLContext = pair.buffer;
  WindowContextBound = BufferContextBound = false;
  bool ready = false;
  if (WindowGLContext && BufferGLContext) {
    OpenGLAvailable = true;
    SelectOpenGLTarget(false);
    ready = GraphError == GraphOk;
  }
  std::feclearexcept(FE_ALL_EXCEPT);
  std::fesetenv(&saved);
  if (ready) return true;
  ReleaseOpenGL();
#endif
  return false;
}

void EndOpenGLPreparation() {
#ifdef HLASIVO_HAVE_OSMESA
  if (PairMaker) {
    PairMaker->join();
    delete PairMaker;
    PairMaker = nullptr;
  }
  DestroyPair(ReadyPair);
#endif
}

void ReleaseOpenGL() {
  const bool hadContexts = OpenGLAvailable;
  FlushShadow();
#ifdef HLASIVO_HAVE_OSMESA
  OSMesaMakeCurrent(nullptr, nullptr, GL_UNSIGNED_BYTE, 0, 0);
  if (WindowGLContext) OSMesaDestroyContext(WindowGLContext);
  if (BufferGLContext) OSMesaDestroyContext(BufferGLContext);
  WindowGLContext = BufferGLContext = nullptr;
#endif
  ShadowedPage = nullptr;
  PageShadow.clear();
  PageSnapshot.clear();
  WindowBackBuffer.clear();
  OpenGLAvailable = false;
  OpenGLOnWindow = false;
#ifdef HLASIVO_HAVE_OSMESA
  // A program that had OpenGL may open another window: its pair is made meanwhile.
  if (hadContexts && !ProgramEnding) StartMakingPair();
#endif
}

void SwapOpenGLBuffers() {
  if (!OpenGLAvailable || WindowBackBuffer.empty()) return;
  FlushShadow();
#ifdef HLASIVO_HAVE_OSMESA
  // Whatever OpenGL still has queued belongs in the picture being shown.
  if (OSMesaGetCurrentContext() == WindowGLContext) glFinish();
#endif
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  int width = std::min(GLWidth, WindowSurface.Width()), height = std::min(GLHeight, WindowSurface.Height());
  for (int y = 0; y < height; ++y) {
    const uint32_t* from = WindowBackBuffer.data() + size_t(GLHeight - 1 - y) * GLWidth;
    for (int x = 0; x < width; ++x) WindowSurface.SetPixel(x, y, from[x] & 0xFFFFFFu);
  }
  MarkWindowDirty(raster::Rect{0, 0, width, height});
}

}  // namespace graph_state

bool OpenGLReady() { return OpenGLAvailable; }

void SelectOpenGLTarget(bool toWindow) {
  GraphError = GraphOk;
  if (!OpenGLAvailable) {
    GraphError = GraphNoOpenGL;
    return;
  }
  OpenGLOnWindow = toWindow;
  FlushShadow();
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  // Selecting a target works on the whole client area: the viewport and its clip are lifted
  // for the moment and set again afterwards (which, like every SetViewport, homes the position).
  ViewPortType kept;
  ReadViewport(kept);
  SetViewport(0, 0, int16_t(ClientMaxX), int16_t(ClientMaxY), false);
#ifdef HLASIVO_HAVE_OSMESA
  bool made = MakeCurrent(toWindow);
#else
  bool made = false;
#endif
  SetViewport(kept.Left, kept.Top, kept.Right, kept.Bottom, kept.Clipping);
  if (!made) GraphError = GraphNoOpenGL;
}
