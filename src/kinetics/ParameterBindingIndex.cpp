// The process-wide index from parameter names to the kinetic laws naming them.
#include "kinetics/ParameterBindingIndex.hpp"

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

void ParameterBindingIndex::Places::push(const Place& place) {
  if (held_ < first_.size()) {
    first_[held_++] = place;
  } else {
    more_.push_back(place);
  }
}

void ParameterBindingIndex::Places::removeAt(size_t i) {
  const size_t last = count() - 1;
  if (i != last) at(i) = at(last);
  if (more_.empty()) {
    --held_;
  } else {
    more_.pop_back();
  }
}

void ParameterBindingIndex::Places::clear() {
  held_ = 0;
  more_.clear();
}

void ParameterBindingIndex::note(const BKineticLaw* law, Places& places,
                                 const kstrVector<std::string>& names) {
  if (!law) return;
  for (const std::string& name : names) {
    for (std::string& key : keysOf(name)) {
      auto [entry, made] = lawsByKey_.try_emplace(std::move(key));
      KeyLaws& laws = entry->second;
      bool held = false;
      for (size_t i = 0; i < places.count() && !held; ++i) held = places.at(i).key == &*entry;
      if (held) continue;
      if (2 * laws.empty > laws.members.size()) closeUp(*entry);
      // A key is counted in keyHashes_ exactly while it is in the map.
      bool counted = !made;
      try {
        if (made) {
          keyEntered(entry->first);
          counted = true;
        }
        laws.members.push_back(Member{law, &places});
        places.push(Places::Place{&*entry, laws.members.size() - 1});
      } catch (...) {
        if (!laws.members.empty() && laws.members.back().places == &places) laws.members.pop_back();
        if (laws.members.empty()) {
          if (counted) keyLeft(entry->first);
          lawsByKey_.erase(entry);
        }
        throw;
      }
    }
  }
  // Keys of names the law no longer holds.
  for (size_t i = places.count(); i-- > 0;) {
    const std::string& key = places.at(i).key->first;
    bool named = false;
    for (size_t n = 0; n < names.size() && !named; ++n) {
      for (const std::string& wanted : keysOf(names[n])) named = named || wanted == key;
    }
    if (named) continue;
    leave(places.at(i));
    places.removeAt(i);
  }
}

void ParameterBindingIndex::closeUp(KeyEntry& entry) {
  std::vector<Member>& members = entry.second.members;
  size_t to = 0;
  for (size_t from = 0; from < members.size(); ++from) {
    const Member member = members[from];
    if (!member.law) continue;
    if (to != from) {
      members[to] = member;
      for (size_t j = 0; j < member.places->count(); ++j) {
        if (member.places->at(j).key == &entry) member.places->at(j).slot = to;
      }
    }
    ++to;
  }
  members.resize(to);
  entry.second.empty = 0;
}

void ParameterBindingIndex::leave(const Places::Place& place) {
  KeyLaws& laws = place.key->second;
  laws.members[place.slot] = Member{nullptr, nullptr};
  ++laws.empty;
  while (!laws.members.empty() && !laws.members.back().law) {
    laws.members.pop_back();
    --laws.empty;
  }
  if (laws.members.empty()) {
    keyLeft(place.key->first);
    lawsByKey_.erase(lawsByKey_.find(place.key->first));
  }
}

void ParameterBindingIndex::forget(Places& places) {
  for (size_t i = 0; i < places.count(); ++i) leave(places.at(i));
  places.clear();
}

std::vector<const BKineticLaw*> ParameterBindingIndex::lawsNaming(const std::string& parameterName) const {
  if (keyHashes_.empty() || keyHashes_[slotOf(parameterName)] == 0) return {};
  auto found = lawsByKey_.find(parameterName);
  if (found == lawsByKey_.end()) return {};
  std::vector<const BKineticLaw*> laws;
  laws.reserve(found->second.members.size() - found->second.empty);
  for (const Member& member : found->second.members) {
    if (member.law) laws.push_back(member.law);
  }
  return laws;
}

size_t ParameterBindingIndex::slotOf(const std::string& key) const {
  return std::hash<std::string>{}(key) & (keyHashes_.size() - 1);
}

void ParameterBindingIndex::keyEntered(const std::string& key) {
  if (2 * lawsByKey_.size() > keyHashes_.size()) {
    // Twice as many slots, counted again from every key.
    size_t slots = 64;
    while (slots < 4 * lawsByKey_.size()) slots *= 2;
    keyHashes_.assign(slots, 0);
    for (const auto& [held, members] : lawsByKey_) {
      uint8_t& count = keyHashes_[slotOf(held)];
      if (count < UINT8_MAX) ++count;
    }
    return;
  }
  uint8_t& count = keyHashes_[slotOf(key)];
  if (count < UINT8_MAX) ++count;
}

void ParameterBindingIndex::keyLeft(const std::string& key) {
  if (keyHashes_.empty()) return;
  uint8_t& count = keyHashes_[slotOf(key)];
  // A saturated count may stand for more keys than it can hold: kept.
  if (count != 0 && count < UINT8_MAX) --count;
}

}  // namespace kstr
