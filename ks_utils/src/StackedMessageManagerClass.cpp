// The host class of the stacked-message manager.  It lives in its own
// application, so that it never counts as one of the engine's classes.
#include "ks_utils/Errors.hpp"
#include "obk/OBApplication.hpp"
#include "obk/OBClass.hpp"

namespace {

// The host cannot construct the manager: there is one, in the library.
class StackedMessageManagerOBC final : public OBClass {
 public:
  bool canBeConstructed() const override { return false; }
};

OBClass* makeStackedMessageManagerClass() {
  OBApplication* app = OBApplicationManager::findApplication("KStrUtils");
  if (app == nullptr) {
    // Applications and classes live for the whole process.
    app = new OBApplication("KStrUtils", true);
    OBApplicationManager::addApplication(app);
  }
  auto* cls = new StackedMessageManagerOBC;
  cls->setName("StackedMessageManager");
  app->addLocalClass(cls);
  return cls;
}

}  // namespace

OBClass* GetStackedMessageManagerOBC() {
  static OBClass* const cls = makeStackedMessageManagerClass();
  return cls;
}
