#include "model/BQuorvixRoot.hpp"

#include <algorithm>
#include <new>

#include <hb/hb.hpp>
#include <interp/interp.hpp>
#include <ks_utils/Units.hpp>
#include <qx/qx.hpp>

#include "kinetics/BLibrary.hpp"
#include "kinetics/BUnitPrefixWrapper.hpp"
#include "kinetics/BUnitWrapper.hpp"
#include "model/MessageCatalog.hpp"

namespace {

// The folder name the host function "tempname" answers; empty when it fails.
std::string askTempName() {
  qxArray* outputs[1] = {nullptr};
  std::string name;
  if (inCallFcnWithTrap(1, outputs, 0, nullptr, "tempname", true) == 0 && outputs[0]) {
    if (char* text = qxArrayToString(outputs[0])) {
      name = text;
      qxFree(text);
    }
  }
  qxDestroyArray(outputs[0]);
  return name;
}

}  // namespace

namespace {

BQuorvixRoot* theRoot = nullptr;
OBInterface* theRootInstance = nullptr;

}  // namespace

BQuorvixRoot* BQuorvixRoot::getInstance() {
  if (!theRoot) {
    void* memory = hbCallocWithCheck(1, sizeof(BQuorvixRoot));
    theRoot = new (memory) BQuorvixRoot();
  }
  return theRoot;
}

BQuorvixRoot* BQuorvixRoot::getInstanceIfAny() { return theRoot; }

void BQuorvixRoot::destroyInstance() {
  BQuorvixRoot* root = theRoot;
  theRoot = nullptr;
  theRootInstance = nullptr;
  interpSetRootInstance(nullptr);
  delete root;
}

OBInterface* getOBIRoot() { return theRootInstance; }

// The host's "kstrselect" searches below the root's instance.
void setOBIRoot(OBInterface* instance) {
  theRootInstance = instance;
  interpSetRootInstance(instance);
}

BQuorvixRoot::BQuorvixRoot() : builtin_(new BLibrary()), user_(new BLibrary()) {
  tempDir_ = askTempName();
  registerMessageCatalog();
  fillBuiltinLibrary();
}

namespace {

// Library units and prefixes that never got a host instance (a root made
// before the host classes exist) belong to nobody else: the root frees them.
// Those with an instance go with it, through their class's destroy hook.
void freeUnhostedUnits(const BLibrary* library) {
  for (BUnitWrapper* unit : library->getUnits()) {
    if (unit->getOBI()) continue;
    unit->deleteOwnedUnit();
    delete unit;
  }
  for (BUnitPrefixWrapper* prefix : library->getUnitPrefixes()) {
    if (prefix->getOBI()) continue;
    prefix->deleteOwnedPrefix();
    delete prefix;
  }
}

}  // namespace

BQuorvixRoot::~BQuorvixRoot() {
  freeUnhostedUnits(builtin_);
  freeUnhostedUnits(user_);
  delete builtin_;
  delete user_;
}

void BQuorvixRoot::fillBuiltinLibrary() {
  OVUnits::UnitManagerApi* units = getUnitManagerApiFcn();
  for (const std::vector<std::string>& group : units->getUnitNameLists()) {
    for (const std::string& name : group) {
      void* memory = hbCallocWithCheck(1, sizeof(BUnitWrapper));
      builtin_->addUnit(new (memory) BUnitWrapper(units->getUnit(name)));
    }
  }
  OVUnits::UnitPrefixServiceApi* prefixes = units->getPrefixService();
  for (const std::string& name : prefixes->getPrefixNames()) {
    void* memory = hbCallocWithCheck(1, sizeof(BUnitPrefixWrapper));
    builtin_->addUnitPrefix(new (memory) BUnitPrefixWrapper(prefixes->getPrefix(name)));
  }
}

BLibrary* BQuorvixRoot::getLibrary(int index) const { return index == 0 ? builtin_ : user_; }

const char* BQuorvixRoot::getLibraryName(int index) {
  switch (index) {
    case 0:
      return "builtin";
    case 1:
      return "user";
    default:
      return nullptr;
  }
}

int BQuorvixRoot::findLibraryIndex(int kind, const char* name) const {
  const std::string text = name ? name : "";
  const BLibrary* libraries[] = {builtin_, user_};
  for (int index = 0; index < 2; ++index) {
    const BLibrary* library = libraries[index];
    bool found = false;
    switch (kind) {
      case 0:
        found = library->findUnit(text) != nullptr;
        break;
      case 1:
        found = library->findUnitPrefix(text) != nullptr;
        break;
      case 2:
        found = library->findAbstractKineticLaw(text) != nullptr;
        break;
      default:
        return -1;
    }
    if (found) return index;
  }
  return -1;
}

void BQuorvixRoot::removeModel(Kelbor* model) {
  auto it = std::find(models_.begin(), models_.end(), model);
  if (it != models_.end()) models_.erase(it);
}

void BQuorvixRoot::display() const {
  hbPrintf("\n");
  hbPrintf("   Kestrion Root Contains:\n\n");
  hbPrintf("    Models:                           %d\n", static_cast<int>(models_.size()));
  hbPrintf("    Builtin Abstract Kinetic Laws:    %d\n",
           static_cast<int>(builtin_->getAbstractKineticLaws().size()));
  hbPrintf("    User Abstract Kinetic Laws:       %d\n",
           static_cast<int>(user_->getAbstractKineticLaws().size()));
  hbPrintf("    Builtin Units:                    %d\n", static_cast<int>(builtin_->getUnits().size()));
  hbPrintf("    User Units:                       %d\n", static_cast<int>(user_->getUnits().size()));
  hbPrintf("    Builtin Unit Prefixes:            %d\n",
           static_cast<int>(builtin_->getUnitPrefixes().size()));
  hbPrintf("    User Unit Prefixes:               %d\n",
           static_cast<int>(user_->getUnitPrefixes().size()));
  hbPrintf("\n");
}

void BQuorvixRoot::registerMessageCatalog() {
  hb_mem_add_primary_message_table(hbGetMemoryContext(), &kstr::getMessageCatalog());
}

void BQuorvixRoot::unregisterMessageCatalog() {
  hb_mem_remove_primary_message_table(hbGetMemoryContext(), &kstr::getMessageCatalog());
}
