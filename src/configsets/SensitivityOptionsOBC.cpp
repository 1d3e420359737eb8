// The host class "SensitivityAnalysisOptions": the three handle lists with
// their element checks and model context, Normalization, and the display.
#include <unordered_set>

#include <ks_utils/Errors.hpp>

#include "configsets/KStrSensitivityAnalysisConfigSet.hpp"
#include "configsets/OptionClasses.hpp"
#include "configsets/OptionHostSupport.hpp"
#include "core/ModelComponentProps.hpp"
#include "core/KelborComponent.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/MessageCatalog.hpp"
#include "core/HostBoundary.hpp"

using namespace kstr::configsets;

namespace {

const char kClass[] = "SensitivityAnalysisOptions";
using T = KStrSensitivityAnalysisConfigSet;
using Code = kstr::MessageCode;

const char kNormalizationHelp[] =
    "Property used to specify the normalization for sensitivities computed during\n"
    "   simulation. 'None' specifies no normalization, 'Half' specifies normalization\n"
    "   relative to the numerator (species quantity), and 'Full' specifies full\n"
    "   dedimensionalization.";

EnumStringType* normalizationType() {
  return ensureEnumType("KStrSANormalizationType", {{"None", 0}, {"Half", 1}, {"Full", 2}});
}

// Every element must be a Kestrion object of the expected kind.
void validateSensitivityElement(const OBInterface* element, kstr::bcomptype kind, const char* property) {
  if (getKestrionObjectEnumType(element) == kind) return;
  kstr_error("Kestrion:InvalidSensInputOutput", kstr::code(Code::KS_InvalidSensInputOutput), property,
             kind == kstr::species ? "species" : "parameter");
}

// Sets one list: checked as a whole first, duplicates dropped, and, for the
// user's own sets, elements outside the model warned about and dropped.
void setHandleList(T& options, T::List which, kstr::bcomptype kind, const char* property, void* value,
                   OBDatabaseClient* client, OBInterface* instance) {
  const auto* given = static_cast<const Vector*>(value);
  if (!given || given->size() == 0) {
    options.assign(which, {});
    return;
  }
  for (OBInterface* element : given->elements()) validateSensitivityElement(element, kind, property);
  kstrVector<OBInterface*> kept;
  std::unordered_set<const OBInterface*> seen;
  const bool userSet = obkIsExternal(client);
  const Kelbor* model = userSet ? modelAboveOptions(instance) : nullptr;
  for (OBInterface* element : given->elements()) {
    if (!seen.insert(element).second) continue;
    if (userSet && !belongsToModel(element, model)) {
      const KelborComponent* component = componentOf(element);
      hb_warning_id(hbGetWarningContext(), "Kestrion:OutOfContextSensInputOutput",
                    kstr::code(Code::KS_OutOfContextSensInputOutput), component->getType(),
                    component->getName().c_str(), property, component->getType());
      continue;
    }
    kept.push_back(element);
  }
  options.assign(which, kept);
}

OBPropInfo* listProp(const char* name, const char* help, T::List which, kstr::bcomptype kind) {
  return new HostGuarded<OptionPropInfo<T>>(
      kClass, name, "handle vector", help, {},
      [which](T& o, OBInterface*) { return nativeHandleVector(o.list(which).handles()); },
      [which, kind, name](T& o, void* v, OBDatabaseClient* client, OBInterface* inst) {
        setHandleList(o, which, kind, name, v, client, inst);
      });
}

class KStrSAConfigurationSet_display_MI : public ConfigurationSetObject_display_MI {
 public:
  void printOne(OBInterface* instance) override {
    const T& o = optionsBehind<T>(instance, kClass);
    hbPrintf("\n%sKestrion Sensitivity Analysis Settings:\n\n", blanks(3));
    hbPrintf("%sNormalization:%s%s\n", blanks(5), blanks(15), normalizationType()->getEnumString(o.getNormalization()));
    hbPrintf("%sParameterInputFactors:%s%d\n", blanks(5), blanks(7), count(o, T::ParameterInputs));
    hbPrintf("%sSpeciesInputFactors:%s%d\n", blanks(5), blanks(9), count(o, T::SpeciesInputs));
    hbPrintf("%sSpeciesOutputs:%s%d\n", blanks(5), blanks(14), count(o, T::SpeciesOutputs));
    hbPrintf("\n");
  }
  void displayNested(OBInterface* instance) override {
    const T& o = optionsBehind<T>(instance, kClass);
    hbPrintf("\n%sSensitivityAnalysisOptions:\n", blanks(3));
    hbPrintf("%sInputFactors:%s%d\n", blanks(5), blanks(16), count(o, T::SpeciesInputs) + count(o, T::ParameterInputs));
    hbPrintf("%sOutputs:%s%d\n", blanks(5), blanks(21), count(o, T::SpeciesOutputs));
  }

 private:
  static int count(const T& o, T::List which) { return static_cast<int>(o.list(which).size()); }
};

class KStrSensitivityAnalysisConfigurationSetOBC : public OptionClassOf<T> {
 public:
  KStrSensitivityAnalysisConfigurationSetOBC() : OptionClassOf(kClass, true, false) {
    addMethod(new HostGuarded<OptionCopyobj_MI>("Kestrion:SensitivityOptionsCannotCopy",
                                   kstr::code(Code::KS_SensitivityOptionsCannotCopy)));
    addMethod(new HostGuarded<ModelComponent_copy_MI>());
    addMethod(new HostGuarded<OptionRefusal_MI>("delete", "Kestrion:SensitivityOptionsCannotDelete",
                                   kstr::code(Code::KS_SensitivityOptionsCannotDelete)));
    addMethod(new HostGuarded<ModelComponent_help_MI>());
    addMethod(new HostGuarded<KStrSAConfigurationSet_display_MI>());
    addProperty(listProp("SpeciesInputFactors",
                         "Property used to specify the species initial conditions with respect to\n"
                         "   which sensitivities are computed during a simulation.",
                         T::SpeciesInputs, kstr::species));
    addProperty(listProp("ParameterInputFactors",
                         "Property used to specify the parameter values with respect to which \n"
                         "   sensitivities are computed during a simulation.",
                         T::ParameterInputs, kstr::parameter));
    addProperty(listProp("SpeciesOutputs",
                         "Property used to specify the species whose sensitivities are computed\n"
                         "   during simulation.",
                         T::SpeciesOutputs, kstr::species));
    addProperty(new HostGuarded<OptionPropInfo<T>>(
        kClass, "Normalization", normalizationType()->getName(), kNormalizationHelp, {},
        [](T& o, OBInterface*) { return nativeInt(o.getNormalization()); },
        [](T& o, void* v, OBDatabaseClient*, OBInterface*) {
          o.setNormalization(intValue(v, "KStrSANormalizationType"));
        }));
  }
};

}  // namespace

OBClass* getSensitivityAnalysisOptionsOBClass() {
  static OBClass* cls = registerOptionClass(new HostGuarded<KStrSensitivityAnalysisConfigurationSetOBC>());
  return cls;
}
