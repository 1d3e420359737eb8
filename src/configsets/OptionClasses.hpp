// The host classes of the option objects of a configuration set, made once
// by their accessors, and what the configuration set's host class needs of
// them.
#pragma once

#include "core/KelborApi.hpp"

class OBClass;
class OBInterface;
class KStrSolverConfigSetApi;

KELBOR_API OBClass* getCompileOptionsOBClass();
KELBOR_API OBClass* getRuntimeOptionsOBClass();
KELBOR_API OBClass* getSSASolverOptionsOBClass();
KELBOR_API OBClass* getExplicitTauSolverOptionsOBClass();
KELBOR_API OBClass* getImplicitTauSolverOptionsOBClass();
KELBOR_API OBClass* getODESolverOptionsOBClass();
KELBOR_API OBClass* getDistributedOBClass();
KELBOR_API OBClass* getSensitivityAnalysisOptionsOBClass();

namespace kstr::configsets {

// Prints the summary block of an option object inside a configuration
// set's display (nothing for an object whose class has none).
KELBOR_API void displayNested(OBInterface* options);
// The solver options behind an instance of one of the four solver classes;
// null for any other instance.
KELBOR_API KStrSolverConfigSetApi* solverOptionsBehind(const OBInterface* instance);

}  // namespace kstr::configsets
