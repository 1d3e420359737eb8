// libFuzzer target: SBML text read through the host method "sbmlread" with
// the options "stream" and "skipcc", as a user's script would; a model that reads is
// written back with "sbmlwrite" and deleted, and the user units it
// registered are removed.  Errors of the read are the
// expected outcome for most inputs; crashes, sanitizer reports and leaks
// are the findings.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <interp/interp_test.hpp>
#include <ks_utils/Errors.hpp>
#include <obk/obk.hpp>
#include <qx/qx.hpp>

#include "core/ModuleEntry.hpp"
#include "kinetics/BLibrary.hpp"
#include "kinetics/BUnitWrapper.hpp"
#include "kinetics/LibraryRegistration.hpp"
#include "model/BQuorvixRoot.hpp"

namespace {

OBInterface* readWriteService() {
  static OBInterface* service = [] {
    hbTestSetEcho(false);
    PLInitialize_kelbor();
    return obkConstruct("Kestrion.SBMLReadWrite", 0, nullptr);
  }();
  return service;
}

// Calls a method; the outputs are the caller's.  Host errors are swallowed
// here: they are what bad input is expected to give.
std::vector<qxArray*> call(const char* method, std::vector<qxArray*> ins, int nargout) {
  std::vector<qxArray*> outs(static_cast<size_t>(nargout > 0 ? nargout : 1), nullptr);
  try {
    const int produced = obkCallMethod(method, nargout, outs.data(), static_cast<int>(ins.size()), ins.data());
    outs.resize(static_cast<size_t>(produced > 0 ? produced : 0));
  } catch (const ErrorIdException&) {
    outs.clear();
  }
  return outs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  OBInterface* service = readWriteService();
  const std::string text(reinterpret_cast<const char*>(data), size);
  qxArray* self = obkHandleArray(service);
  qxArray* argument = qxCreateString(text.c_str());
  // libSBML's consistency check is its own code, not the converters': it is
  // skipped so that the time goes to the read.
  qxArray* options = qxCreateCellMatrix(1, 2);
  qxSetCell(options, 0, qxCreateString("stream"));
  qxSetCell(options, 1, qxCreateString("skipcc"));
  std::vector<qxArray*> read = call("sbmlread", {self, argument, options}, 1);
  if (!read.empty() && obkHandleOf(read[0])) {
    for (qxArray* out : call("sbmlwrite", {self, read[0]}, 1)) qxDestroyArray(out);
    for (qxArray* out : call("delete", {read[0]}, 0)) qxDestroyArray(out);
  }
  for (qxArray* a : read) qxDestroyArray(a);
  for (qxArray* a : {self, argument, options}) qxDestroyArray(a);
  // User units that the read's unit definitions registered go again, so
  // that every input starts from the same library.
  std::vector<std::string> units;
  for (const BUnitWrapper* unit : BQuorvixRoot::getInstance()->getLibrary(1)->getUnits()) {
    units.push_back(unit->getName());
  }
  for (const std::string& name : units) removeUserUnitByName(name.c_str());
  // The platform's logs would grow with every input.
  hbTestClearPrinted();
  hbTestClearWarnings();
  obkClearEventLog();
  interpClearCallLog();
  kstr_stacked_clear();
  return 0;
}
