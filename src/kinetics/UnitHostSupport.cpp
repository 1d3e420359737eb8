#include "kinetics/UnitHostSupport.hpp"

#include <ks_utils/Errors.hpp>
#include <obk/OBClass.hpp>
#include <obk/OBInterface.hpp>
#include <obk/OBPropInfo.hpp>
#include <obk/Vector.hpp>
#include <qx/qx.hpp>

#include "core/Application.hpp"
#include "core/HostBoundary.hpp"
#include "core/ModelComponentProps.hpp"
#include "core/PropertyValuePairs.hpp"
#include "kinetics/BLibrary.hpp"
#include "kinetics/BUnitPrefixWrapper.hpp"
#include "kinetics/BUnitWrapper.hpp"
#include "kinetics/LibraryComponentProps.hpp"

#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/BQuorvixRoot.hpp"
#include "quantities/QuantityHostSupport.hpp"

namespace kstr::unithost {

bool isText(const qxArray* arg) { return arg && qxIsChar(arg); }

std::string textArgument(const qxArray* arg, const char* id, kstr::MessageCode code) {
  if (!isText(arg)) kstr_error(id, kstr::code(code));
  return qxArrayToStdString(arg);
}

double numberArgument(const qxArray* arg, const char* notNumericId, kstr::MessageCode notNumeric,
                      const char* badSizeId, kstr::MessageCode badSize) {
  if (!arg || !qxIsDouble(arg) || qxIsComplex(arg) || qxIsSparse(arg)) {
    kstr_error(notNumericId, kstr::code(notNumeric));
  }
  if (qxGetNumberOfElements(arg) != 1) kstr_error(badSizeId, kstr::code(badSize));
  return qxGetScalar(arg);
}

const char* libraryWord(int index) {
  switch (index) {
    case 0:
      return "BuiltIn";
    case 1:
      return "UserDefined";
    default:
      return "NotInLibrary";
  }
}

std::string padTo(const std::string& text, size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string displayRowStart(size_t index, int libraryIndex, const std::string& name) {
  std::string indexText = std::to_string(index);
  if (indexText.size() >= 8) indexText = "xxx";
  const std::string shown = name.size() >= 25 ? name.substr(0, 21) + "... " : padTo(name, 25);
  return "   " + padTo(indexText, 8) + padTo(libraryWord(libraryIndex), 20) + shown;
}

bool mayDeleteLibraryComponent(OBInterface* inst, int kind, const char* id, kstr::MessageCode code) {
  if (kstr::quantityhost::isBeingDiscarded(inst) || kstr::quantityhost::isTreeBeingDestroyed(inst)) {
    return true;
  }
  const KelborComponent* component = componentOf(inst);
  if (!component || !component->getOBI()) return true;
  const std::string& name = component->getName();
  if (BQuorvixRoot::getInstance()->findLibraryIndex(kind, name.c_str()) < 0) return true;
  hb_warning_id(hbGetWarningContext(), id, kstr::code(code), name.c_str());
  return false;
}

void listenToEveryProperty(OBClass& cls, OBListener* listener) {
  for (OBPropInfo* prop : cls.getProperties()) {
    OBListenerManagerHost::addListener(&cls, listener, prop, OBPropInfo::propertyPostSetEvent());
  }
}

namespace {

template <class List>
void giveInstances(const List& list, OBClass* cls, OBInterface* rootInstance) {
  for (auto* component : list) {
    if (component->getOBI()) continue;
    auto* instance = new OBInterface(static_cast<KelborComponent*>(component), cls);
    component->setOBI(instance);
    instance->internalToExternal();
    instance->addBelow(rootInstance);
    component->setOBIParent(rootInstance);
    instance->releaseReference();
  }
}

}  // namespace

void giveBuiltinInstances(OBClass* cls, int kind) {
  BQuorvixRoot* root = BQuorvixRoot::getInstanceIfAny();
  OBInterface* rootInstance = getOBIRoot();
  if (!root || !rootInstance) return;
  if (kind == 0) {
    giveInstances(root->getLibrary(0)->getUnits(), cls, rootInstance);
  } else {
    giveInstances(root->getLibrary(0)->getUnitPrefixes(), cls, rootInstance);
  }
}

void leaveLibraries(const KelborComponent* component, int kind) {
  BQuorvixRoot* root = BQuorvixRoot::getInstanceIfAny();
  if (!root || !component) return;
  const std::string name = component->getName();
  for (int index = 0; index < 2; ++index) {
    BLibrary* library = root->getLibrary(index);
    if (kind == 0 && library->findUnit(name) == component) library->removeUnit(name);
    if (kind == 1 && library->findUnitPrefix(name) == component) library->removeUnitPrefix(name);
  }
}

void detachDestroyedInstance(OBInterface* inst, KelborComponent* component, int kind, const char* className) {
  leaveLibraries(component, kind);
  kstr::quantityhost::postObjectDestroyed(component->getOBIParent(), inst, className,
                                          component->getName().c_str());
  inst->setComponentObject(nullptr);
  component->setOBI(nullptr);
  kstr::quantityhost::releaseUserData(component);
}

void defineLibraryClass(OBClass& cls, const char* name, const LibraryOwnProperties& own,
                        LibraryTable_display_MI* display, OBListener* listener) {
  startComponentClass(cls, name, true, true);
  auto addAll = [&cls](const std::vector<OBPropInfo*>& props) {
    for (OBPropInfo* prop : props) cls.addProperty(prop);
  };
  cls.addProperty(new HostGuarded<LibraryComponent_AnnotationPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_AnnotationFullPIT>());
  addAll(own.afterAnnotationFull);
  cls.addProperty(new HostGuarded<ModelComponent_IDPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_FullIdPathToTopModel_PIT>());
  addAll(own.afterFullIdPath);
  cls.addProperty(new HostGuarded<LibraryComponent_NamePIT>());
  cls.addProperty(new HostGuarded<LibraryComponent_NotesPIT>());
  addAll(own.afterNotes);
  cls.addProperty(new HostGuarded<LibraryComponent_ParentPIT>());
  cls.addProperty(new HostGuarded<LibraryComponent_TagPIT>());
  cls.addProperty(new HostGuarded<LibraryComponent_TypePIT>());
  cls.addProperty(new HostGuarded<LibraryComponent_UserDataPIT>());
  cls.addMethod(new HostGuarded<ModelComponent_help_MI>());
  cls.addMethod(display);
  cls.addMethod(new HostGuarded<ModelComponent_compare_MI>());
  cls.addMethod(new HostGuarded<ModelComponent_copy_MI>());
  listenToEveryProperty(cls, listener);
}

void LibraryTable_display_MI::displayOne(int&, void*[], int, void* const ins[]) {
  print({static_cast<OBInterface*>(ins[0])});
}

void LibraryTable_display_MI::displayVector(int&, void*[], int, void* const ins[]) {
  const auto* objects = static_cast<const Vector*>(ins[0]);
  print(objects ? objects->elements() : std::vector<OBInterface*>());
}

void LibraryTable_display_MI::print(const std::vector<OBInterface*>& objects) const {
  hbPrintf("%s", header_.c_str());
  for (size_t i = 0; i < objects.size(); ++i) hbPrintf("%s\n", rowOf(objects[i], i + 1).c_str());
  hbPrintf("\n");
}

bool LibraryUpdateListener::handleEvent(const OBEvent&) {
  privateUpdateLibrary(kindWord_);
  return true;
}

}  // namespace kstr::unithost
