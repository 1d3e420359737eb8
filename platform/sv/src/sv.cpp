// Host services stand-in: a Java switch and a map of feature switches.
#include "sv/sv.hpp"

#include <string>
#include <unordered_map>

#include "sv/sv_test.hpp"

namespace {

struct Services {
  bool java = false;
  std::unordered_map<std::string, bool> features;
};

// Never destroyed, so it serves static initialisers and destructors alike.
Services& services() {
  static Services* s = new Services;
  return *s;
}

}  // namespace

bool svJavaUseJVM() { return services().java; }
bool svIsJavaEnabled() { return services().java; }

void svRegisterFeature(const char* name, int defaultValue, void*, void*) {
  if (name == nullptr) return;
  services().features.try_emplace(name, defaultValue != 0);
}

bool svIsFeatureEnabled(const char* name) {
  if (name == nullptr) return false;
  const auto& features = services().features;
  auto it = features.find(name);
  return it != features.end() && it->second;
}

void svTestSetJava(bool on) { services().java = on; }

void svSetFeature(const char* name, bool on) {
  if (name == nullptr) return;
  services().features[name] = on;
}

bool svTestIsFeatureRegistered(const char* name) {
  return name != nullptr && services().features.count(name) != 0;
}

void svTestResetFeatures() { services().features.clear(); }
