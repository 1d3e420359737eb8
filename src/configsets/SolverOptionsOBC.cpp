// The host classes of the solver options: "SSASolverOptions",
// "ExplicitTauSolverOptions", "ImplicitTauSolverOptions" and
// "ODESolverOptions", with their checked properties and displays.
#include <cmath>
#include <cstdint>

#include <ks_utils/Errors.hpp>

#include "configsets/KStrSolverConfigSet.hpp"
#include "configsets/OptionClasses.hpp"
#include "configsets/OptionHostSupport.hpp"
#include "core/ModelComponentProps.hpp"
#include "host/Host.hpp"
#include "model/MessageCatalog.hpp"
#include "core/HostBoundary.hpp"

using namespace kstr::configsets;

namespace {

using Code = kstr::MessageCode;

const char kSSA[] = "SSASolverOptions";
const char kExplTau[] = "ExplicitTauSolverOptions";
const char kImplTau[] = "ImplicitTauSolverOptions";
const char kODE[] = "ODESolverOptions";

const char kRandomStateHelp[] =
    "Use this property to set the random number generator for\n"
    "   the stochastic solvers. Set it to an integer to start the generator\n"
    "   in a known state, so that a simulation can be repeated. The default\n"
    "   value of RandomState is [].";
const char kLogDecimationHelp[] =
    "Property that defines how often the simulation data is \n"
    "   recorded as output. With LogDecimation n, every n-th step of the\n"
    "   solver is recorded.";
const char kErrorToleranceHelp[] =
    "Specifies the error tolerance for the explicit tau and implicit tau\n"
    "   stochastic solvers. It bounds the relative change of the propensity\n"
    "   functions within one step; values between 1% and 5% are recommended.";
const char kAbsTolHelp[] =
    "Specifies the largest allowable absolute error at any step\n"
    "   in simulation.";
const char kRelTolHelp[] =
    "Specifies the allowable error tolerance relative to the state\n"
    "   vector at each simulation step. For example 1e-2 allows an error of\n"
    "   1% relative to each state value.";
const char kMaxIterationsHelp[] =
    "Specify the maximum number of iterations for the nonlinear\n"
    "   solver in impltau. Each step of the implicit tau solver solves a\n"
    "   nonlinear system; it stops after this many iterations.";

const char kToleranceText[] = "Tolerance must be a positive number less than one.";

EnumStringType* onOffType() { return ensureEnumType("kstrstats_onoff_type", {{"on", 0}, {"off", 1}}); }

// A tolerance setter that refuses values outside (0, 1) with the given
// identifier.
template <class T>
typename OptionPropInfo<T>::Set tolerance(const char* id, void (T::*setter)(double)) {
  return [id, setter](T& o, void* v, OBDatabaseClient*, OBInterface*) {
    const double x = doubleValue(v);
    if (!isOpenUnitInterval(x)) refuse(id, kToleranceText);
    (o.*setter)(x);
  };
}

// The property rows every stochastic class shares.
template <class T>
OBPropInfo* logDecimationProp(const char* cls) {
  return new HostGuarded<OptionPropInfo<T>>(
      cls, "LogDecimation", "double", kLogDecimationHelp, {},
      [](T& o, OBInterface*) { return nativeDouble(o.getLogDecimation()); },
      [](T& o, void* v, OBDatabaseClient*, OBInterface*) {
        const std::optional<int> n = countValue(doubleValue(v), 1);
        if (!n) refuse("Kestrion:ZeroOrNegativeLogDecimation", "Log decimation value must be a positive integer.");
        o.setLogDecimation(*n);
      });
}

// A whole number that the solvers' 32-bit random state holds.
bool isRandomStateScalar(const qxArray* a) {
  if (!qxIsNumeric(a) || qxIsComplex(a) || qxGetM(a) != 1 || qxGetN(a) != 1) return false;
  const double x = qxGetScalar(a);
  return std::isfinite(x) && hbEqualWithinEps(x, hbDoubleScalarRound(x)) &&
         hbDoubleScalarRound(x) >= static_cast<double>(INT32_MIN) &&
         hbDoubleScalarRound(x) <= static_cast<double>(INT32_MAX);
}

template <class T>
OBPropInfo* randomStateProp(const char* cls) {
  return new HostGuarded<OptionPropInfo<T>>(
      cls, "RandomState", "PELLAM array", kRandomStateHelp, {},
      [](T& o, OBInterface*) { return nativeArray(o.getRandomState()); },
      [](T& o, void* v, OBDatabaseClient*, OBInterface*) {
        const auto* given = static_cast<const qxArray*>(v);
        if (given && !qxIsEmpty(given) && !isRandomStateScalar(given)) {
          refuse("Kestrion:KS_RandomStateIntegerValue", "The random state property must have an integer value.");
        }
        o.setRandomState(static_cast<qxArray*>(nativeArray(given)));
      });
}

template <class T>
OBPropInfo* fixedTextProp(const char* cls, const char* name, const char* text, const char* help) {
  return new HostGuarded<OptionPropInfo<T>>(cls, name, "string", help, {false, false},
                               [text](T&, OBInterface*) { return nativeText(text); }, nullptr);
}

// The methods every solver class adds, in order.
void addSolverMethods(OBClass& cls, OBMethodInfo* display) {
  cls.addMethod(display);
  cls.addMethod(new HostGuarded<OptionCopyobj_MI>("Kestrion:SolverOptionsCannotCopy", kstr::code(Code::KS_SolverOptionsCannotCopy)));
  cls.addMethod(new HostGuarded<ModelComponent_copy_MI>());
  cls.addMethod(new HostGuarded<ModelComponent_help_MI>());
  cls.addMethod(new HostGuarded<OptionRefusal_MI>("delete", "Kestrion:SolverOptionsCannotDelete",
                                     kstr::code(Code::KS_SolverOptionsCannotDelete)));
}

void printRandomState(const qxArray* state) {
  if (state && !qxIsEmpty(state)) {
    hbPrintf("%sRandomState:%s%d\n", blanks(5), blanks(10), static_cast<int>(std::trunc(qxGetScalar(state))));
  } else {
    hbPrintf("%sRandomState:%s%s\n", blanks(5), blanks(10), "[]");
  }
}

// The display of one solver class: header, lines, and the summary.
template <class T>
class SolverDisplay_MI : public ConfigurationSetObject_display_MI {
 public:
  using Lines = void (*)(const T&, bool nested);
  SolverDisplay_MI(const char* cls, const char* kind, Lines lines) : cls_(cls), kind_(kind), lines_(lines) {}
  void printOne(OBInterface* instance) override {
    const T& options = optionsBehind<T>(instance, cls_);
    hbPrintf("\n");
    hbPrintf("%sKestrion Solver Settings: (%s)\n\n", blanks(3), kind_);
    lines_(options, false);
    hbPrintf("\n");
  }
  void displayNested(OBInterface* instance) override {
    hbPrintf("\n%sSolverOptions:\n", blanks(3));
    lines_(optionsBehind<T>(instance, cls_), true);
  }

