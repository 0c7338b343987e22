// Gallery: every figure, fill style, line style and text alignment of the graphics library and
// an animation image, in one 640 x 480 window.
//
//   gallery              shows the window until a key is pressed or it is closed
//   gallery FILE.png     draws, saves a screenshot of the window to FILE.png (ImageMagick's
//                        import, under any X server such as Xvfb) and ends
#include <cstdio>
#include <cstdlib>
#include <string>

#include "examples/gallery_scene.h"
#include "graph/graph.h"

int main(int argc, char** argv) {
  SetGraphWindowSize(640, 480);
  int16_t driver = NoPalette, mode = CustomMode;
  InitGraph(driver, mode, "Hlasivo gallery");
  int16_t result = TakeGraphError();
  if (!GraphWindowOpen()) {
    std::fprintf(stderr, "gallery: %s\n", GraphErrorText(result).CStr());
    return 1;
  }
  int16_t error = gallery::DrawGallery();
  if (error != 0) std::fprintf(stderr, "gallery: %s\n", GraphErrorText(error).CStr());
  int status = 0;
  if (argc > 1) {
    WaitMilliseconds(500);  // let the window thread present the last of the drawing
    // The window is found by its title: the X window may have been replaced since creation.
    std::string command = std::string("import -window \"$(xdotool search --name '^Hlasivo gallery$' | head -n 1)\" '") +
                          argv[1] + "'";
    status = std::system(command.c_str()) == 0 ? 0 : 2;
    std::fprintf(stderr, "gallery: screenshot %s\n", status == 0 ? "saved" : "failed");
  } else {
    while (!KeyWaiting() && !CloseRequested()) WaitMilliseconds(20);
  }
  CloseGraphWindow();
  return status;
}
