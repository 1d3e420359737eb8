// The process-wide index from parameter names to the kinetic laws naming them.
#include "kinetics/ParameterBindingIndex.hpp"

#include <algorithm>

namespace kstr {

namespace {

std::string withoutBrackets(const std::string& text) {
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') return text.substr(1, text.size() - 2);
  return text;
}

}  // namespace

ParameterBindingIndex& ParameterBindingIndex::instance() {
  static ParameterBindingIndex index;
  return index;
}

std::vector<std::string> ParameterBindingIndex::keysOf(const std::string& boundName) {
  std::vector<std::string> keys;
  if (boundName.empty()) return keys;
  keys.push_back(withoutBrackets(boundName));
  // The part after the last period outside brackets.
  int depth = 0;
  size_t lastPeriod = std::string::npos;
  for (size_t i = 0; i < boundName.size(); ++i) {
    const char c = boundName[i];
    if (c == '[') ++depth;
    if (c == ']' && depth > 0) --depth;
    if (c == '.' && depth == 0) lastPeriod = i;
  }
  if (lastPeriod != std::string::npos) keys.push_back(withoutBrackets(boundName.substr(lastPeriod + 1)));
  return keys;
}

void ParameterBindingIndex::note(const BKineticLaw* law, const kstrVector<std::string>& names) {
  if (!law) return;
  std::vector<std::string>* keys = nullptr;
  for (const std::string& name : names) {
    for (std::string& key : keysOf(name)) {
      if (!keys) keys = &keysByLaw_[law];
      if (std::find(keys->begin(), keys->end(), key) != keys->end()) continue;
      keys->push_back(key);
      lawsByKey_[std::move(key)].insert(law);
    }
  }
}

void ParameterBindingIndex::forget(const BKineticLaw* law) {
  auto found = keysByLaw_.find(law);
  if (found == keysByLaw_.end()) return;
  for (const std::string& key : found->second) {
    auto laws = lawsByKey_.find(key);
    if (laws == lawsByKey_.end()) continue;
    laws->second.erase(law);
    if (laws->second.empty()) lawsByKey_.erase(laws);
  }
  keysByLaw_.erase(found);
}

std::vector<const BKineticLaw*> ParameterBindingIndex::lawsNaming(const std::string& parameterName) const {
  auto found = lawsByKey_.find(parameterName);
  if (found == lawsByKey_.end()) return {};
  return {found->second.begin(), found->second.end()};
}

}  // namespace kstr
