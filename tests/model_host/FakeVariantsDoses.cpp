#include "FakeVariantsDoses.hpp"

#include <cstring>

#include <hb/hb.hpp>
#include <obk/obk.hpp>

#include "core/Application.hpp"
#include "core/ModelComponentProps.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"

namespace fakes {

namespace {

// "Active": a bool over the component's flag, readable and settable.
template <class T>
class ActivePIT : public OBPropInfoTemplate {
 public:
  ActivePIT() : OBPropInfoTemplate("Active", "", "bool", obkDefaultAccessWord()) {}
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    auto* block = static_cast<uint8_t*>(hbMalloc(1));
    *block = behind(inst)->getActive() ? 1 : 0;
    return block;
  }
  void setValue(OBDatabaseClient*, OBInterface* inst, void* value) override {
    behind(inst)->setActive(*static_cast<uint8_t*>(value) != 0);
  }
  void releaseValue(OBDatabaseClient*, OBInterface*, void* value) override { hbFree(value); }

 private:
  static T* behind(OBInterface* inst) { return dynamic_cast<T*>(componentOf(inst)); }
};

// A creatable class: (name, ...) or nothing; the component comes from make.
template <class T>
class FakeClass : public OBClass {
 public:
  FakeClass(const char* name, OBClass* super, T* (*make)()) : make_(make) {
    setName(name);
    if (super) setSuperClass(super);
    auto* signature = new OBMethodSignature();
    signature->addArgument("PELLAM array", true);
    addConstructorSignature(signature);
    addProperty(newNamePropInfo());
    addProperty(new ActivePIT<T>());
  }
  OBInterface* createInstance(OBDatabaseClient*, int argc, void* const argv[], OBInterface*,
                              int) override {
    T* component = make_();
    auto* inst = new OBInterface(static_cast<KelborComponent*>(component), this);
    component->setOBI(inst);
    if (argc > 0) component->setName(qxArrayToStdString(static_cast<qxArray*>(argv[0])));
    return inst;
  }
  // Leaves its model (unless the model is going too) and deletes the
  // component.
  void destroyInstance(OBInterface* inst) override {
    T* component = dynamic_cast<T*>(componentOf(inst));
    if (!component) return;
    auto* model = dynamic_cast<Kelbor*>(component->getParent());
    OBInterface* up = inst->getUp();
    if (model && !(up && up->isBeingDestroyed())) forget(model, component);
    inst->setComponentObject(nullptr);
    delete component;
  }

 private:
  static void forget(Kelbor* model, Variant* variant) { model->removeVariant(variant); }
  static void forget(Kelbor* model, Dose* dose) { model->removeDose(dose); }
  T* (*make_)();
};

// The abstract superclass "Dose".
class FakeDoseBase : public OBClass {
 public:
  FakeDoseBase() { setName("Dose"); }
  bool canBeConstructed() const override { return false; }
};

Variant* makeVariant() { return new FakeVariant(); }
Dose* makeRepeatDose() { return new FakeDose(false); }
Dose* makeScheduleDose() { return new FakeDose(true); }

}  // namespace

void registerVariantAndDoseClasses() {
  static bool done = [] {
    registerHostClass(new FakeClass<Variant>("Variant", nullptr, &makeVariant));
    OBClass* dose = registerHostClass(new FakeDoseBase());
    registerHostClass(new FakeClass<Dose>("RepeatDose", dose, &makeRepeatDose));
    registerHostClass(new FakeClass<Dose>("ScheduleDose", dose, &makeScheduleDose));
    return true;
  }();
  (void)done;
}

}  // namespace fakes
