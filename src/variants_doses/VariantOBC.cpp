// The class object of "Variant": property table, creation entry and
// destroy hook.
#include "variants_doses/VariantOBC.hpp"

#include <cstring>
#include <string>

#include <ks_utils/Errors.hpp>

#include "core/Application.hpp"
#include "core/ModelComponentProps.hpp"
#include "core/PropertyValuePairs.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/QuantityHostSupport.hpp"
#include "variants_doses/Variant.hpp"
#include "variants_doses/VariantMethods.hpp"
#include "core/HostBoundary.hpp"

namespace qh = kstr::quantityhost;

namespace {

using P = PropFlags;
constexpr uint32_t kSettable = P::Settable;

using ActivePIT = obk_t::OBKFactoryPropInfoWithRelease<Variant, bool, bool, GetKelborCompClass<Variant>>;

Variant* requireVariant(OBInterface* inst) {
  Variant* variant = variantOf(inst);
  if (!variant) throw ErrorIdException("obk:InvalidObject", "The object has no component.");
  return variant;
}

// The constructor's arguments: name, content and where the pairs start.
struct CreationArguments {
  std::string name;
  const qxArray* content = nullptr;
  int pairsStart = 0;
};

CreationArguments readArguments(int argc, qxArray* const args[]) {
  CreationArguments read;
  read.pairsStart = argc;
  if (argc == 0) return read;
  if (qxGetClassID(args[0]) == qxCHAR_CLASS) read.name = qxArrayToStdString(args[0]);
  if (argc == 2) {
    read.content = args[1];
  } else if (argc >= 3) {
    const bool cell = qxGetClassID(args[1]) == qxCELL_CLASS;
    read.content = cell ? args[1] : nullptr;
    read.pairsStart = cell ? 2 : 1;
  }
  return read;
}

}  // namespace

// --- the Content property ------------------------------------------------------------------

Variant_Content_PI::Variant_Content_PI()
    : OBPropInfoTemplate("Content", "Description for patch.", "PELLAM array", kSettable) {}

void* Variant_Content_PI::getValue(OBDatabaseClient*, OBInterface* inst) {
  return const_cast<qxArray*>(requireVariant(inst)->getContent());
}

void Variant_Content_PI::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  requireVariant(inst)->setContent(static_cast<const qxArray*>(value));
}

// --- the class ----------------------------------------------------------------------------------

VariantOBC::VariantOBC() {
  startComponentClass(*this, "Variant", false, true);
  addProperty(new HostGuarded<ActivePIT>(&Variant::getActive, &Variant::setActive, "Active", "", kSettable));
  addProperty(new HostGuarded<ModelComponent_AnnotationPIT>());
  addProperty(new HostGuarded<Variant_Content_PI>());
  addProperty(newNamePropInfo());
  addProperty(new HostGuarded<ModelComponent_NotesPIT>());
  addProperty(new HostGuarded<ModelComponent_ParentPIT>());
  addProperty(new HostGuarded<ModelComponent_TagPIT>());
  addProperty(new HostGuarded<ModelComponent_TypePIT>());
  addProperty(new HostGuarded<ModelComponent_UserDataPIT>());
  addMethod(new HostGuarded<Variant_AddContent_MI>());
  addMethod(new HostGuarded<Variant_RemoveContent_MI>());
  addMethod(new HostGuarded<Variant_display_MI>());
  addMethod(new HostGuarded<ModelComponent_help_MI>());
  addMethod(new HostGuarded<ModelComponent_copy_MI>());
  addMethod(newVariantVerifyMethod());
  addMethod(new HostGuarded<Variant_Commit_MI>());
  addMethod(new HostGuarded<Variant_copyobj_MI>());
  addMethod(new HostGuarded<Variant_GetComponentUsageLocations_MI>());
}

OBInterface* VariantOBC::createInstance(OBDatabaseClient*, int argc, void* const argv[], OBInterface*,
                                        int) {
  auto* const* args = reinterpret_cast<qxArray* const*>(argv);
  const CreationArguments read = readArguments(argc, args);
  if (argc > 0 && read.name.empty()) {
    throw ErrorIdException("Kestrion:VariantObjectMustHaveName", "A Kestrion.Variant object must have a name.");
  }
  auto* variant = new Variant();
  try {
    variant->setContent(read.content);
    if (argc > 0) variant->setName(read.name);
  } catch (...) {
    delete variant;
    throw;
  }
  OBInterface* instance = qh::makeInstance(variant, this);
  qh::applyPairsOrDiscard(instance, argc, read.pairsStart, args);
  qh::postObjectCreated(instance, "variant", "");
  return instance;
}

void VariantOBC::destroyInstance(OBInterface* inst) {
  auto* variant = variantOf(inst);
  if (!variant) return;
  qh::postObjectDestroyed(nullptr, inst, "variant", variant->getName().c_str());
  if (Kelbor* model = kelborFromHandle(inst->getUp())) model->removeVariant(variant);
  qh::releaseUserData(variant);
  inst->setComponentObject(nullptr);
  variant->setOBI(nullptr);
  delete variant;
}

OBClass* getVariantOBClass() {
  static OBClass* cls = registerHostClass(new HostGuarded<VariantOBC>());
  return cls;
}

Variant* variantOf(const OBInterface* instance) {
  if (!instance || !instance->isValid() || std::strcmp(instance->getClass()->getName(), "Variant") != 0) {
    return nullptr;
  }
  return dynamic_cast<Variant*>(componentOf(instance));
}

void announceContentChange(OBInterface* instance) { notifyPropertyPostSet(instance, "Content", nullptr); }
