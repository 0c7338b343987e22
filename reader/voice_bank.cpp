// The voice bank: finds the voice folder under the start directory and loads its *.wav files
// into SoundTable, one dot per sample. Names come from the file names; the platform gives
// those in UTF-8, and the rules name samples in code page 1250, so a valid UTF-8 file name is
// taken in code page 1250 (as the other system's narrow file calls give it).
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "audio/bass.h"
#include "platform/fonts/codepage1250.h"
#include "reader/czech_text.h"
#include "reader/reader.h"

TZvuk SoundTable[kSoundTableSize];
int32_t SampleCount = 0;
std::string StartDirectory;

namespace {

constexpr czech::Cp852Text kLoadingSamples("Nahrávám zvuky pro jazyk ");

bool EndsWithWav(const char* name) {
  std::string_view n(name);
  if (n.size() < 4) return false;
  std::string_view ext = n.substr(n.size() - 4);
  return ext[0] == '.' && (ext[1] | 0x20) == 'w' && (ext[2] | 0x20) == 'a' && (ext[3] | 0x20) == 'v';
}

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    uint8_t b = static_cast<uint8_t>(s[i]);
    size_t extra;
    if (b < 0x80) {
      extra = 0;
    } else if ((b & 0xE0) == 0xC0 && b >= 0xC2) {
      extra = 1;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
    } else if ((b & 0xF8) == 0xF0 && b <= 0xF4) {
      extra = 3;
    } else {
      return false;
    }
    if (i + extra >= s.size()) return false;
    for (size_t k = 1; k <= extra; ++k)
      if ((static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

}  // namespace

// A file or folder name as the reader sees it: code page 1250 when it is valid UTF-8.
std::string PlatformNameToCp1250(std::string_view name) {
  return IsValidUtf8(name) ? fonts::Utf8ToCp1250(name) : std::string(name);
}

int32_t LoadSamplesFrom(const std::string& folder) {
  SampleCount = 0;
  int32_t notLoaded = 0;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return 0;
  while (SampleCount < kSoundTableSize) {
    dirent* entry = readdir(dir);
    if (!entry) break;
    if (!EndsWithWav(entry->d_name)) continue;
    std::string path = folder + "/" + entry->d_name;
    struct stat st;
    // Only regular files: a folder named x.wav is no sample, and a pipe would never end.
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    HSAMPLE handle = BASS_SampleLoad(0, path.c_str(), 0, 0, 2, 0x20000);
    if (handle == 0) {
      ++notLoaded;
      continue;
    }
    TZvuk& z = SoundTable[SampleCount];
    z = TZvuk{};
    z.Handle = handle;
    std::string name = PlatformNameToCp1250(entry->d_name);
    z.Name = UpperCaseCz(std::string_view(name).substr(0, name.find('.'))).View();
    BASS_SAMPLE info{};
    BASS_SampleGetInfo(handle, &info);
    z.Frequency = static_cast<int32_t>(info.freq);
    z.ByteLength = static_cast<int32_t>(info.length);
    PrintStatusText(".");
    ++SampleCount;
  }
  closedir(dir);
  return notLoaded;
}

void FreeLoadedSamples() {
  for (int32_t i = 0; i < SampleCount; ++i) BASS_SampleFree(SoundTable[i].Handle);
}

std::string CurrentDirectory() {
  std::string dir(256, '\0');
  while (getcwd(dir.data(), dir.size()) == nullptr) {
    if (dir.size() > (1u << 20)) return ".";
    dir.resize(dir.size() * 2);
  }
  dir.resize(dir.find('\0'));
  return dir;
}

int32_t LoadVoiceBank() {
  ShortText line(kLoadingSamples.View());
  line.Append(PlatformNameToCp1250(VoiceName.View()));
  line.Append(" ...");
  PrintStatusLine(line);
  Console->WaitMilliseconds(100);
  StartDirectory = CurrentDirectory();
  // The voice folder must be one we could enter; the working directory itself never changes.
  std::string folder = StartDirectory + "/" + VoiceArgument;
  struct stat st;
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || access(folder.c_str(), X_OK) != 0) return 5;
  LoadSamplesFrom(folder);
  PrintStatusLine({});
  return SampleCount == 0 ? 6 : 0;
}
