// The host class "RuntimeOptions": StatesToLog with its checks and model
// context, the hidden StatesToLogSet, the "set" method that takes 'all',
// and the display.
#include <strings.h>

#include <memory>
#include <unordered_set>

#include <ks_utils/Errors.hpp>

#include "configsets/KStrRuntimeConfigSet.hpp"
#include "configsets/OptionClasses.hpp"
#include "configsets/OptionHostSupport.hpp"
#include "core/ModelComponentProps.hpp"
#include "core/KelborComponent.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "core/HostBoundary.hpp"

using namespace kstr::configsets;

namespace {

const char kClass[] = "RuntimeOptions";
using T = KStrRuntimeConfigSet;
using Code = kstr::MessageCode;

const char kStatesToLogHelp[] =
    "Property to indicate the species data to log during a simulation.\n"
    "   This is the data returned in x during execution of \n"
    "   (t,x) = kstrsimulate(modelObj). By default all species are logged.";

[[noreturn]] void illegalStatesToLog() {
  kstr_error("Kestrion:IllegalStatesToLogSet", kstr::code(Code::KS_IllegalStatesToLogSet));
}

// The value read: the chosen handles, or by default every species and the
// non-constant parameters of the model above.
void* readStatesToLog(T& options, OBInterface* instance) {
  if (options.getStatesToLogSet()) return nativeHandleVector(options.handles().handles());
  std::unique_ptr<Vector> all(new Vector());  // given back when the walk runs out of memory
  const OBInterface* set = instance->getUp();
  if (set && set->getUp()) collectSpeciesAndParameterOBIs(set->getUp(), all.get(), false);
  return all.release();
}

// The value written: checked as a whole first; duplicates skipped; for the
// user's own sets, states outside the model are warned about and skipped.
void writeStatesToLog(T& options, void* value, OBDatabaseClient* client, OBInterface* instance) {
  const auto* given = static_cast<const Vector*>(value);
  if (!given) {
    options.assignStates({});
    options.setStatesToLogSet(true);
    return;
  }
  for (OBInterface* element : given->elements()) {
    const char* type = getKestrionObjectType(element);
    if (!type || (std::strcmp(type, "species") != 0 && std::strcmp(type, "parameter") != 0)) illegalStatesToLog();
  }
  const bool userSet = obkIsExternal(client);
  const Kelbor* model = userSet ? modelAboveOptions(instance) : nullptr;
  std::unordered_set<const OBInterface*> taken;
  kstrVector<OBInterface*> kept;
  for (OBInterface* element : given->elements()) {
    if (taken.count(element)) continue;
    if (userSet && !belongsToModel(element, model)) {
      const KelborComponent* component = componentOf(element);
      hb_warning_id(hbGetWarningContext(), "Kestrion:OutOfContextStateToLog",
                    kstr::code(Code::KS_OutOfContextStateToLog), component->getType(),
                    component->getName().c_str());
      continue;
    }
    taken.insert(element);
    kept.push_back(element);
  }
  options.assignStates(kept);
  options.setStatesToLogSet(true);
}

std::string statesToLogText(const T& options) {
  if (!options.hasLists()) return options.getStatesToLogSet() ? "0" : "all";
  return std::to_string(options.numLoggedStates());
}

class KStrRuntimeConfigurationSet_display_MI : public ConfigurationSetObject_display_MI {
 public:
  void printOne(OBInterface* instance) override {
    const std::string text = statesToLogText(optionsBehind<T>(instance, kClass));
    hbPrintf("\n");
    hbPrintf("%sKestrion Runtime Settings:\n\n", blanks(3));
    hbPrintf("%sStatesToLog:%s%s\n", blanks(5), blanks(10), text.c_str());
    hbPrintf("\n");
  }
  void displayNested(OBInterface* instance) override {
    const std::string text = statesToLogText(optionsBehind<T>(instance, kClass));
    hbPrintf("\n%sRuntimeOptions:\n", blanks(3));
    hbPrintf("%sStatesToLog:%s%s\n", blanks(5), blanks(17), text.c_str());
  }
};

// "set": set(obj, 'StatesToLog', 'all') returns to the default choice;
// every other call goes to the host's own "set".
class KStrRuntimeConfigurationSet_Set_MI : public OBMethodInfo {
 public:
  KStrRuntimeConfigurationSet_Set_MI() {
    setName("set");
    threeArguments_ = new OBMethodSignature({"handle", "string", "PELLAM array"});
    addMethodSignature(threeArguments_);
    addMethodSignature(new OBMethodSignature({"handle"}, {"PELLAM array"}));
  }
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int, void* const ins[]) override {
    auto* instance = static_cast<OBInterface*>(ins[0]);
    if (matched == threeArguments_) {
      const char* name = static_cast<const char*>(ins[1]);
      const auto* value = static_cast<const qxArray*>(ins[2]);
      if (name && strcasecmp(name, "StatesToLog") == 0 && value && qxIsChar(value)) {
        setAll(instance, value);
        nOut = 0;
        return;
      }
    }
    forward(matched == threeArguments_, nOut, outs, ins);
  }

