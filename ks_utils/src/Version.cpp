#include "ks_utils/Version.hpp"

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "ks_utils/StringHelpers.hpp"

namespace {

bool allDigits(const std::string& part) {
  if (part.empty()) return false;
  for (char c : part)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

double GetKestrionVersion() { return 3.0; }

const char* GetKestrionVersionString() { return "3.0.0"; }

KestrionVersion getVersionFromString(const std::string& input) {
  const KestrionVersion none;
  std::string text = input;
  STDStringHelpers::trimWhitespace(text);
  if (!text.empty() && text.back() == '.') text.pop_back();
  if (text.empty()) return none;

  std::string parts[3];
  std::size_t count = 0;
  std::size_t start = 0;
  while (true) {
    if (count == 3) return none;
    const std::size_t dot = text.find('.', start);
    parts[count] = text.substr(start, dot == std::string::npos
                                          ? std::string::npos
                                          : dot - start);
    if (!allDigits(parts[count])) return none;
    ++count;
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  errno = 0;
  const long major = std::strtol(parts[0].c_str(), nullptr, 10);
  if (errno == ERANGE || major > std::numeric_limits<int>::max()) return none;
  KestrionVersion version;
  version.versionMajor = static_cast<int>(major);
  version.versionMinor = count > 1 ? std::strtod(parts[1].c_str(), nullptr) : 0.0;
  version.versionPatch = count > 2 ? std::strtod(parts[2].c_str(), nullptr) : 0.0;
  return version;
}

KestrionVersion getVersionFromString(const char* text) {
  if (text == nullptr) return KestrionVersion();
  return getVersionFromString(std::string(text));
}
