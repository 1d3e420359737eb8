#include "kinetics/BLibrary.hpp"

#include <algorithm>
#include <cstring>

#include <hb/hb.hpp>
#include <interp/interp.hpp>
#include <obk/OBApplication.hpp>
#include <obk/OBClass.hpp>
#include <obk/OBDatabaseClient.hpp>
#include <obk/OBInterface.hpp>
#include <qx/qx.hpp>

#include "core/Application.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BAbstractKineticLaw.hpp"
#include "kinetics/BUnitPrefixWrapper.hpp"
#include "kinetics/BUnitWrapper.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/MessageCatalog.hpp"

namespace {

template <class T>
T* findNamed(const kstrVector<T*>& list, const std::string& name) {
  for (T* element : list) {
    if (element->getName() == name) return element;
  }
  return nullptr;
}

template <class T>
void eraseEntry(kstrVector<T*>& list, const T* entry) {
  auto it = std::find(list.begin(), list.end(), entry);
  if (it != list.end()) list.erase(it);
}

// A library component without a host instance gets one of the class: the
// class makes a fresh component behind its new instance, which the caller
// discards before binding the instance to the given component.
template <class T, class Discard>
void giveHostInstance(T* component, const char* className, Discard discardFresh) {
  if (component->getOBI()) return;
  OBClass* cls = GetQuorvApplication()->findClass(className);
  if (!cls) return;
  OBInterface* instance = cls->createInstance(OBDatabaseClient::getInternalClient());
  if (!instance) return;
  discardFresh(static_cast<T*>(componentOf(instance)));
  instance->setComponentObject(static_cast<KelborComponent*>(component));
  component->setOBI(instance);
  instance->internalToExternal();
}

}  // namespace

void BLibrary::addUnit(BUnitWrapper* unit) {
  giveHostInstance(unit, "Unit", [](BUnitWrapper* fresh) {
    if (!fresh) return;
    fresh->setOBI(nullptr);
    fresh->deleteOwnedUnit();
    delete fresh;
  });
  units_.push_back(unit);
}

void BLibrary::addUnitPrefix(BUnitPrefixWrapper* prefix) {
  giveHostInstance(prefix, "UnitPrefix", [](BUnitPrefixWrapper* fresh) {
    if (!fresh) return;
    fresh->setOBI(nullptr);
    fresh->deleteOwnedPrefix();
    delete fresh;
  });
  unitPrefixes_.push_back(prefix);
}

void BLibrary::addAbstractKineticLaw(BAbstractKineticLaw* law) {
  // The vector readers see is made again (or fails to be) when next read.
  lawVectorStale_ = true;
  laws_.push_back(law);
  try {
    lawPlaces_[law] = std::prev(laws_.end());
    try {
      lawsByName_[law->getName()].push_back(law);
    } catch (...) {
      lawPlaces_.erase(law);
      throw;
    }
  } catch (...) {
    laws_.pop_back();
    throw;
  }
}

const std::vector<BAbstractKineticLaw*>& BLibrary::getAbstractKineticLaws() const {
  if (lawVectorStale_) {
    lawVector_.assign(laws_.begin(), laws_.end());
    lawVectorStale_ = false;
  }
  return lawVector_;
}

void BLibrary::removeUnit(const std::string& name) { eraseEntry(units_, findUnit(name)); }

void BLibrary::removeUnitPrefix(const std::string& name) {
  eraseEntry(unitPrefixes_, findUnitPrefix(name));
}

namespace {

// Takes the law out of the list of the name; a name left without laws
// leaves the index.
template <class Index, class Law>
bool leaveName(Index& index, const std::string& name, const Law* law) {
  const auto found = index.find(name);
  if (found == index.end()) return false;
  auto& laws = found->second;
  const auto it = std::find(laws.begin(), laws.end(), law);
  if (it == laws.end()) return false;
  laws.erase(it);
  if (laws.empty()) index.erase(found);
  return true;
}

}  // namespace

void BLibrary::removeAbstractKineticLaw(const BAbstractKineticLaw* law) {
  if (!law) return;
  const auto place = lawPlaces_.find(law);
  if (place != lawPlaces_.end()) {
    laws_.erase(place->second);
    lawPlaces_.erase(place);
    lawVectorStale_ = true;
  }
  leaveName(lawsByName_, law->getName(), law);
}

