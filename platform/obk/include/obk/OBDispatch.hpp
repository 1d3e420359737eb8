// The host's side of a call: what the host language does when it creates
// an instance, calls a method or reads and writes a property.  The test
// host and the interpreter both go through here.  Every entry opens a qx
// call scope for its duration, makes the arrays it returns persistent
// (owned by the caller, who destroys them) and closes the scope.  Errors
// leave as ErrorIdException with the identifier and text the user sees.
#pragma once

#include <string_view>

#include "obk/OBDatabaseClient.hpp"
#include "pellam_api.hpp"
#include "qx/qx.hpp"

class OBClass;
class OBInterface;
class OBMethodInfo;
class OBMethodSignature;

// The class named "<App>.<Class>" or by its bare name (first application
// that has it).  Absent: "obk:UndefinedClass".
PELLAM_API OBClass* obkRequireClass(std::string_view name);

// Creates an instance with host-array arguments (OBClass::createObject, the
// external client, no creator).  Returns it with one reference, the
// caller's.  A class that cannot be constructed: "obk:CannotConstruct".
PELLAM_API OBInterface* obkConstruct(OBClass* cls, int nIn,
                                     qxArray* const ins[]);
PELLAM_API OBInterface* obkConstruct(std::string_view className, int nIn,
                                     qxArray* const ins[]);

// The first signature of the method, in registration order, whose input
// count fits (exact, or at least n-1 with a repeating last argument), whose
// every input passes its type's matches, and which declares at least nOut
// outputs.  Null when none.
PELLAM_API OBMethodSignature* obkMatchSignature(const OBMethodInfo* method,
                                                int nOut, int nIn,
                                                const qxArray* const ins[]);

// Calls a method by name; ins[0] is the object (a non-empty handle array;
// its first element's class has the method).  outs has room for
// max(nOut, 1).  Returns the number of outputs stored: nOut, or 1 when none
// was requested and the body produced one (the host's "ans").
// Errors: "obk:InvalidObject" (no object, or a destroyed one),
// "obk:UndefinedMethod", "obk:NoMatchingSignature", and the body's own.
PELLAM_API int obkCallMethod(std::string_view name, int nOut, qxArray* outs[],
                             int nIn, qxArray* const ins[]);
// Calls a static method of the class (no object argument).
PELLAM_API int obkCallStaticMethod(OBClass* cls, std::string_view name,
                                   int nOut, qxArray* outs[], int nIn,
                                   qxArray* const ins[]);
// Calls a given method with host arrays (match, convert, invoke, convert
// outputs, release).  Used by both entries above.
PELLAM_API int obkInvokeMethod(OBMethodInfo* method, int nOut, qxArray* outs[],
                               int nIn, qxArray* const ins[]);

// Reads a property as the client; a new array owned by the caller.
// Errors: "obk:InvalidObject", "obk:InvalidProperty" ("There is no 'X'
// property in the 'Y' class."), "obk:PropertyAccessDenied", conversions'.
PELLAM_API qxArray* obkGetProperty(OBInterface* obj, std::string_view name,
                                   OBDatabaseClient* client =
                                       OBDatabaseClient::getExternalClient());
// Writes a property as the client (value borrowed): converts through the
// property's type ("obk:InvalidValue" when it does not match), sets with
// the access check and the post-set event, releases the converted value.
PELLAM_API void obkSetProperty(OBInterface* obj, std::string_view name,
                               const qxArray* value,
                               OBDatabaseClient* client =
                                   OBDatabaseClient::getExternalClient());

// A new 1x1 handle array holding obj (one more reference), or 0x0 for null.
PELLAM_API qxArray* obkHandleArray(OBInterface* obj);
// The instance in a 1x1 handle array, or null.
PELLAM_API OBInterface* obkHandleOf(const qxArray* a) noexcept;

// --- queries shared by the built-in "find" and the interpreter -----------
// The property of obj named name (ignoring case) read with the internal
// client and converted to a new host array; null when obj lacks the
// property or may not read it.  An error of the read passes to the caller.
PELLAM_API qxArray* obkTryGetProperty(OBInterface* obj, std::string_view name);
// Equality of host values as queries use it: texts exactly (a 0x0 and a
// 1x0 text are both ""), everything else with qxIsIdentical (handles by
// identity).
PELLAM_API bool obkHostValuesEqual(const qxArray* a, const qxArray* b);

// Installs the handle-array reference hooks (idempotent; every instance
// creation and the type repository do it as well).
PELLAM_API void obkInstallHandleHooks();
