#include "obk/OBApplication.hpp"

#include <algorithm>

#include "obk/OBClass.hpp"

namespace {

struct AppRegistry {
  std::vector<OBApplication*> apps;
};

AppRegistry& apps() {
  static AppRegistry* r = new AppRegistry;
  return *r;
}

}  // namespace

OBApplication::OBApplication(const char* name, bool) : name_(name ? name : "") {}
OBApplication::~OBApplication() = default;

void OBApplication::addLocalClass(OBClass* cls) {
  if (cls == nullptr) return;
  if (std::find(classes_.begin(), classes_.end(), cls) != classes_.end()) return;
  classes_.push_back(cls);
  cls->app_ = this;
  cls->updateFullName();
  index_.emplace(cls->getName(), cls);
}

OBClass* OBApplication::findClass(std::string_view name) const noexcept {
  auto it = index_.find(name);
  return it == index_.end() ? nullptr : it->second;
}

void OBApplicationManager::addApplication(OBApplication* app) {
  if (app == nullptr) return;
  auto& list = apps().apps;
  if (std::find(list.begin(), list.end(), app) == list.end()) list.push_back(app);
}

OBApplication* OBApplicationManager::findApplication(std::string_view name) noexcept {
  for (OBApplication* a : apps().apps)
    if (name == a->getName()) return a;
  return nullptr;
}

OBClass* OBApplicationManager::findClass(std::string_view name) noexcept {
  size_t dot = name.find('.');
  if (dot != std::string_view::npos) {
    OBApplication* app = findApplication(name.substr(0, dot));
    return app ? app->findClass(name.substr(dot + 1)) : nullptr;
  }
  for (OBApplication* a : apps().apps)
    if (OBClass* c = a->findClass(name)) return c;
  return nullptr;
}

const std::vector<OBApplication*>& OBApplicationManager::getApplications() noexcept {
  return apps().apps;
}
