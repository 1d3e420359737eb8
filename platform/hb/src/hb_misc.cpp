// Small numeric and text helpers of the host utility library, and the
// recording stand-in for loading run-time libraries.
#include "hb/hb.hpp"

#include <algorithm>
#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "hb/hb_test.hpp"

namespace {

std::vector<std::string>& loadedLibraries() {
  static auto* names = new std::vector<std::string>;  // never destroyed
  return *names;
}

}  // namespace

void hbLowerCase(char* text) {
  if (text == nullptr) return;
  for (char* p = text; *p != '\0'; ++p) {
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
  }
}

bool hbRegexp(const char* text, const char* pattern) {
  if (text == nullptr || pattern == nullptr) return false;
  try {
    return std::regex_search(text, std::regex(pattern, std::regex::ECMAScript));
  } catch (const std::regex_error&) {
    return false;
  }
}

bool hbEqualWithinEps(double a, double b) {
  if (a == b) return true;  // also equal infinities
  if (std::isnan(a) || std::isnan(b) || std::isinf(a) || std::isinf(b)) return false;
  double scale = std::max({1.0, std::fabs(a), std::fabs(b)});
  return std::fabs(a - b) <= std::ldexp(1.0, -52) * scale;
}

double hbDoubleScalarRound(double value) { return std::round(value); }

namespace {
std::string& failingLibrary() {
  static std::string name;
  return name;
}
}  // namespace

void* hbLoadLibrary(const char* name, int32_t* status) {
  if (name != nullptr && !failingLibrary().empty() && failingLibrary() == name) {
    throw hbTestForeignFailure{};
  }
  loadedLibraries().push_back(name != nullptr ? name : "");
  if (status != nullptr) *status = 1;
  return nullptr;
}

const std::vector<std::string>& hbTestLoadedLibraries() { return loadedLibraries(); }
void hbTestClearLoadedLibraries() { loadedLibraries().clear(); }
void hbTestSetFailingLibrary(const char* name) { failingLibrary() = name != nullptr ? name : ""; }
