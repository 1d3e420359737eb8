// The class objects of "Dose", "ScheduleDose" and "RepeatDose": property
// tables, creation entries and destroy hooks.
#include "variants_doses/DoseOBC.hpp"

#include <cstring>
#include <string>
#include <vector>

#include <ks_utils/Errors.hpp>

#include "core/Application.hpp"
#include "core/ModelComponentProps.hpp"
#include "core/PropertyValuePairs.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/QuantityHostSupport.hpp"
#include "variants_doses/DoseMethods.hpp"
#include "variants_doses/RepeatDose.hpp"
#include "variants_doses/ScheduleDose.hpp"
#include "core/HostBoundary.hpp"

namespace qh = kstr::quantityhost;

namespace {

using P = PropFlags;
constexpr uint32_t kSettable = P::Settable;
// GroupIndex is neither saved nor copied.
constexpr uint32_t kGroupIndexFlags = P::Default | P::ExtSet | P::ExtGet | P::IntSet | P::IntGet | P::Visible;

template <class Comp, class T>
using Factory = obk_t::OBKFactoryPropInfoWithRelease<Comp, T, T, GetKelborCompClass<Comp>>;
using TextFactory =
    obk_t::OBKFactoryPropInfo<Dose, const std::string&, const std::string&, GetKelborCompClass<Dose>>;

// "Amount", "Rate" and "Time" of a schedule dose ("NReals"): a read hands
// the host its own copy, freed by the release.
class ScheduleDoseVectorPIT : public OBPropInfoTemplate {
 public:
  using Getter = const std::vector<double>& (ScheduleDose::*)() const;
  using Setter = void (ScheduleDose::*)(const std::vector<double>&);
  ScheduleDoseVectorPIT(const char* name, Getter get, Setter set)
      : OBPropInfoTemplate(name, "", "NReals", kSettable), get_(get), set_(set) {}
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    const std::vector<double>& values = (behind(inst)->*get_)();
    NReals* copy = obkNewNReals(static_cast<int32_t>(values.size()));
    std::copy(values.begin(), values.end(), copy->data);
    return copy;
  }
  void setValue(OBDatabaseClient*, OBInterface* inst, void* value) override {
    const auto* given = static_cast<const NReals*>(value);
    std::vector<double> values(given && given->count > 0 ? static_cast<size_t>(given->count) : 0, 0.0);
    std::copy(given ? given->data : nullptr, given ? given->data + values.size() : nullptr, values.begin());
    (behind(inst)->*set_)(values);
  }
  void releaseValue(OBDatabaseClient*, OBInterface*, void* value) override {
    obkFreeNReals(static_cast<NReals*>(value));
  }

 private:
  static ScheduleDose* behind(OBInterface* inst) {
    auto* dose = dynamic_cast<ScheduleDose*>(doseOf(inst));
    if (!dose) throw ErrorIdException("obk:InvalidObject", "The object has no component.");
    return dose;
  }
  Getter get_;
  Setter set_;
};

void addConstructorSignatures(OBClass* cls) {
  auto* named = new OBMethodSignature();
  named->addArgument("string");
  named->addArgument("PELLAM array", true);
  cls->addConstructorSignature(named);
  cls->addConstructorSignature(new OBMethodSignature());
}

// The creation entry of both kinds.  argv[0] is the name as text, the rest
// host arrays.
OBInterface* createDose(Dose* dose, OBClass* cls, int argc, void* const argv[], const char* className) {
  if (argc <= 0) {
    OBInterface* instance = qh::makeInstance(dose, cls);
    qh::postObjectCreated(instance, className, "");
    instance->activate();
    return instance;
  }
  try {
    dose->setName(makeStringFromCString(static_cast<const char*>(argv[0])));
  } catch (...) {
    delete dose;
    throw;
  }
  OBInterface* instance = qh::makeInstance(dose, cls);
  qh::applyPairsOrDiscard(instance, argc, 1, reinterpret_cast<qxArray* const*>(argv));
  qh::postObjectCreated(instance, dose->getType(), "");
  return instance;
}

void destroyDose(OBInterface* inst) {
  Dose* dose = doseOf(inst);
  if (!dose) return;
  qh::postObjectDestroyed(nullptr, inst, dose->getType(), dose->getName().c_str());
  if (Kelbor* model = kelborFromHandle(inst->getUp())) model->removeDose(dose);
  qh::releaseUserData(dose);
  inst->setComponentObject(nullptr);
  dose->setOBI(nullptr);
  delete dose;
}

}  // namespace

// --- "Dose" ------------------------------------------------------------------------------------

