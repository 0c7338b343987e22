// The rule file sound.def: one rule per line, "pattern=step,step:parameter,...", read into
// DefinitionTable in file order (order is priority for the matcher), then every step tied to
// its sample by name. Lines arrive in chunks of any size, so a file of any length or line
// length is read with one line of at most 255 bytes in memory.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <unordered_map>

#include "reader/czech_text.h"
#include "reader/reader.h"

TDefinice DefinitionTable[kDefinitionTableSize];
int32_t DefinitionCount = 0;

namespace {

constexpr czech::Cp852Text kLoadingDefinitions("Nahrávám hlasové definice ...");
constexpr char kCtrlZ = 26;

void ApplyStepParameter(TSoub* step, int32_t v) {
  if (v <= 999) {
    step->OverlapPercent = v;
  } else if (v <= 999999) {
    step->VolumePercent = v % 1000;
    step->OverlapPercent = v / 1000;
  } else {
    step->RatePercent = v % 1000 == 0 ? 1 : v % 1000;
    step->VolumePercent = (v / 1000) % 1000;
    step->OverlapPercent = v / 1000000;
  }
  if (v > 999) {
    if (step->VolumePercent == 0) step->VolumePercent = 1;
    if (step->VolumePercent > 200) step->VolumePercent = 200;
  }
  if (step->OverlapPercent > 99) step->OverlapPercent = 99;
  if (step->OverlapPercent < -99) step->OverlapPercent = -99;
}

bool IsClassMarker(char c) { return c == '#' || c == '%' || c == '@' || c == '_'; }

// Patterns the matcher could match without consuming anything are refused.
bool FailsMarkerTest(std::string_view pattern) {
  if (pattern.size() < 2) return false;
  if (IsClassMarker(pattern[0])) return true;
  return pattern[0] == '<' && (IsClassMarker(pattern[1]) || pattern[1] == '<');
}

// Takes the steps of `r` into `rule`; malformed steps are skipped one item at a time.
void ParseSteps(std::string_view r, TDefinice* rule, TDefinitionReport* report) {
  constexpr size_t npos = std::string_view::npos;
  while (!r.empty()) {
    size_t c = r.find(',');
    size_t k = r.find(':');
    // Everything up to and including the first ',' is one item; a step never reaches past it.
    size_t consumed = c == npos ? r.size() : c + 1;
    TSoub step;
    bool valid = true;
    if (c == npos && k == npos) {
      step.Name = r;
    } else if (k == npos && c >= 1) {
      step.Name = r.substr(0, c);
    } else if (c != npos && k != npos && c < k && k >= 2) {
      step.Name = r.substr(0, c);
    } else if (k != npos && k >= 1 && (c == npos || c > k)) {
      step.Name = r.substr(0, k);
      std::string_view parameter = r.substr(k + 1, c == npos ? npos : c - k - 1);
      int32_t v = 0;
      if (!parameter.empty() && TextToInteger(parameter, &v))
        ApplyStepParameter(&step, v);
      else
        valid = false;
    } else {
      valid = false;  // ':' first, or an empty item
    }
    r.remove_prefix(consumed);
    if (!valid) {
      if (report) ++report->StepsMalformed;
    } else if (rule->StepCount >= kMaxSteps) {
      if (report) ++report->StepsDropped;
    } else {
      rule->Steps[rule->StepCount++] = step;
    }
  }
}

}  // namespace

bool StoreDefinitionLine(std::string_view line, TDefinitionReport* report) {
  if (DefinitionCount >= kMaxDefinitions) return false;
  TDefinitionReport ignored;
  if (!report) report = &ignored;
  ShortText upper = UpperCaseCz(line);
  std::string_view u = upper.View();
  size_t e = u.find('=');
  if (u.empty() || e == std::string_view::npos || e == 0 || e + 1 == u.size()) {
    ++report->LinesSkipped;
    return false;
  }
  TDefinice& rule = DefinitionTable[DefinitionCount];
  rule = TDefinice{};
  rule.Pattern = u.substr(0, e);
  ParseSteps(u.substr(e + 1), &rule, report);
  if (FailsMarkerTest(rule.Pattern.View())) {
    ++report->LinesDropped;
    rule = TDefinice{};
    return false;
  }
  if (rule.StepCount == 0) {  // every step was malformed
    ++report->LinesSkipped;
    rule = TDefinice{};
    return false;
  }
  ++DefinitionCount;
  return true;
}

