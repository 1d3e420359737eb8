// The eleven built-in abstract kinetic laws that start-up puts into the
// built-in library.
#pragma once

#include "core/KelborApi.hpp"

class OBClass;

// One row of the built-in table: the law's name, expression, parameter and
// species variables (each list ends at the first null slot), notes and
// annotation (null when none).
struct BuiltinKineticLawRecord {
  const char* name;
  const char* expression;
  const char* parameterVariables[6];
  const char* speciesVariables[3];
  const char* (*notes)();
  const char* annotation;
};

// The table, in library order, and its length.
KELBOR_API const BuiltinKineticLawRecord* getBuiltinKineticLawTable();
KELBOR_API int getBuiltinKineticLawCount();

// Makes each law of the table with a host instance of the class and
// registers it in the built-in library (below the root's instance).  Runs
// once, at start-up; later calls do nothing.
KELBOR_API void createBuiltinAbstractKineticLaws(OBClass* abstractKineticLawClass);
