// The host's output sink: captured for tests, echoed to standard output.
#include "hb/hb.hpp"

#include <cstdio>
#include <string>

#include "hb/hb_test.hpp"

namespace {

struct Sink {
  std::string captured;
  bool echo = true;
};

// Never destroyed, so printing stays possible while statics are torn down;
// the pointer keeps it reachable for the leak checker.
Sink& sink() {
  static Sink* s = new Sink;
  return *s;
}

}  // namespace

int hbVPrintf(const char* fmt, va_list args) {
  if (fmt == nullptr) return -1;
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(nullptr, 0, fmt, args);
  if (n < 0) {
    va_end(again);
    return n;
  }
  std::string text(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), fmt, again);
  va_end(again);
  text.resize(static_cast<size_t>(n));
  Sink& s = sink();
  s.captured += text;
  if (s.echo) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }
  return n;
}

int hbPrintf(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  int n = hbVPrintf(fmt, args);
  va_end(args);
  return n;
}

int hbSNprintf(char* buf, size_t size, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  int n = std::vsnprintf(buf, size, fmt, args);
  va_end(args);
  return n;
}

const std::string& hbTestPrinted() { return sink().captured; }
void hbTestClearPrinted() { sink().captured.clear(); }
void hbTestSetEcho(bool on) { sink().echo = on; }
