#include "kinetics/KineticLawMethods.hpp"

#include <cstring>
#include <string>
#include <vector>

#include <ks_utils/Errors.hpp>
#include <obk/OBClass.hpp>
#include <obk/OBInterface.hpp>
#include <obk/OBMethodInfo.hpp>
#include <obk/Vector.hpp>

#include "core/ComponentCopy.hpp"
#include "core/ModelComponentMethods.hpp"
#include "core/TreeWiring.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "kinetics/KineticLawOBC.hpp"
#include "model/MessageCatalog.hpp"
#include "model/ModelMethods.hpp"
#include "quantities/BParameter.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/ReactionMethods.hpp"
#include "core/HostBoundary.hpp"

using Code = kstr::MessageCode;

namespace {

BKineticLaw* lawArg(void* const ins[], int index) {
  return kineticLawBehind(static_cast<OBInterface*>(ins[index]));
}

bool isExactly(const BKineticLaw* law, const char* name) { return law->getAbstractName() == name; }

// The index of the first variable of the cell whose text equals name.
long variableIndex(const qxArray* cell, const char* name) {
  if (!cell || !name) return -1;
  for (size_t i = 0; i < qxGetNumberOfElements(cell); ++i) {
    if (qxTxtCmp(qxGetCell(cell, i), name)) return static_cast<long>(i);
  }
  return -1;
}

class KL_copyobj_MI : public ModelComponent_copyobj_MI {
 public:
  // A reaction takes one law: one that has a law refuses the copy as
  // "addkineticlaw" does (the copy of a whole reaction starts without one).
  bool canCopyInto(OBInterface*, OBInterface* newParent) override {
    if (!newParent || std::strcmp(newParent->getClass()->getName(), "Reaction") != 0) return false;
    const auto* reaction = dynamic_cast<const BReaction*>(componentOf(newParent));
    if (reaction && reaction->getKineticLaw()) refuseSecondKineticLaw();
    return true;
  }
  void attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface*) override {
    addKineticLawBelowReaction(copy, newParent);
  }
};

class KL_display_MI : public ModelComponent_display_MI {
 public:
  void displayOne(int&, void*[], int, void* const ins[]) override {
    print({static_cast<OBInterface*>(ins[0])});
  }
  void displayVector(int&, void*[], int, void* const ins[]) override {
    const auto* laws = static_cast<const Vector*>(ins[0]);
    print(laws ? laws->elements() : std::vector<OBInterface*>());
  }

 private:
  void print(const std::vector<OBInterface*>& laws) const {
    hbPrintf("\n");
    hbPrintf("%sKestrion Kinetic Law Array\n\n", blanks_.substr(0, 3).c_str());
    hbPrintf("%s%s%s%s\n", blanks_.substr(0, 3).c_str(), "Index:", blanks_.substr(0, 4).c_str(),
             "KineticLawName:");
    for (size_t i = 0; i < laws.size(); ++i) {
      const std::string index = std::to_string(i + 1);
      const size_t gap = index.size() < 10 ? 10 - index.size() : 0;
      hbPrintf("%s%d%s%s\n", blanks_.substr(0, 3).c_str(), static_cast<int>(i + 1),
               blanks_.substr(0, gap).c_str(), kineticLawBehind(laws[i])->getAbstractName().c_str());
    }
    hbPrintf("\n");
  }
};

// getparameters and getspecies share their shape: no name, one name or a
// cell of names; the result is a handle vector or no value.
class KL_getComponents_MI : public OBMethodInfo {
 public:
  KL_getComponents_MI(const char* name, bool species) : species_(species) {
    setName(name);
    addMethodSignature(new OBMethodSignature({"handle"}, {"handle vector"}));
    addMethodSignature(new OBMethodSignature({"handle", "PELLAM array"}, {"handle vector"}));
  }
  void invoke(OBMethodSignature*, int& nOut, void* outs[], int nIn, void* const ins[]) override {
    BKineticLaw* law = lawArg(ins, 0);
    auto* found = new Vector();
    try {
      collect(law, nIn > 1 ? static_cast<const qxArray*>(ins[1]) : nullptr, nIn > 1, *found);
    } catch (...) {
      delete found;
      throw;
    }
    nOut = 1;
    if (found->size() == 0) {
      delete found;
      outs[0] = nullptr;
      return;
    }
    // The output holds one reference per element, as "handle vector"
    // values do.
    for (OBInterface* element : found->elements()) element->getReference();
    outs[0] = found;
  }

