// The built-in host functions "kstrgate", "tempname" and "set".
#include "interp_internal.hpp"

#include <sbml/xml/XMLInputStream.h>
#include <sbml/xml/XMLNode.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "obk/OBErrorStatus.hpp"

LIBSBML_CPP_NAMESPACE_USE

namespace interp_detail {

namespace {

void removeTempDir() {
  State& s = state();
  if (s.lastTemp.empty()) return;
  std::error_code ec;
  if (!std::filesystem::exists(s.lastTemp, ec)) return;
  std::filesystem::remove_all(s.lastTemp, ec);
  if (ec) fail("kstrgate:RemoveTempDirFailed", "Could not remove '" + s.lastTemp + "'.");
  ++s.removedTempDirs;
}

void updateLibrary(int nrhs, qxArray* prhs[]) {
  State& s = state();
  std::string kind = textArg(nrhs, prhs, 1, "kstrgate");
  ++s.updateCounts[kind];
  if (s.updateFails)
    fail("kstrgate:UpdateLibraryFailed", "The '" + kind + "' library could not be updated.");
}

// The check of XMLNode::convertStringToXMLNode (the text wrapped in a dummy
// element must parse and give the element content), done on a stream owned
// here: the library's helper leaks its copy of the text when it is bad.
bool isWellFormedXml(const std::string& text) {
  std::string doc = "<?xml version='1.0' encoding='UTF-8'?>\n<dummy>" + text + "</dummy>";
  XMLInputStream stream(doc.c_str(), false);
  XMLNode node(stream);
  return !stream.isError() && node.getNumChildren() > 0;
}

void checkXml(int nrhs, qxArray* prhs[]) {
  std::string text = textArg(nrhs, prhs, 1, "kstrgate");
  if (!isWellFormedXml(text)) fail("kstrgate:InvalidXML", "The text is not well-formed XML.");
}

void backupAndRemoveUnit(int nlhs, qxArray* plhs[], int nrhs, qxArray* prhs[]) {
  State& s = state();
  std::string name = textArg(nrhs, prhs, 1, "kstrgate");
  bool needsBackup = nrhs > 2 && prhs[2] != nullptr && qxGetScalar(prhs[2]) != 0.0;
  std::string backup;
  if (needsBackup) {
    std::string dir = s.lastTemp.empty() ? tempBase() : s.lastTemp;
    backup = dir + "/userunits_backup_" + std::to_string(++s.backupCounter);
  }
  InterpUnitRemover remover = s.unitRemover;
  if (!remover || !remover(name))
    fail("kstrgate:NotAUserUnit", "'" + name + "' is not a user-defined unit.");
  (void)nlhs;
  plhs[0] = qxCreateString(backup.c_str());
}

}  // namespace

void kstrgate(int nlhs, qxArray* plhs[], int nrhs, qxArray* prhs[]) {
  std::string cmd = textArg(nrhs, prhs, 0, "kstrgate");
  if (cmd == "kstrremovetempdir") return removeTempDir();
  if (cmd == "privateupdatelibrary") return updateLibrary(nrhs, prhs);
  if (cmd == "privatecheckxmlformatting") return checkXml(nrhs, prhs);
  if (cmd == "privatebackupandremoveunit")
    return backupAndRemoveUnit(nlhs, plhs, nrhs, prhs);
  fail("kstrgate:UnknownCommand", "Unknown kstrgate command '" + cmd + "'.");
}

void tempname(int, qxArray* plhs[], int, qxArray*[]) {
  State& s = state();
  if (s.tempnameFails) fail("interp:TempnameFailed", "Could not make a temporary name.");
  s.lastTemp = tempBase() + "/kstr_" + std::to_string(static_cast<long>(getpid())) + "_" +
               std::to_string(++s.tempCounter);
  plhs[0] = qxCreateString(s.lastTemp.c_str());
}

void builtInSet(int, qxArray* plhs[], int nrhs, qxArray* prhs[]) {
  OBErrorStatus status;
  qxArray* out = nullptr;
  obCallBuiltInMethod("set", 0, &out, nrhs, prhs, status);
  qxDestroyArray(out);
  (void)plhs;
  if (status.hasErrors())
    fail(status.getIdentifier(0).c_str(), status.getMessage(0));
}

}  // namespace interp_detail
