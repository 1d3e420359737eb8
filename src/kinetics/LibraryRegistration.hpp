// The registration assistants that put library components into the root's
// libraries and take them out again, one per kind, and the removal of user
// units and unit prefixes.
#pragma once

#include <string>

#include <boost/any.hpp>
#include <boost/function.hpp>

#include "core/KelborApi.hpp"

class BAbstractKineticLaw;
class KelborComponent;
class OBInterface;
class OBMethodInfo;
class OBMethodSignature;

// An assistant compares a newcomer with the library entry of the same name
// through the component class's host method "compare", hangs the
// component's host instance below the root's and asks the host to rewrite
// the user's library file.  Callers make one for a single operation.
class KELBOR_API BLibraryRegistrationAssistant {
 public:
  BLibraryRegistrationAssistant() = default;
  virtual ~BLibraryRegistrationAssistant();
  BLibraryRegistrationAssistant(const BLibraryRegistrationAssistant&) = delete;
  BLibraryRegistrationAssistant& operator=(const BLibraryRegistrationAssistant&) = delete;

  // Binds the "compare" method of the object's class.
  virtual void bindCompareMethod(OBInterface* object);
  // The answer of the bound "compare" for (a, b); binds with a first.
  virtual bool compare(OBInterface* a, OBInterface* b);
  virtual void removeFromLibrary(const std::string& name, int libraryIndex) = 0;
  virtual void registerInLibrary(OBInterface* object, int library, bool overwrite) = 0;
  // The any holds a pointer to a component of the assistant's kind; another
  // type throws boost::bad_any_cast and nothing is added.
  virtual void attachToLibrary(OBInterface* object, boost::any component, int libraryIndex) = 0;

 private:
  OBMethodInfo* compareMethod_ = nullptr;
  OBMethodSignature* compareSignature_ = nullptr;
  boost::function<bool(OBInterface*, OBInterface*)> compareCall_;
};

// Abstract kinetic laws: registerInLibrary serves the user's calls and
// takes library +1 (the user library); 0 raises
// "Kestrion:KSTRABSTRACTKL_INVALID_ARGUMENT" and a negative library (a
// built-in request) "Kestrion:KSTRABSTRACTKL_CANNOT_REGISTER_AS_BUILTIN":
// only start-up makes built-in laws, through registerAsBuiltin.  Without
// overwrite, a law equal to the registered one of its name changes nothing
// and an unequal one raises "Kestrion:KSTRABSTRACTKL_EXISTS_AS_BUILTIN" /
// "Kestrion:KSTRABSTRACTKL_EXISTS_AS_USER".  With overwrite, a user
// registration over a built-in name raises
// "Kestrion:KSTRABSTRACTKL_CANNOT_OVERWRITE_BUILTIN"; a built-in one over a
// user name warns with that identifier and replaces the user law.  User
// library changes rewrite the library file and tell the desktop.
class KELBOR_API AKLRegistrationAssistant : public BLibraryRegistrationAssistant {
 public:
  void removeFromLibrary(const std::string& name, int libraryIndex) override;
  void registerInLibrary(OBInterface* object, int library, bool overwrite) override;
  void attachToLibrary(OBInterface* object, boost::any component, int libraryIndex) override;
  // Start-up's registration of a built-in law (with overwrite).
  void registerAsBuiltin(OBInterface* object);

 private:
  void registerInto(OBInterface* object, BAbstractKineticLaw* law, int target, bool overwrite);
};

// Units and unit prefixes always go to the user library.  A newcomer equal
// to the library entry of its name changes nothing.  Otherwise a built-in
// name is refused ("Kestrion:UNIT_CANNOTADDBUILTIN_TOUSER",
// "Kestrion:UNITPREFIX_CANNOTADDBUILTIN_TOUSER"), and a definition the unit
// manager does not accept raises "Kestrion:KSUNIT_CANNOT_PARSE_UNITS";
// either way nothing is attached.  An accepted newcomer replaces the user
// entry of its name.
class KELBOR_API BUnitRegistrationAssistant : public BLibraryRegistrationAssistant {
 public:
  void removeFromLibrary(const std::string& name, int libraryIndex) override;
  void registerInLibrary(OBInterface* object, int library, bool overwrite) override;
  void attachToLibrary(OBInterface* object, boost::any component, int libraryIndex) override;
};

class KELBOR_API BUnitPrefixRegistrationAssistant : public BLibraryRegistrationAssistant {
 public:
  void removeFromLibrary(const std::string& name, int libraryIndex) override;
  void registerInLibrary(OBInterface* object, int library, bool overwrite) override;
  void attachToLibrary(OBInterface* object, boost::any component, int libraryIndex) override;
};

// Takes the law out of its library's list when it is that library's entry
// (no detaching, no file rewrite).
KELBOR_API void removeFromOwnLibrary(OBInterface* lawInstance);
// The law behind an instance of "AbstractKineticLaw", or null.
KELBOR_API BAbstractKineticLaw* abstractKineticLawOf(const OBInterface* instance);
// True when the law is the registered entry of its name in library 0 or 1
// (a free law that merely shares the name is not).
KELBOR_API bool isLibraryEntry(const BAbstractKineticLaw* law);

// Removal of a user unit (unit prefix): unregisters it from the unit
// manager (the wrapper keeps a copy of its object) and takes it out of the
// user library.  Not in the user library: warning
// "Kestrion:UnitDoesNotExistInUser" ("Kestrion:UnitPrefixDoesNotExistInUser").
// One that another user unit uses raises "Kestrion:UnitInUse"
// ("Kestrion:UnitPrefixInUse") naming that unit, and nothing changes.
KELBOR_API void removeUserUnit(OBInterface* unit);
KELBOR_API void removeUserUnitPrefix(OBInterface* prefix);
KELBOR_API void removeUserUnitByName(const char* name);
KELBOR_API void removeUserUnitPrefixByName(const char* name);
// The removal of a user unit whose new definition is registered under the
// same name right after (an SBML file redefining it): no in-use guard, as
// the units that use it resolve again once it is back.  Nothing when the
// user library holds no unit of that name.
KELBOR_API void removeUserUnitBeingRedefined(const char* name);

// One-call forms with an assistant of the kind made for the call.
KELBOR_API void registerAbstractKineticLawInLibrary(OBInterface* law, int library, bool overwrite);
KELBOR_API void registerUnitInUserLibrary(OBInterface* unit, int library, bool overwrite);
KELBOR_API void registerUnitPrefixInUserLibrary(OBInterface* prefix, int library, bool overwrite);
