#include "interp/interp.hpp"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <utility>

#include "interp/interp_test.hpp"
#include "interp_internal.hpp"
#include "obk/OBClass.hpp"
#include "obk/OBDispatch.hpp"
#include "obk/OBInterface.hpp"

namespace interp_detail {

State& state() {
  static State* s = new State;
  return *s;
}

void fail(const char* id, std::string text) { throw IUserException(id, std::move(text)); }

std::string textArg(int nrhs, qxArray* prhs[], int i, const char* fn) {
  if (i >= nrhs || prhs[i] == nullptr || !qxIsChar(prhs[i]))
    fail("interp:InvalidArgument",
         std::string("Argument ") + std::to_string(i + 1) + " of '" + fn + "' must be text.");
  return qxArrayToStdString(prhs[i]);
}

std::string tempBase() {
  const char* dir = std::getenv("TMPDIR");
  std::string base = dir != nullptr && *dir != '\0' ? dir : "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base;
}

}  // namespace interp_detail

using namespace interp_detail;

IUserException::IUserException(std::string id, std::string text)
    : ErrorIdException(std::move(id), std::move(text)) {}
IUserException::~IUserException() = default;

namespace {

std::string summarize(const qxArray* a) {
  if (a == nullptr) return "<null>";
  if (qxIsChar(a)) return qxArrayToStdString(a);
  if (qxIsDouble(a) && qxGetNumberOfElements(a) == 1 && !qxIsComplex(a)) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", qxGetScalar(a));
    return buf;
  }
  if (OBInterface* obj = obkHandleOf(a))
    return std::string("<handle ") + obj->getClass()->getFullName() + ">";
  return std::string("<") + qxGetClassName(a) + " " + std::to_string(qxGetM(a)) + "x" +
         std::to_string(qxGetN(a)) + ">";
}

// Runs the function of that name: a registered callback, a built-in, or the
// class method of a first handle argument.
void dispatch(const std::string& name, int nlhs, qxArray* plhs[], int nrhs,
              qxArray* prhs[]) {
  State& s = state();
  auto it = s.functions.find(name);
  if (it != s.functions.end()) {
    InterpFunction fn = it->second;  // the callback may unregister itself
    fn(nlhs, plhs, nrhs, prhs);
    return;
  }
  if (name == "kstrgate") return kstrgate(nlhs, plhs, nrhs, prhs);
  if (name == "kstrselect") return kstrselect(nlhs, plhs, nrhs, prhs);
  if (name == "set") return builtInSet(nlhs, plhs, nrhs, prhs);
  if (name == "tempname") return tempname(nlhs, plhs, nrhs, prhs);
  if (nrhs >= 1 && obkHandleOf(prhs[0]) != nullptr) {
    obkCallMethod(name, nlhs, plhs, nrhs, prhs);
    return;
  }
  fail("interp:UndefinedFunction", "Undefined function '" + name + "'.");
}

}  // namespace

int inCallFcnWithTrap(int nlhs, qxArray* plhs[], int nrhs, qxArray* prhs[],
                      const char* name, bool trap) {
  std::string fn = name != nullptr ? name : "";
  nlhs = nlhs < 0 ? 0 : nlhs;
  nrhs = nrhs < 0 ? 0 : nrhs;
  const bool logging = state().logging;
  InterpCallRecord rec{logging ? fn : std::string(), nlhs, nrhs, {}, false, ""};
  if (logging) {
    rec.args.reserve(static_cast<size_t>(nrhs));
    for (int i = 0; i < nrhs; ++i) rec.args.push_back(summarize(prhs[i]));
  }
  // The record goes to the log, or only the call is counted.
  const auto keep = [logging](InterpCallRecord&& record) {
    if (logging) {
      state().log.push_back(std::move(record));
      return;
    }
    ++state().unlogged.calls;
    if (record.failed) ++state().unlogged.failed;
  };
  int slots = nlhs > 0 ? nlhs : 1;
  for (int i = 0; i < slots; ++i) plhs[i] = nullptr;
  std::string id, message;
  try {
    dispatch(fn, nlhs, plhs, nrhs, prhs);
    keep(std::move(rec));
    return 0;
  } catch (const ErrorIdException& e) {
    id = e.getIdentifier();
    message = e.getMessage();
  } catch (const HostError& e) {
    id = e.identifier();
    message = e.message();
  } catch (const std::exception& e) {
    id = "interp:CallFailed";
    message = e.what();
  }
  for (int i = 0; i < slots; ++i) {
    qxDestroyArray(plhs[i]);
    plhs[i] = nullptr;
  }
  rec.failed = true;
  rec.errorId = id;
  keep(std::move(rec));
  qxSetLastErrIdAndMsg(id.c_str(), message.c_str());
  if (trap) return 1;
  throw IUserException(id, message);
}

int inCallFcn(int nlhs, qxArray* plhs[], int nrhs, qxArray* prhs[], const char* name) {
  return inCallFcnWithTrap(nlhs, plhs, nrhs, prhs, name, false);
}

void interpRegisterFunction(const std::string& name, InterpFunction fn) {
  if (name.empty() || !fn) return;
  state().functions[name] = std::move(fn);
}

bool interpUnregisterFunction(const std::string& name) {
  return state().functions.erase(name) != 0;
}

void interpSetRootInstance(OBInterface* root) { state().root = root; }
OBInterface* interpGetRootInstance() { return state().root; }
void interpSetUnitRemover(InterpUnitRemover remover) {
  state().unitRemover = std::move(remover);
}

const std::vector<InterpCallRecord>& interpCallLog() { return state().log; }
void interpClearCallLog() { state().log.clear(); }
void interpTestSetCallLogging(bool on) { state().logging = on; }
InterpUnloggedCalls interpUnloggedCalls() { return state().unlogged; }
const std::map<std::string, int>& interpUpdateLibraryCounts() {
  return state().updateCounts;
}
void interpTestSetUpdateLibraryFails(bool fail) { state().updateFails = fail; }
void interpTestSetTempnameFails(bool fail) { state().tempnameFails = fail; }
std::string interpLastTempName() { return state().lastTemp; }
int interpRemovedTempDirCount() { return state().removedTempDirs; }

void interpTestReset() {
  State& s = state();
  int temps = s.tempCounter, backups = s.backupCounter;
  s = State{};
  s.tempCounter = temps;  // names stay fresh across resets
  s.backupCounter = backups;
}
