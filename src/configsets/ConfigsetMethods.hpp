// Inside the host class "Configset": the option-object glue (the handle
// properties, creating the option objects, detaching and releasing them)
// and the methods, shared by the class object's files.
#pragma once

class OBClass;
class OBInterface;
class OBPropInfo;
class KStrConfigurationSet;

namespace kstr::configsets {

enum class OptionSlot { Compile, Runtime, Sensitivity };

// "CompileOptions", "RuntimeOptions" and "SensitivityAnalysisOptions".
OBPropInfo* newOptionHandleProp(OptionSlot slot);
// "AllSolverOptions" and "SolverOptions".
OBPropInfo* newAllSolverOptionsProp();
OBPropInfo* newSolverOptionsProp();

// Mode 1: one object of every option class below the set.
void createAllOptions(KStrConfigurationSet& set, OBInterface* instance);
// Mode 0: the sensitivity and the distributed options only (no property
// carries the distributed options, so a restored set makes default ones).
void createRestoreOptions(KStrConfigurationSet& set, OBInterface* instance);
// Takes the set out of its model's list (the active set's removal warns
// and makes "default" active, unless the model is going as well).  Never
// raises.
void detachFromModel(KStrConfigurationSet& set);
// Releases the references the set holds on its option objects.
void releaseOptionHandles(KStrConfigurationSet& set);

// "display", "delete", "copyobj", "copy" and "help", in that order.
void addConfigsetMethods(OBClass& cls);

}  // namespace kstr::configsets
