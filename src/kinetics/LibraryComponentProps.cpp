#include "kinetics/LibraryComponentProps.hpp"

void refuseChangeOfBuiltinLibraryComponent(const OBInterface* object) {
  const std::string kind = getLibraryKindName(getLibraryKindOfObject(object));
  if (isBuiltinLibraryComponent(kind, object)) {
    throw ErrorIdException("Kestrion:CannotChangeBuiltinLibraryComponent",
                           "Changing builtin library components is not allowed");
  }
}
