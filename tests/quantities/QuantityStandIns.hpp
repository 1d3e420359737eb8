// Small host classes that stand in for the model, reaction, rule, event
// and kinetic-law classes (the real ones are built elsewhere), for the tests
// and the benchmark of the compartment, species and parameter host classes
// and of the tree wiring.
#pragma once

#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <obk/obk.hpp>

#include "LinkedReaction.hpp"
#include "core/Application.hpp"
#include "core/ModelComponentProps.hpp"
#include "core/TreeWiring.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "model/Kelbor.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BEvent.hpp"
#include "support/TestRule.hpp"

namespace qtest {

// --- stand-in components -----------------------------------------------------------

class ProbeEvent : public BEvent {
 public:
  void removeDependentState() override {}
  void detachListenerSupport() override {}
  void debugPrint(std::ostream&) const override {}
  void updateAllExpressionsForComponentRemoved(const KelborComponent*) override {}
  void updateAllExpressionsForComponentNameChange(const KelborComponent*, const std::string&,
                                                  const std::string&) override {}
  void updateAllExpressionsForParentComponentRename(const KelborComponent*, const KelborComponent*,
                                                    const std::string&, const std::string&,
                                                    const std::string&) override {}
  void updateAllExpressionsForComponentAdded(const KelborComponent*) override {}
  std::set<size_t> updateExpressionsForRename(const KelborComponent*, const std::string&,
                                              const std::set<size_t>&) override {
    return {};
  }
  void sendJavaUpdateEvents() override {}
};

// A kinetic law whose "KineticLawName" the tests choose.
class NamedKineticLaw : public BKineticLaw {
 public:
  std::string lawName;
};

template <class T>
T* behind(const OBInterface* instance) {
  return static_cast<T*>(static_cast<KelborComponent*>(instance->getComponentObject()));
}

inline Vector* instancesOf(const kstrVector<BSpecies*>& list) {
  auto* v = new Vector();
  for (BSpecies* s : list) v->addElement(s->getOBI());
  return v;
}

// --- stand-in host classes ----------------------------------------------------------

// A "handle vector" property over a list the getter builds (no references;
// the vector goes with the release).
class ListPIT : public OBPropInfoTemplate {
 public:
  ListPIT(const char* name, std::function<Vector*(OBInterface*)> get) : get_(std::move(get)) {
    setName(name);
    setDataType("handle vector");
  }
  void* getValue(OBDatabaseClient*, OBInterface* inst) override { return get_(inst); }
  void releaseValue(OBDatabaseClient*, OBInterface*, void* value) override {
    delete static_cast<Vector*>(value);
  }

 private:
  std::function<Vector*(OBInterface*)> get_;
};

class KineticLawNamePIT : public OBPropInfoTemplate {
 public:
  KineticLawNamePIT() {
    setName("KineticLawName");
    setDataType("string");
  }
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    return const_cast<char*>(behind<NamedKineticLaw>(inst)->lawName.c_str());
  }
  void setValue(OBDatabaseClient*, OBInterface* inst, void* value) override {
    behind<NamedKineticLaw>(inst)->lawName = value ? static_cast<const char*>(value) : "";
  }
};

// "getparameters" ("handle") -> "handle vector": the law's parameters'
// instances, one reference each.
class GetParametersMI : public OBMethodInfo {
 public:
  int calls = 0;
  GetParametersMI() {
    setName("getparameters");
    addMethodSignature(new OBMethodSignature({"handle"}, {"handle vector"}));
  }
  void invoke(OBMethodSignature*, int& nOut, void* outs[], int, void* const ins[]) override {
    ++calls;
    auto* v = new Vector();
    for (BParameter* p : *behind<NamedKineticLaw>(static_cast<OBInterface*>(ins[0]))->getParameters()) {
      p->getOBI()->getReference();
      v->addElement(p->getOBI());
    }
    nOut = 1;
    outs[0] = v;
  }
};

// A class of the "Kestrion" application whose instances are made by the
// tests; the destroy hook is given.
class ProbeOBC : public OBClass {
 public:
  ProbeOBC(const char* name, std::function<void(OBInterface*)> hook) : hook_(std::move(hook)) {
    setName(name);
    addProperty(new ModelComponent_NamePIT());
  }
  OBInterface* createInstance(OBDatabaseClient*, int, void* const[], OBInterface*, int) override {
    return nullptr;
  }
  void destroyInstance(OBInterface* inst) override {
    if (inst->getComponentObject()) hook_(inst);
    inst->setComponentObject(nullptr);
  }

 private:
  std::function<void(OBInterface*)> hook_;
};

inline void releaseModelVector(Vector* v) { deleteHandleVector(v); }

