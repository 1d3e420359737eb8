// The method infos of the host class "KineticLaw".
#pragma once

#include "core/KelborApi.hpp"

class OBClass;

// Adds, in class order: addparameter, copyobj, display, getparameters,
// getspecies, help, setparameter, setspecies, reorder, copy.
KELBOR_API void addKineticLawMethods(OBClass& cls);