TDefinitionReader::TDefinitionReader() {
  // Entries past the count are never read, and each is cleared before a line is parsed into
  // it: only the rules stored before need clearing (the whole table is 3 MB of memory that
  // a small voice never touches).
  for (int32_t r = 0; r < DefinitionCount && r < kDefinitionTableSize; ++r) DefinitionTable[r] = TDefinice{};
  DefinitionCount = 0;
}

void TDefinitionReader::EndLine() {
  ++report_.LinesRead;
  StoreDefinitionLine(line_.View(), &report_);
  line_.Clear();
  lineStarted_ = false;
  if (DefinitionCount >= kMaxDefinitions) {
    report_.RuleCapReached = true;
    done_ = true;
  }
}

bool TDefinitionReader::Feed(const char* bytes, size_t count) {
  for (size_t i = 0; i < count && !done_; ++i) {
    char b = bytes[i];
    if (afterCr_) {
      afterCr_ = false;
      if (b == '\n') continue;
    }
    if (b == '\r' || b == '\n') {
      EndLine();
      afterCr_ = b == '\r';
    } else if (!lineStarted_ && b == kCtrlZ) {
      done_ = true;
    } else {
      lineStarted_ = true;
      if (line_.Length() < ShortText::kMaxLength) line_.Append(b);
    }
  }
  return !done_;
}

void TDefinitionReader::Finish() {
  if (!done_ && lineStarted_) EndLine();
  done_ = true;
}

bool ReadDefinitionFile(const std::string& path, TDefinitionReport* report) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  TDefinitionReader reader;
  static char chunk[65536];
  for (;;) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n <= 0) break;  // the end, or a read error: what was read counts
    if (!reader.Feed(chunk, static_cast<size_t>(n))) break;
  }
  reader.Finish();
  close(fd);
  if (report) *report = reader.Report();
  return true;
}

void ResolveStepSamples() {
  // The first sample of each name, found once: the same answer as searching the table from
  // entry 0 for every step.
  std::unordered_map<std::string_view, int32_t> firstOfName;
  firstOfName.reserve(static_cast<size_t>(SampleCount));
  for (int32_t i = 0; i < SampleCount; ++i) firstOfName.emplace(SoundTable[i].Name.View(), i);
  for (int32_t r = 0; r < DefinitionCount; ++r) {
    TDefinice& rule = DefinitionTable[r];
    for (int s = 0; s < rule.StepCount; ++s) {
      TSoub& step = rule.Steps[s];
      auto found = firstOfName.find(step.Name.View());
      step.SampleIndex = found == firstOfName.end() ? -1 : found->second;
    }
  }
}

int32_t LoadDefinitions() {
  PrintStatusLine(kLoadingDefinitions);
  Console->WaitMilliseconds(100);
  if (!ReadDefinitionFile(StartDirectory + "/" + VoiceArgument + "/sound.def", nullptr)) return 7;
  if (DefinitionCount == 0) return 8;
  char count[16];
  std::snprintf(count, sizeof count, "%d", static_cast<int>(DefinitionCount));
  ShortText line(" > OK; ");
  line.Append(count);
  line.Append(" definic");
  PrintStatusLine(line);
  ResolveStepSamples();
  return 0;
}

TVoiceLoadReport LoadVoiceFolder(const std::string& folder) {
  TVoiceLoadReport out;
  FreeLoadedSamples();
  SampleCount = 0;
  struct stat st;
  out.FolderFound = stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  if (!out.FolderFound) return out;
  out.FilesNotLoaded = LoadSamplesFrom(folder);
  out.SampleCount = SampleCount;
  TDefinitionReport report;
  out.DefinitionFileOpened = ReadDefinitionFile(folder + "/sound.def", &report);
  if (!out.DefinitionFileOpened) DefinitionCount = 0;
  ResolveStepSamples();
  out.DefinitionCount = DefinitionCount;
  out.LinesRead = report.LinesRead;
  out.LinesSkipped = report.LinesSkipped;
  out.LinesDropped = report.LinesDropped;
  out.StepsMalformed = report.StepsMalformed;
  out.StepsDropped = report.StepsDropped;
  out.RuleCapReached = report.RuleCapReached;
  for (int32_t r = 0; r < DefinitionCount; ++r)
    for (int s = 0; s < DefinitionTable[r].StepCount; ++s)
      if (DefinitionTable[r].Steps[s].SampleIndex < 0) ++out.StepsWithoutSample;
  return out;
}