void BLibrary::abstractKineticLawRenamed(BAbstractKineticLaw* law, const std::string& oldName) {
  if (oldName == law->getName()) return;
  const auto old = lawsByName_.find(oldName);
  if (old == lawsByName_.end() || std::find(old->second.begin(), old->second.end(), law) == old->second.end()) return;
  // Entered under the new name first: running out of memory there leaves
  // the law findable under its old one.
  lawsByName_[law->getName()].push_back(law);
  leaveName(lawsByName_, oldName, law);
}

BUnitWrapper* BLibrary::findUnit(const std::string& name) const { return findNamed(units_, name); }

BUnitPrefixWrapper* BLibrary::findUnitPrefix(const std::string& name) const {
  return findNamed(unitPrefixes_, name);
}

BAbstractKineticLaw* BLibrary::findAbstractKineticLaw(const std::string& name) const {
  const auto found = lawsByName_.find(name);
  return found == lawsByName_.end() ? nullptr : found->second.front();
}

bool BLibrary::hasComponent(int kind, const std::string& name) const {
  switch (kind) {
    case 0:
      return hasUnit(name);
    case 1:
      return hasUnitPrefix(name);
    case 2:
      return hasAbstractKineticLaw(name);
    default:
      return false;
  }
}

void BLibrary::display() const {
  hbPrintf("\n");
  hbPrintf("   Kestrion Library Contains:\n\n");
  hbPrintf("    Abstract Kinetic Laws:    %d\n", static_cast<int>(laws_.size()));
  hbPrintf("    Units:                    %d\n", static_cast<int>(units_.size()));
  hbPrintf("    Unit Prefixes:            %d\n", static_cast<int>(unitPrefixes_.size()));
  hbPrintf("\n");
}

// --- shared operations of library components ---------------------------------------------

int getLibraryKindOfObject(const OBInterface* object) {
  const char* name = object && object->getClass() ? object->getClass()->getName() : "";
  if (std::strcmp(name, "AbstractKineticLaw") == 0) return 2;
  if (std::strcmp(name, "Unit") == 0) return 0;
  if (std::strcmp(name, "UnitPrefix") == 0) return 1;
  return 3;
}

std::string getLibraryKindName(int kind) {
  switch (kind) {
    case 0:
      return "unit";
    case 1:
      return "unitprefix";
    case 2:
      return "kineticlaw";
    default:
      return "";
  }
}

bool isBuiltinLibraryComponent(const std::string& kindWord, const OBInterface* object) {
  const KelborComponent* component = componentOf(object);
  if (!component) return false;
  const BLibrary* builtin = BQuorvixRoot::getInstance()->getLibrary(0);
  const std::string& name = component->getName();
  const KelborComponent* entry = nullptr;
  if (kindWord == "kineticlaw") {
    entry = builtin->findAbstractKineticLaw(name);
  } else if (kindWord == "unit") {
    entry = builtin->findUnit(name);
  } else if (kindWord == "unitprefix") {
    entry = builtin->findUnitPrefix(name);
  } else {
    return true;
  }
  return entry && entry->getOBI() == object;
}

void updateLibraryIfAttached(const OBInterface* object) {
  const KelborComponent* component = componentOf(object);
  if (!component || !component->getOBIParent()) return;
  privateUpdateLibrary(getLibraryKindName(getLibraryKindOfObject(object)).c_str());
}

int privateUpdateLibrary(const char* kindWord) {
  HostCallArgs ins{"privateupdatelibrary", kindWord};
  qxArray* outs[1] = {nullptr};
  const int status = inCallFcnWithTrap(0, outs, ins.size(), ins.data(), "kstrgate", true);
  if (status == 1) {
    const char* word = std::strcmp(kindWord, "kineticlaw") == 0 ? "kineticlaw" : "unit";
    hb_warning_id(hbGetWarningContext(), "Kestrion:KS_ROOT_LIBRARY_MAY_BE_OUT_OF_SYNC",
                  kstr::code(kstr::MessageCode::KS_ROOT_LIBRARY_MAY_BE_OUT_OF_SYNC), word);
  }
  qxDestroyArray(outs[0]);
  return status;
}