 private:
  const char* cls_;
  const char* kind_;
  Lines lines_;
};

// Name, colon and gap are 22 characters wide in a block, 29 in a summary.
int gap(const char* name, bool nested) {
  return (nested ? 29 : 22) - static_cast<int>(std::strlen(name)) - 1;
}
void printDouble(const char* name, double value, bool nested) {
  hbPrintf("%s%s:%s%-13.6e\n", blanks(5), name, blanks(gap(name, nested)), value);
}
void printInt(const char* name, int value, bool nested) {
  hbPrintf("%s%s:%s%d\n", blanks(5), name, blanks(gap(name, nested)), value);
}

template <class T>
class SolverClass : public OptionClassOf<T> {
 public:
  explicit SolverClass(const char* name) : OptionClassOf<T>(name, true, false) {}
};

}  // namespace

// --- SSA ----------------------------------------------------------------------------

namespace {

class KStrSSASolverConfigurationSetOBC : public SolverClass<KStrSSASolverConfigSet> {
 public:
  using T = KStrSSASolverConfigSet;
  KStrSSASolverConfigurationSetOBC() : SolverClass(kSSA) {
    addSolverMethods(*this, new HostGuarded<SolverDisplay_MI<T>>(kSSA, "ssa", [](const T& o, bool nested) {
      printInt("LogDecimation", o.getLogDecimation(), nested);
      if (!nested) printRandomState(o.getRandomState());
    }));
    addProperty(logDecimationProp<T>(kSSA));
    addProperty(fixedTextProp<T>(kSSA, "Name", "ssasolver", "Id for solver."));
    addProperty(randomStateProp<T>(kSSA));
    addProperty(fixedTextProp<T>(kSSA, "Type", "solveroptions", kstr::help::kType));
  }
};

// --- explicit tau -----------------------------------------------------------------------

class KStrExplTauSolverConfigurationSetOBC : public SolverClass<KStrExplTauSolverConfigSet> {
 public:
  using T = KStrExplTauSolverConfigSet;
  KStrExplTauSolverConfigurationSetOBC() : SolverClass(kExplTau) {
    addSolverMethods(*this, new HostGuarded<SolverDisplay_MI<T>>(kExplTau, "expltau", [](const T& o, bool nested) {
      printDouble("ErrorTolerance", o.getErrorTolerance(), nested);
      printInt("LogDecimation", o.getLogDecimation(), nested);
      if (!nested) printRandomState(o.getRandomState());
    }));
    addProperty(new HostGuarded<OptionPropInfo<T>>(
        kExplTau, "ErrorTolerance", "double", kErrorToleranceHelp, {},
        [](T& o, OBInterface*) { return nativeDouble(o.getErrorTolerance()); },
        tolerance<T>("Kestrion:KS_InvalidTolerance", &T::setErrorTolerance)));
    addProperty(logDecimationProp<T>(kExplTau));
    addProperty(fixedTextProp<T>(kExplTau, "Name", "etlsolver", "Id for solver."));
    addProperty(randomStateProp<T>(kExplTau));
    addProperty(fixedTextProp<T>(kExplTau, "Type", "solveroptions", kstr::help::kType));
  }
};

// --- implicit tau -----------------------------------------------------------------------

class KStrImplTauSolverConfigurationSetOBC : public SolverClass<KStrImplTauSolverConfigSet> {
 public:
  using T = KStrImplTauSolverConfigSet;
  KStrImplTauSolverConfigurationSetOBC() : SolverClass(kImplTau) {
    addSolverMethods(*this, new HostGuarded<SolverDisplay_MI<T>>(kImplTau, "impltau", [](const T& o, bool nested) {
      printDouble("ErrorTolerance", o.getErrorTolerance(), nested);
      printInt("LogDecimation", o.getLogDecimation(), nested);
      printDouble("AbsoluteTolerance", o.getAbsoluteTolerance(), nested);
      printInt("MaxIterations", o.getMaxIterations(), nested);
      if (!nested) printRandomState(o.getRandomState());
    }));
    addProperty(new HostGuarded<OptionPropInfo<T>>(
        kImplTau, "AbsoluteTolerance", "double", kAbsTolHelp, {},
        [](T& o, OBInterface*) { return nativeDouble(o.getAbsoluteTolerance()); },
        tolerance<T>("Kestrion:KS_BadTolerance", &T::setAbsoluteTolerance)));
    addProperty(new HostGuarded<OptionPropInfo<T>>(
        kImplTau, "ErrorTolerance", "double", kErrorToleranceHelp, {},
        [](T& o, OBInterface*) { return nativeDouble(o.getErrorTolerance()); },
        tolerance<T>("Kestrion:KS_InvalidTolerance", &T::setErrorTolerance)));
    addProperty(logDecimationProp<T>(kImplTau));
    addProperty(fixedTextProp<T>(kImplTau, "Name", "itlsolver", "Id for solver."));
    addProperty(new HostGuarded<OptionPropInfo<T>>(
        kImplTau, "MaxIterations", "double", kMaxIterationsHelp, {},
        [](T& o, OBInterface*) { return nativeDouble(o.getMaxIterations()); },
        [](T& o, void* v, OBDatabaseClient*, OBInterface*) {
          const std::optional<int> n = countValue(doubleValue(v), 1);
          if (!n) refuse("Kestrion:KS_InvalidMaxIterations", "Max iterations property must be a positive integer.");
          o.setMaxIterations(*n);
        }));
    addProperty(randomStateProp<T>(kImplTau));
    addProperty(fixedTextProp<T>(kImplTau, "Type", "solveroptions", kstr::help::kType));
  }
};

}  // namespace