 private:
  static void setAll(OBInterface* instance, const qxArray* value) {
    char* text = qxCreateCStrFromArray(value);
    const bool all = text && strcasecmp(text, "all") == 0;
    qxFreeEx(text);
    if (!all) illegalStatesToLog();
    T& options = optionsBehind<T>(instance, kClass);
    options.clearStates();
    options.setStatesToLogSet(false);
    notifyPropertyPostSet(instance, "StatesToLog", nullptr);
  }
  static void forward(bool three, int& nOut, void* outs[], void* const ins[]) {
    qxArray* in[3] = {OBTypeRepository::getType("handle")->toHost(ins[0]), nullptr, nullptr};
    if (three) {
      in[1] = qxCreateString(static_cast<const char*>(ins[1]) ? static_cast<const char*>(ins[1]) : "");
      in[2] = static_cast<qxArray*>(ins[2]);
    }
    qxArray* out[1] = {nullptr};
    OBErrorStatus status;
    try {
      obCallBuiltInMethod("set", three ? 0 : 1, out, three ? 3 : 1, in, status);
    } catch (...) {
      qxDestroyArray(in[0]);
      qxDestroyArray(in[1]);
      throw;
    }
    qxDestroyArray(in[0]);
    qxDestroyArray(in[1]);
    if (status.hasErrors()) {
      qxDestroyArray(out[0]);
      throw ErrorIdException("Kestrion:IllegalSet", status.getMessage(0));
    }
    nOut = three ? 0 : 1;
    if (three) {
      qxDestroyArray(out[0]);
    } else {
      outs[0] = out[0];
    }
  }

  OBMethodSignature* threeArguments_;
};

class KStrRuntimeConfigurationSetOBC : public OptionClassOf<T> {
 public:
  KStrRuntimeConfigurationSetOBC() : OptionClassOf(kClass, true, false) {
    addMethod(new HostGuarded<KStrRuntimeConfigurationSet_display_MI>());
    addMethod(new HostGuarded<OptionCopyobj_MI>("Kestrion:RuntimeOptionsCannotCopy", kstr::code(Code::KS_RuntimeOptionsCannotCopy)));
    addMethod(new HostGuarded<ModelComponent_copy_MI>());
    addMethod(new HostGuarded<ModelComponent_help_MI>());
    addMethod(new HostGuarded<KStrRuntimeConfigurationSet_Set_MI>());
    addMethod(new HostGuarded<OptionRefusal_MI>("delete", "Kestrion:RuntimeOptionsCannotDelete",
                                   kstr::code(Code::KS_RuntimeOptionsCannotDelete)));
    OptionAccess notCopied;
    notCopied.saved = false;
    addProperty(new HostGuarded<OptionPropInfo<T>>(kClass, "StatesToLog", "handle vector", kStatesToLogHelp, notCopied,
                                      readStatesToLog, writeStatesToLog));
    addProperty(new HostGuarded<OptionPropInfo<T>>(kClass, "Type", "string", kstr::help::kType, {false, false},
                                      [](T&, OBInterface*) { return nativeText("runtimeoptions"); }, nullptr));
    OptionAccess hidden;
    hidden.visible = false;
    addProperty(new HostGuarded<OptionPropInfo<T>>(
        kClass, "StatesToLogSet", "bool", "", hidden,
        [](T& o, OBInterface*) { return nativeBool(o.getStatesToLogSet()); },
        [](T& o, void* v, OBDatabaseClient*, OBInterface*) {
          const bool chosen = boolValue(v);
          if (!chosen) o.clearStates();
          o.setStatesToLogSet(chosen);
        }));
  }
};

}  // namespace

OBClass* getRuntimeOptionsOBClass() {
  static OBClass* cls = registerOptionClass(new HostGuarded<KStrRuntimeConfigurationSetOBC>());
  return cls;
}