 private:
  void collect(BKineticLaw* law, const qxArray* names, bool named, Vector& out) const;
  void addVariable(BKineticLaw* law, const char* name, Vector& out) const;

  bool species_;
};

void KL_getComponents_MI::addVariable(BKineticLaw* law, const char* name, Vector& out) const {
  if (species_) {
    const long i = variableIndex(law->getSpeciesVariables(), name);
    const BKineticLaw::NameVector& bound = law->getSpeciesVariableNames();
    if (i < 0 || static_cast<size_t>(i) >= bound.size()) return;
    const KelborComponent* c = law->findComponentApiObject(bound[static_cast<size_t>(i)]);
    if (c && c->getEnumType() == kstr::species) out.addElement(c->getOBI());
    return;
  }
  const long i = variableIndex(law->getParameterVariables(), name);
  if (i < 0) return;
  const BParameter* p = law->findParameterApiObjectAt(static_cast<unsigned int>(i));
  if (p) out.addElement(p->getOBI());
}

void KL_getComponents_MI::collect(BKineticLaw* law, const qxArray* names, bool named, Vector& out) const {
  const char* syntaxId = species_ ? "Kestrion:GETSPECIES_INVALIDSYNTAX" : "Kestrion:GETPARAMETERS_INVALIDSYNTAX";
  const Code syntax = species_ ? Code::KS_KL_GETSPECIES_INVALID_SYNTAX : Code::KS_KL_GETPARAMETERS_INVALID_SYNTAX;
  const bool all = !named || (species_ && names && qxIsChar(names) && qxTxtCmp(names, "MassAction Species"));
  if (all) {
    if (species_) {
      for (const std::string& name : law->getSpeciesVariableNames()) {
        const KelborComponent* c = name.empty() ? nullptr : law->findComponentApiObject(name);
        if (c && c->getEnumType() == kstr::species) out.addElement(c->getOBI());
      }
      return;
    }
    (void)law->getParameterVariables();
    const size_t n = law->getParameterVariableNames().size();
    for (size_t i = 0; i < n; ++i) {
      if (const BParameter* p = law->findParameterApiObjectAt(static_cast<unsigned int>(i))) {
        out.addElement(p->getOBI());
      }
    }
    return;
  }
  if (names && qxIsChar(names)) {
    addVariable(law, qxArrayToStdString(names).c_str(), out);
    return;
  }
  if (!names || !qxIsCell(names)) kstr_error(syntaxId, kstr::code(syntax));
  for (size_t i = 0; i < qxGetNumberOfElements(names); ++i) {
    if (!qxGetCell(names, i) || !qxIsChar(qxGetCell(names, i))) kstr_error(syntaxId, kstr::code(syntax));
  }
  for (size_t i = 0; i < qxGetNumberOfElements(names); ++i) {
    addVariable(law, qxArrayToStdString(qxGetCell(names, i)).c_str(), out);
  }
}

