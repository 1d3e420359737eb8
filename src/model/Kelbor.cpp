#include "model/Kelbor.hpp"

#include <boost/make_shared.hpp>

Kelbor::Kelbor() {
  auto data = boost::make_shared<ModelGlobalData>();
  data->model = this;
  setModelGlobalData(data);
}

Kelbor::~Kelbor() = default;

void Kelbor::componentRename(KelborComponent*, const std::string&) {}

quorvix::type_defs::RenameUndoData Kelbor::componentRename(
    KelborComponent*, const std::string&, const quorvix::type_defs::RenameUndoData&) {
  return {};
}

void Kelbor::componentNameChanged(KelborComponent*, const std::string&, const std::string&) {}

void Kelbor::notifyComponentInUseCountChange(KelborComponent*, bool) {}
