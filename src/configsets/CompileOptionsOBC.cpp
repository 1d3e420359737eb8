// The host class "CompileOptions": its property rows, display, the refused
// delete and copyobj, instance creation and destroy hook.
#include <ks_utils/Errors.hpp>

#include "configsets/KStrCompileConfigSet.hpp"
#include "configsets/OptionClasses.hpp"
#include "configsets/OptionHostSupport.hpp"
#include "core/ModelComponentProps.hpp"
#include "host/Host.hpp"
#include "model/MessageCatalog.hpp"
#include "core/HostBoundary.hpp"

using namespace kstr::configsets;

namespace {

const char kClass[] = "CompileOptions";
using Prop = OptionPropInfo<KStrCompileConfigSet>;
using Code = kstr::MessageCode;

const char kDimensionalAnalysisHelp[] =
    "Property to specify whether to perform dimensional analysis on the\n"
    "   model before simulation.\n\n"
    "   When DimensionalAnalysis is set to true, Kestrion checks whether the \n"
    "   physical quantities of the units match and are applicable.";
const char kUnitConversionHelp[] =
    "Property to specify whether to perform unit conversion before\n"
    "   simulation. With unit conversion the matching physical quantities are\n"
    "   converted to one base unit quantity before simulation, while species\n"
    "   amounts are returned in the units you gave.";

class CompileOptions_display_MI : public ConfigurationSetObject_display_MI {
 public:
  void printOne(OBInterface* instance) override {
    const auto& options = optionsBehind<KStrCompileConfigSet>(instance, kClass);
    hbPrintf("\n");
    hbPrintf("%sKestrion Compile Settings:\n\n", blanks(3));
    hbPrintf("%sUnitConversion:%s%s\n", blanks(5), blanks(7), boolText(options.getUnitConversion()));
    hbPrintf("%sDimensionalAnalysis:%s%s\n", blanks(5), blanks(2),
             boolText(options.getDimensionalAnalysis()));
    hbPrintf("\n");
  }
  void displayNested(OBInterface* instance) override {
    const auto& options = optionsBehind<KStrCompileConfigSet>(instance, kClass);
    hbPrintf("\n%sCompileOptions:\n", blanks(3));
    hbPrintf("%sUnitConversion:%s%s\n", blanks(5), blanks(14), boolText(options.getUnitConversion()));
    hbPrintf("%sDimensionalAnalysis:%s%s\n", blanks(5), blanks(9),
             boolText(options.getDimensionalAnalysis()));
  }
};

class KStrCompileConfigurationSetOBC : public OptionClassOf<KStrCompileConfigSet> {
 public:
  KStrCompileConfigurationSetOBC() : OptionClassOf(kClass, true, false) {
    EnumStringType* dimension =
        ensureEnumType("DefaultSpeciesDimensionEnumType", {{"substance", 0}, {"concentration", 1}});
    addMethod(new HostGuarded<CompileOptions_display_MI>());
    addMethod(new HostGuarded<OptionCopyobj_MI>("Kestrion:CompileOptionsCannotCopy",
                                   kstr::code(Code::KS_CompileOptionsCannotCopy)));
    addMethod(new HostGuarded<ModelComponent_copy_MI>());
    addMethod(new HostGuarded<ModelComponent_help_MI>());
    addMethod(new HostGuarded<OptionRefusal_MI>("delete", "Kestrion:CompileOptionsCannotDelete",
                                   kstr::code(Code::KS_CompileOptionsCannotDelete)));
    addProperty(new HostGuarded<Prop>(
        kClass, "DefaultSpeciesDimension", dimension->getName(), "", {},
        [](KStrCompileConfigSet& o, OBInterface*) { return nativeInt(o.getDefaultSpeciesDimension()); },
        [](KStrCompileConfigSet& o, void* v, OBDatabaseClient*, OBInterface*) {
          o.setDefaultSpeciesDimension(intValue(v, "DefaultSpeciesDimensionEnumType"));
        }));
    addProperty(new HostGuarded<Prop>(
        kClass, "DimensionalAnalysis", "bool", kDimensionalAnalysisHelp, {},
        [](KStrCompileConfigSet& o, OBInterface*) { return nativeBool(o.getDimensionalAnalysis()); },
        [](KStrCompileConfigSet& o, void* v, OBDatabaseClient*, OBInterface*) {
          o.setDimensionalAnalysis(boolValue(v));
        }));
    addProperty(new HostGuarded<Prop>(kClass, "Type", "string", kstr::help::kType, {false, false},
                         [](KStrCompileConfigSet&, OBInterface*) { return nativeText("compileoptions"); },
                         nullptr));
    addProperty(new HostGuarded<Prop>(
        kClass, "UnitConversion", "bool", kUnitConversionHelp, {},
        [](KStrCompileConfigSet& o, OBInterface*) { return nativeBool(o.getUnitConversion()); },
        [](KStrCompileConfigSet& o, void* v, OBDatabaseClient*, OBInterface*) {
          o.setUnitConversion(boolValue(v));
        }));
  }

};

}  // namespace

OBClass* getCompileOptionsOBClass() {
  static OBClass* cls = registerOptionClass(new HostGuarded<KStrCompileConfigurationSetOBC>());
  return cls;
}