// "addcompartment" (model, name): a compartment of that name below the
// model, made by the compartment's creation entry (as the model's own
// method does).  The output is lent; the tree keeps the compartment.
class TestAddCompartmentMI : public OBMethodInfo {
 public:
  TestAddCompartmentMI() {
    setName("addcompartment");
    auto* signature = new OBMethodSignature();
    signature->addArgument("handle");
    signature->addArgument("PELLAM array", true);
    signature->addOutput("handle");
    addMethodSignature(signature);
  }
  void invoke(OBMethodSignature*, int& nOut, void* outs[], int nIn, void* const ins[]) override {
    OBClass* cls = OBApplicationManager::findClass("Kestrion.Compartment");
    OBInterface* compartment = cls->createObject(OBDatabaseClient::getInternalClient(), nullptr,
                                                 nIn - 1, reinterpret_cast<qxArray* const*>(ins + 1));
    addCompartmentBelowModel(compartment, static_cast<OBInterface*>(ins[0]));
    compartment->releaseReference();
    nOut = 1;
    outs[0] = compartment;
  }
};

// "Model": a Kelbor.  Its destroy hook runs after its children's.
class TestModelOBC : public OBClass {
 public:
  TestModelOBC() {
    setName("Model");
    addConstructorSignature(new OBMethodSignature({}));
    addProperty(new ModelComponent_NamePIT());
    addMethod(new TestAddCompartmentMI());
  }
  OBInterface* createInstance(OBDatabaseClient*, int, void* const[], OBInterface*, int) override {
    auto* model = new Kelbor();
    auto* instance = new OBInterface(static_cast<KelborComponent*>(model), this);
    model->setOBI(instance);
    instance->activate();
    return instance;
  }
  void destroyInstance(OBInterface* inst) override {
    auto* model = behind<Kelbor>(inst);
    if (!model) return;
    model->notifyModelBeingDestroyed();
    for (Vector* v : {model->getOBICompartments(), model->getOBIParameters(),
                      model->getOBIReactions(), model->getOBIRules(), model->getOBIEvents()}) {
      releaseModelVector(v);
    }
    inst->setComponentObject(nullptr);
    delete model;
  }
};

inline Kelbor* modelAbove(OBInterface* inst) {
  KelborComponent* c = componentOf(inst);
  KelborComponent* p = c ? c->getParent() : nullptr;
  return p && p->getEnumType() == kstr::kstrmodel ? static_cast<Kelbor*>(p) : nullptr;
}

inline OBClass* testModelClass() {
  static OBClass* cls = registerHostClass(new TestModelOBC());
  return cls;
}

inline OBClass* probeReactionClass() {
  static OBClass* cls = [] {
    auto* c = new ProbeOBC("ProbeReaction", [](OBInterface* inst) {
      auto* reaction = behind<LinkedReaction>(inst);
      if (Kelbor* model = modelAbove(inst)) {
        model->removeReaction(reaction);
        removeFromHandleVector(inst, model->getOBIReactions());
      }
      delete reaction;
    });
    c->addProperty(new ListPIT("Reactants", [](OBInterface* i) {
      return instancesOf(behind<LinkedReaction>(i)->reactants);
    }));
    c->addProperty(new ListPIT("Products", [](OBInterface* i) {
      return instancesOf(behind<LinkedReaction>(i)->products);
    }));
    return registerHostClass(c);
  }();
  return cls;
}

inline OBClass* probeRuleClass() {
  static OBClass* cls = registerHostClass(new ProbeOBC("ProbeRule", [](OBInterface* inst) {
    auto* rule = behind<TestRule>(inst);
    if (Kelbor* model = modelAbove(inst)) {
      model->deleteRule(rule);
      removeFromHandleVector(inst, model->getOBIRules());
    }
    delete rule;
  }));
  return cls;
}

inline OBClass* probeEventClass() {
  static OBClass* cls = registerHostClass(new ProbeOBC("ProbeEvent", [](OBInterface* inst) {
    auto* event = behind<ProbeEvent>(inst);
    if (Kelbor* model = modelAbove(inst)) {
      model->deleteEvent(event);
      removeFromHandleVector(inst, model->getOBIEvents());
    }
    delete event;
  }));
  return cls;
}

inline GetParametersMI*& getParametersMethod() {
  static GetParametersMI* method = nullptr;
  return method;
}

inline OBClass* probeKineticLawClass() {
  static OBClass* cls = [] {
    auto* c = new ProbeOBC("ProbeKineticLaw", [](OBInterface* inst) {
      auto* law = behind<NamedKineticLaw>(inst);
      KelborComponent* parent = law->getParent();
      if (parent && parent->getEnumType() == kstr::reaction) {
        auto* reaction = static_cast<BReaction*>(parent);
        reaction->setKineticLaw(nullptr);
        reaction->setOBIKineticLaw(nullptr);
      }
      deleteHandleVector(static_cast<Vector*>(law->getOBIParameters()));
      delete law;
    });
    c->addProperty(new KineticLawNamePIT());
    getParametersMethod() = new GetParametersMI();
    c->addMethod(getParametersMethod());
    return registerHostClass(c);
  }();
  return cls;
}

}  // namespace qtest
