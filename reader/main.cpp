// Hlasivo: reads a text file aloud with a voice of recorded samples.
//   hlasivo TEXT [VOICE [SPEED]]
// The voice is the folder VOICE (default CZ) in the current directory; SPEED is in percent.
#include "reader/reader.h"

int main(int argc, char** argv) {
  UseConsole(GraphConsole());
  PrepareReading(argc, argv);
  ReadAloud();
  FinishReading();
  return 0;
}
