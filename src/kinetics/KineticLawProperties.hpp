// The property infos of the host class "KineticLaw".
#pragma once

#include "core/KelborApi.hpp"

class OBClass;

// Adds, in class order: Expression, FullyQualifiedName, KineticLawName,
// Parameters, ParameterVariables, ParameterVariableNames, Parent,
// SpeciesVariables, SpeciesVariableNames.  Also makes the host type
// "KStrAKLEnumStrings" whose allowed values are the names of the library
// laws (built-in first).
KELBOR_API void addKineticLawProperties(OBClass& cls);
