// The host interpreter as the engine sees it: host functions called by
// name with host arrays.  Names dispatch through a registry of C++
// callbacks and a few built-in functions ("kstrgate", "kstrselect", "set",
// "tempname"); an unregistered name whose first argument is a 1x1 handle
// calls that object's class method of the same name.  Inputs are
// borrowed; outputs are new arrays owned by the caller (plhs has room for
// max(nlhs, 1)).  Every call is logged.
#pragma once

#include <functional>
#include <string>

#include "obk/Exception.hpp"
#include "pellam_api.hpp"
#include "qx/qx.hpp"

class OBInterface;

// An error raised by a host function.
class PELLAM_API IUserException : public ErrorIdException {
 public:
  IUserException(std::string id, std::string text);
  ~IUserException() override;
};

// Calls a host function.  On error sets the last error
// (qxGetLastErrIdAndMsg) and throws IUserException with its identifier and
// text (errors of other kinds are converted: an ErrorIdException keeps its
// identifier, anything else becomes "interp:CallFailed").  Returns 0.
PELLAM_API int inCallFcn(int nlhs, qxArray* plhs[], int nrhs, qxArray* prhs[],
                         const char* name);
// With trap true: returns 1 on error (last error set, nothing thrown) and 0
// on success.  With trap false: as inCallFcn.
PELLAM_API int inCallFcnWithTrap(int nlhs, qxArray* plhs[], int nrhs,
                                 qxArray* prhs[], const char* name, bool trap);

// A host function implemented in C++.  It fills plhs[0..] with new arrays
// and raises errors as exceptions.
using InterpFunction =
    std::function<void(int nlhs, qxArray* plhs[], int nrhs, qxArray* prhs[])>;

// Registers (or replaces) a named function; a registered name wins over the
// built-in functions.  Empty name or callback: ignored.
PELLAM_API void interpRegisterFunction(const std::string& name,
                                       InterpFunction fn);
// Removes a registration; false when the name was not registered.
PELLAM_API bool interpUnregisterFunction(const std::string& name);

// The root instance that "kstrselect"(name, value, ...) searches under.
// Borrowed: the engine clears it (null) before the root goes away.
PELLAM_API void interpSetRootInstance(OBInterface* root);
PELLAM_API OBInterface* interpGetRootInstance();

// The user-unit removal behind "kstrgate"("privatebackupandremoveunit",
// name, needsBackup): answers false when the name is not a user unit.
// Until one is registered every name counts as not a user unit.
using InterpUnitRemover = std::function<bool(const std::string& name)>;
PELLAM_API void interpSetUnitRemover(InterpUnitRemover remover);