OBClass* getSSASolverOptionsOBClass() {
  static OBClass* cls = registerOptionClass(new HostGuarded<KStrSSASolverConfigurationSetOBC>());
  return cls;
}

OBClass* getExplicitTauSolverOptionsOBClass() {
  static OBClass* cls = registerOptionClass(new HostGuarded<KStrExplTauSolverConfigurationSetOBC>());
  return cls;
}

OBClass* getImplicitTauSolverOptionsOBClass() {
  static OBClass* cls = registerOptionClass(new HostGuarded<KStrImplTauSolverConfigurationSetOBC>());
  return cls;
}

// --- ODE ------------------------------------------------------------------------------

namespace {

using ODE = KStrODESolverConfigSet;

// An on/off switch: the enum value stored in one field.
OBPropInfo* onOffProp(const char* name, const char* help, int (ODE::*getter)() const,
                      void (ODE::*setter)(int)) {
  return new HostGuarded<OptionPropInfo<ODE>>(
      kODE, name, onOffType()->getName(), help, {},
      [getter](ODE& o, OBInterface*) { return nativeInt((o.*getter)()); },
      [setter](ODE& o, void* v, OBDatabaseClient*, OBInterface*) { (o.*setter)(intValue(v, "kstrstats_onoff_type")); });
}

void addODEProperties(OBClass& cls) {
  cls.addProperty(new HostGuarded<OptionPropInfo<ODE>>(
      kODE, "AbsoluteTolerance", "double", kAbsTolHelp, {},
      [](ODE& o, OBInterface*) { return nativeDouble(o.getAbsoluteTolerance()); },
      tolerance<ODE>("Kestrion:KS_InvalidTolerance", &ODE::setAbsoluteTolerance)));
  cls.addProperty(onOffProp("BDF", "Use Backward Differentiation Formulas in TOLBRIN", &ODE::getBDF, &ODE::setBDF));
  cls.addProperty(new HostGuarded<OptionPropInfo<ODE>>(
      kODE, "InitialStep", "double", "Suggested initial step size", {},
      [](ODE& o, OBInterface*) { return nativeDouble(o.getInitialStep()); },
      [](ODE& o, void* v, OBDatabaseClient*, OBInterface*) { o.setInitialStep(doubleValue(v)); }));
  cls.addProperty(new HostGuarded<OptionPropInfo<ODE>>(
      kODE, "MaxOrder", "int", "Maximum order of TOLBRIN.", {},
      [](ODE& o, OBInterface*) { return nativeInt(o.getMaxOrder()); },
      [](ODE& o, void* v, OBDatabaseClient*, OBInterface*) {
        const int n = intValue(v, "int");
        if (n < 1 || n > 5) refuse("Kestrion:MaxOrderBadValue", "MaxOrder must an integer value between 1 and 5");
        o.setMaxOrder(n);
      }));
  cls.addProperty(new HostGuarded<OptionPropInfo<ODE>>(
      kODE, "MaxStep", "PELLAM array", "Upper bound on step size", {},
      [](ODE& o, OBInterface*) { return nativeArray(o.getMaxStep()); },
      [](ODE& o, void* v, OBDatabaseClient*, OBInterface*) {
        auto* kept = static_cast<qxArray*>(nativeArray(static_cast<const qxArray*>(v)));
        try {
          o.setMaxStep(kept);
        } catch (...) {
          qxDestroyArray(kept);
          throw;
        }
      }));
  cls.addProperty(new HostGuarded<OptionPropInfo<ODE>>(
      kODE, "NonNegative", "Nints", "Non-negative solution components.", {},
      [](ODE& o, OBInterface*) -> void* {
        const std::vector<int32_t>& values = o.getNonNegative();
        if (values.empty()) return nullptr;
        Nints* out = obkNewNints(static_cast<int32_t>(values.size()));
        std::copy(values.begin(), values.end(), out->data);
        return out;
      },
      [](ODE& o, void* v, OBDatabaseClient*, OBInterface*) {
        const auto* given = static_cast<const Nints*>(v);
        o.setNonNegative(given ? given->data : nullptr, given ? given->count : 0);
      }));
  cls.addProperty(fixedTextProp<ODE>(kODE, "Name", "odesolver", "Id for solver."));
  cls.addProperty(onOffProp("NormControl", "Control error relative to norm of solution.", &ODE::getNormControl,
                            &ODE::setNormControl));
  cls.addProperty(new HostGuarded<OptionPropInfo<ODE>>(
      kODE, "Refine", "int", "Output refinement factor.", {},
      [](ODE& o, OBInterface*) { return nativeInt(o.getRefine()); },
      [](ODE& o, void* v, OBDatabaseClient*, OBInterface*) { o.setRefine(intValue(v, "int")); }));
  cls.addProperty(new HostGuarded<OptionPropInfo<ODE>>(
      kODE, "RelativeTolerance", "double", kRelTolHelp, {},
      [](ODE& o, OBInterface*) { return nativeDouble(o.getRelativeTolerance()); },
      tolerance<ODE>("Kestrion:KS_InvalidTolerance", &ODE::setRelativeTolerance)));
  cls.addProperty(new HostGuarded<OptionPropInfo<ODE>>(
      kODE, "SensitivityAnalysis", "bool", "True to compute sensitivities during a simulation.", {},
      [](ODE& o, OBInterface*) { return nativeBool(o.getSensitivityAnalysis()); },
      [](ODE& o, void* v, OBDatabaseClient*, OBInterface*) {
        o.setSensitivityAnalysis(boolValue(v));
      }));
  cls.addProperty(onOffProp("Stats", "Display computational cost statistics.", &ODE::getStats, &ODE::setStats));
  cls.addProperty(new HostGuarded<OptionPropInfo<ODE>>(
      kODE, "TSpan", "PELLAM array", "Set the time span to be used for this simulation.", {},
      [](ODE& o, OBInterface*) { return nativeArray(o.getTSpan()); },
      [](ODE& o, void* v, OBDatabaseClient*, OBInterface*) {
        o.setTSpan(static_cast<qxArray*>(nativeArray(static_cast<const qxArray*>(v))));
      }));
  cls.addProperty(fixedTextProp<ODE>(kODE, "Type", "solveroptions", kstr::help::kType));
}

class KStrODESolverConfigurationSetOBC : public SolverClass<ODE> {
 public:
  KStrODESolverConfigurationSetOBC() : SolverClass(kODE) {
    addSolverMethods(*this, new HostGuarded<SolverDisplay_MI<ODE>>(kODE, "ode", [](const ODE& o, bool nested) {
      printDouble("AbsoluteTolerance", o.getAbsoluteTolerance(), nested);
      printDouble("RelativeTolerance", o.getRelativeTolerance(), nested);
      const char* name = "SensitivityAnalysis";
      hbPrintf("%s%s:%s%s\n", blanks(5), name, blanks(gap(name, nested)), boolText(o.getSensitivityAnalysis()));
    }));
    addODEProperties(*this);
  }
};

}  // namespace

OBClass* getODESolverOptionsOBClass() {
  static OBClass* cls = registerOptionClass(new HostGuarded<KStrODESolverConfigurationSetOBC>());
  return cls;
}

KStrSolverConfigSetApi* kstr::configsets::solverOptionsBehind(const OBInterface* instance) {
  if (void* o = objectBehindOrNull(instance, kSSA)) return static_cast<KStrSSASolverConfigSet*>(o);
  if (void* o = objectBehindOrNull(instance, kExplTau)) return static_cast<KStrExplTauSolverConfigSet*>(o);
  if (void* o = objectBehindOrNull(instance, kImplTau)) return static_cast<KStrImplTauSolverConfigSet*>(o);
  if (void* o = objectBehindOrNull(instance, kODE)) return static_cast<KStrODESolverConfigSet*>(o);
  return nullptr;
}
