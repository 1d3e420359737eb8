// Helpers of the SBML test fixture.
#include "SbmlHostFixture.hpp"

#include <interp/interp.hpp>

#include "core/KelborComponent.hpp"

namespace sbmltest {

size_t SbmlHostTest::warningCount(const std::string& id) const {
  size_t count = 0;
  for (const hbRecordedWarning& w : host_->warnings()) count += w.id == id ? 1 : 0;
  return count;
}

std::vector<std::vector<std::string>> SbmlHostTest::validate(const std::string& path) {
  std::vector<qxArray*> out = host().call(service(), "qesbmlvalidate", {host().str(path.c_str())}, 3);
  std::vector<std::vector<std::string>> lists;
  for (qxArray* list : out) {
    std::vector<std::string> texts;
    for (size_t i = 0; i < qxGetNumberOfElements(list); ++i) texts.push_back(textOf(qxGetCell(list, i)));
    lists.push_back(texts);
  }
  return lists;
}

size_t SbmlHostTest::modelCount() {
  return qxGetNumberOfElements(host().get(getOBIRoot(), "Models"));
}

std::vector<OBInterface*> SbmlHostTest::children(OBInterface* model, const char* type) {
  qxArray* args[3] = {host().handle(model), host().str("type"), host().str(type)};
  qxArray* out[1] = {nullptr};
  inCallFcn(1, out, 3, args, "kstrselect");
  host().own(out[0]);
  std::vector<OBInterface*> found;
  for (size_t i = 0; i < qxGetNumberOfElements(out[0]); ++i) {
    found.push_back(static_cast<OBInterface*>(qxGetHandle(out[0], i)));
  }
  return found;
}

std::vector<std::string> SbmlHostTest::names(OBInterface* model, const char* type) {
  std::vector<std::string> result;
  for (OBInterface* h : children(model, type)) result.push_back(componentOf(h)->getName());
  return result;
}

}  // namespace sbmltest