DoseOBC::DoseOBC() {
  setName("Dose");
  setClassQueries(true, true);
  auto* named = new OBMethodSignature();
  named->addArgument("string");
  named->addArgument("PELLAM array", true);
  addConstructorSignature(named);
  addProperty(new HostGuarded<Factory<Dose, bool>>(&Dose::getActive, &Dose::setActive, "Active", "", kSettable));
  addProperty(new HostGuarded<ModelComponent_AnnotationPIT>());
  addProperty(newNamePropInfo());
  addProperty(new HostGuarded<ModelComponent_NotesPIT>());
  addProperty(new HostGuarded<ModelComponent_ParentPIT>());
  addProperty(new HostGuarded<ModelComponent_TagPIT>());
  addProperty(new HostGuarded<ModelComponent_TypePIT>());
  addProperty(new HostGuarded<ModelComponent_UserDataPIT>());
  addProperty(new HostGuarded<TextFactory>(&Dose::getAmountUnits, &Dose::setAmountUnits, "AmountUnits", "", kSettable));
  addProperty(new HostGuarded<TextFactory>(&Dose::getDurationParameterName, &Dose::setDurationParameterName,
                              "DurationParameterName", "", kSettable));
  addProperty(new HostGuarded<TextFactory>(&Dose::getRateUnits, &Dose::setRateUnits, "RateUnits", "", kSettable));
  addProperty(new HostGuarded<TextFactory>(&Dose::getTargetName, &Dose::setTargetName, "TargetName", "", kSettable));
  addProperty(new HostGuarded<TextFactory>(&Dose::getTimeUnits, &Dose::setTimeUnits, "TimeUnits", "", kSettable));
  addProperty(new HostGuarded<Factory<Dose, int>>(&Dose::getGroupIndex, &Dose::setGroupIndex, "GroupIndex", "", kGroupIndexFlags));
  addMethod(new HostGuarded<ModelComponent_help_MI>());
  addMethod(new HostGuarded<ModelComponent_copy_MI>());
  addMethod(new HostGuarded<Dose_ResolveTarget_MI>());
  addMethod(new HostGuarded<Dose_ResolveDurationParameter_MI>());
  addMethod(new HostGuarded<Dose_display_MI>());
  addMethod(new HostGuarded<Dose_GetComponentUsageLocations_MI>());
  addMethod(new HostGuarded<Dose_copyobj_MI>());
}

OBInterface* DoseOBC::createInstance(OBDatabaseClient*, int, void* const[], OBInterface*, int) { return nullptr; }

void DoseOBC::destroyInstance(OBInterface* inst) { destroyDose(inst); }

// --- "ScheduleDose" -----------------------------------------------------------------------------

ScheduleDoseOBC::ScheduleDoseOBC() {
  setName("ScheduleDose");
  setSuperClass(getDoseOBClass());
  setClassQueries(true, true);
  addConstructorSignatures(this);
  addProperty(new HostGuarded<ScheduleDoseVectorPIT>("Amount", &ScheduleDose::getAmount, &ScheduleDose::setAmount));
  addProperty(new HostGuarded<ScheduleDoseVectorPIT>("Rate", &ScheduleDose::getRate, &ScheduleDose::setRate));
  addProperty(new HostGuarded<ScheduleDoseVectorPIT>("Time", &ScheduleDose::getTime, &ScheduleDose::setTime));
  addMethod(new HostGuarded<Dose_copyobj_MI>());
}

OBInterface* ScheduleDoseOBC::createInstance(OBDatabaseClient*, int argc, void* const argv[], OBInterface*,
                                             int) {
  return createDose(new ScheduleDose(), this, argc, argv, "ScheduleDose");
}

void ScheduleDoseOBC::destroyInstance(OBInterface* inst) { destroyDose(inst); }

// --- "RepeatDose" -------------------------------------------------------------------------------

RepeatDoseOBC::RepeatDoseOBC() {
  setName("RepeatDose");
  setSuperClass(getDoseOBClass());
  setClassQueries(true, true);
  addConstructorSignatures(this);
  addProperty(new HostGuarded<Factory<RepeatDose, double>>(&RepeatDose::getAmount, &RepeatDose::setAmount, "Amount", "", kSettable));
  addProperty(
      new HostGuarded<Factory<RepeatDose, double>>(&RepeatDose::getInterval, &RepeatDose::setInterval, "Interval", "", kSettable));
  addProperty(new HostGuarded<Factory<RepeatDose, double>>(&RepeatDose::getRate, &RepeatDose::setRate, "Rate", "", kSettable));
  addProperty(new HostGuarded<Factory<RepeatDose, int>>(&RepeatDose::getRepeatCount, &RepeatDose::setRepeatCount, "RepeatCount",
                                           "", kSettable));
  addProperty(new HostGuarded<Factory<RepeatDose, double>>(&RepeatDose::getStartTime, &RepeatDose::setStartTime, "StartTime", "",
                                              kSettable));
  addMethod(new HostGuarded<Dose_copyobj_MI>());
}

OBInterface* RepeatDoseOBC::createInstance(OBDatabaseClient*, int argc, void* const argv[], OBInterface*, int) {
  return createDose(new RepeatDose(), this, argc, argv, "RepeatDose");
}

void RepeatDoseOBC::destroyInstance(OBInterface* inst) { destroyDose(inst); }

// --- registration -----------------------------------------------------------------------------

OBClass* getDoseOBClass() {
  static OBClass* cls = registerHostClass(new HostGuarded<DoseOBC>());
  return cls;
}

OBClass* getScheduleDoseOBClass() {
  static OBClass* cls = registerHostClass(new HostGuarded<ScheduleDoseOBC>());
  return cls;
}

OBClass* getRepeatDoseOBClass() {
  static OBClass* cls = registerHostClass(new HostGuarded<RepeatDoseOBC>());
  return cls;
}

Dose* doseOf(const OBInterface* instance) {
  if (!instance || !instance->isValid()) return nullptr;
  const char* name = instance->getClass()->getName();
  if (std::strcmp(name, "ScheduleDose") != 0 && std::strcmp(name, "RepeatDose") != 0) return nullptr;
  return dynamic_cast<Dose*>(componentOf(instance));
}