// setparameter and setspecies: (law, variable name, bound name).
class KineticLaw_setVariable_MI : public OBMethodInfo {
 public:
  KineticLaw_setVariable_MI(const char* name, bool species) : species_(species) {
    setName(name);
    addMethodSignature(new OBMethodSignature({"handle", "string", "string"}));
  }
  void invoke(OBMethodSignature*, int& nOut, void*[], int, void* const ins[]) override {
    nOut = 0;
    BKineticLaw* law = lawArg(ins, 0);
    const char* variable = static_cast<const char*>(ins[1]);
    const char* bound = static_cast<const char*>(ins[2]);
    if (isExactly(law, "Unknown")) {
      if (species_) {
        kstr_error("Kestrion:SETSPECIES_NO_VARS_FOR_UNKNOWN", kstr::code(Code::KS_KL_SETSPECIES_NO_VARS_FOR_UNKNOWN));
      }
      kstr_error("Kestrion:SETPARAMETER_NO_VARS_FOR_UNKNOWN", kstr::code(Code::KS_KL_SETPARAMETER_NO_VARS_FOR_UNKNOWN));
    }
    if (species_ && isExactly(law, "MassAction")) {
      kstr_error("Kestrion:SETSPECIES_INVALID_VAR_NAME_FOR_MASSACTION",
                 kstr::code(Code::KS_KL_SETSPECIES_INVALID_VAR_NAME_FOR_MASSACTION));
    }
    const qxArray* cell = species_ ? law->getSpeciesVariables() : law->getParameterVariables();
    BKineticLaw::NameVector names =
        species_ ? law->getSpeciesVariableNames() : law->getParameterVariableNames();
    const long index = qxGetNumberOfElements(cell ? cell : nullptr) == names.size() && !names.empty()
                           ? variableIndex(cell, variable)
                           : -1;
    if (index < 0) {
      if (species_) {
        kstr_error("Kestrion:SETSPECIES_INVALID_VAR_NAME", kstr::code(Code::KS_KL_SETSPECIES_INVALID_VAR_NAME),
                   variable ? variable : "");
      }
      kstr_error("Kestrion:SETPARAMETER_INVALID_VAR_NAME", kstr::code(Code::KS_KL_SETPARAMETER_INVALID_VAR_NAME),
                 variable ? variable : "");
    }
    names[static_cast<size_t>(index)] = bound ? bound : "";
    if (species_) {
      law->setSpeciesVariableNames(names);
    } else {
      law->setParameterVariableNames(names);
    }
  }

 private:
  bool species_;
};

class KineticLaw_Reorder_MI : public ModelContainer_Reorder_MI {
 public:
  void invoke(OBMethodSignature*, int& nOut, void*[], int, void* const ins[]) override {
    nOut = 0;
    BKineticLaw* law = lawArg(ins, 0);
    const auto* wanted = static_cast<const Vector*>(ins[1]);
    auto* current = static_cast<Vector*>(law->getOBIParameters());
    if (!haveSameMembers(wanted, current)) throwInvalidReorder();
    if (!wanted) return;
    kstrVector<BParameter*> parameters;
    for (OBInterface* element : wanted->elements()) {
      parameters.push_back(static_cast<BParameter*>(componentOf(element)));
    }
    law->reorderParameters(parameters);
    Vector* replacement = newHandleVector();
    for (OBInterface* element : wanted->elements()) addToHandleVector(element, replacement);
    law->setOBIParameters(replacement);
    // The old vector's own references go with it.
    for (OBInterface* element : current->elements()) element->releaseExternalReference();
    deleteHandleVector(current);
  }
};

}  // namespace

void addKineticLawMethods(OBClass& cls) {
  cls.addMethod(new HostGuarded<ModelContainer_addparameter_MI<BKineticLaw>>());
  cls.addMethod(new HostGuarded<KL_copyobj_MI>());
  cls.addMethod(new HostGuarded<KL_display_MI>());
  cls.addMethod(new HostGuarded<KL_getComponents_MI>("getparameters", false));
  cls.addMethod(new HostGuarded<KL_getComponents_MI>("getspecies", true));
  cls.addMethod(new HostGuarded<ModelComponent_help_MI>());
  cls.addMethod(new HostGuarded<KineticLaw_setVariable_MI>("setparameter", false));
  cls.addMethod(new HostGuarded<KineticLaw_setVariable_MI>("setspecies", true));
  cls.addMethod(new HostGuarded<KineticLaw_Reorder_MI>());
  cls.addMethod(new HostGuarded<ModelComponent_copy_MI>());
}
