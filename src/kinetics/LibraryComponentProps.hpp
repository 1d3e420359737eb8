// The guard that keeps built-in library components unchanged: the common
// component properties of abstract kinetic laws, units and unit prefixes,
// each refusing a set on a built-in entry and asking for the library file
// to be rewritten after an accepted set on a component in a library.
#pragma once

#include <obk/Exception.hpp>

#include "core/KelborApi.hpp"
#include "core/ModelComponentProps.hpp"
#include "kinetics/BLibrary.hpp"

// Raises ErrorIdException "Kestrion:CannotChangeBuiltinLibraryComponent"
// when the object is the built-in library's entry of its name.
KELBOR_API void refuseChangeOfBuiltinLibraryComponent(const OBInterface* object);

// Keeps the base's name, type, help, flags and getter; the set refuses a
// built-in entry, applies the base's set, then updateLibraryIfAttached.
template <class Base>
class LibraryProperty_PIT : public Base {
 public:
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override {
    refuseChangeOfBuiltinLibraryComponent(inst);
    Base::setValue(client, inst, value);
    updateLibraryIfAttached(inst);
  }
};

class KELBOR_API LibraryComponent_AnnotationPIT : public LibraryProperty_PIT<ModelComponent_AnnotationPIT> {};
class KELBOR_API LibraryComponent_NotesPIT : public LibraryProperty_PIT<ModelComponent_NotesPIT> {};
class KELBOR_API LibraryComponent_ParentPIT : public LibraryProperty_PIT<ModelComponent_ParentPIT> {};
class KELBOR_API LibraryComponent_TagPIT : public LibraryProperty_PIT<ModelComponent_TagPIT> {};
class KELBOR_API LibraryComponent_TypePIT : public LibraryProperty_PIT<ModelComponent_TypePIT> {};
class KELBOR_API LibraryComponent_UserDataPIT : public LibraryProperty_PIT<ModelComponent_UserDataPIT> {};
class KELBOR_API LibraryComponent_NamePIT : public LibraryProperty_PIT<ModelComponent_NamePIT> {};
