#include "kinetics/BAbstractKineticLaw.hpp"

#include <cstring>

#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>
#include <ks_utils/MParseTree.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <obk/OBInterface.hpp>
#include <obk/OBPropInfo.hpp>
#include <qx/qx.hpp>

#include "core/HostBoundary.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BLibrary.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/MessageCatalog.hpp"

namespace {

qxArray* newEmptyVariableCell() {
  qxArray* cell = qxCreateCellMatrix(0, 0);
  qxSetArrayScope(cell, 0);
  return cell;
}

size_t columnCount(const qxArray* cell) { return cell ? qxGetN(cell) : 0; }

}  // namespace

BAbstractKineticLaw::BAbstractKineticLaw() : parameterVariables_(newEmptyVariableCell()) {
  // The destructor does not run when the second cell cannot be made.
  try {
    speciesVariables_ = newEmptyVariableCell();
  } catch (...) {
    qxDestroyArray(parameterVariables_);
    throw;
  }
}

BAbstractKineticLaw::~BAbstractKineticLaw() {
  hbFree(expression_);
  qxDestroyArray(parameterVariables_);
  qxDestroyArray(speciesVariables_);
}

void BAbstractKineticLaw::setName(const std::string& name) {
  if (name.find_first_not_of(' ') == std::string::npos) {
    kstr_error("Kestrion:BadAKLName", kstr::code(kstr::MessageCode::KS_AKL_BAD_NAME));
  }
  const std::string old = getName();
  storeName(name);
  // The libraries find their laws by name.
  if (BQuorvixRoot* root = BQuorvixRoot::getInstanceIfAny()) {
    for (int index : {0, 1}) root->getLibrary(index)->abstractKineticLawRenamed(this, old);
  }
}

void BAbstractKineticLaw::setExpression(const char* text) {
  // A null text (the Expression property may pass one) is stored as "".
  char* copy = hostTextCopy(text ? text : "");
  verified_ = false;
  hbFree(expression_);
  expression_ = copy;
}

void BAbstractKineticLaw::setParameterVariables(qxArray* cell) {
  parameterVariables_ = cell;
  verified_ = false;
  updateVariableNames();
}

void BAbstractKineticLaw::setSpeciesVariables(qxArray* cell) {
  speciesVariables_ = cell;
  verified_ = false;
  updateVariableNames();
}

void BAbstractKineticLaw::updateVariableNames() {
  variableNames_.clear();
  createSTDSetFromQXArrayVector(speciesVariables_, variableNames_);
  createSTDSetFromQXArrayVector(parameterVariables_, variableNames_);
}

void BAbstractKineticLaw::getVariableTokens(std::set<std::string>& tokens) const {
  if (!expression_) return;
  MParseTree tree(expression_);
  try {
    tree.init(false);
  } catch (const ErrorIdException&) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:UnableToParseAKL",
                  kstr::code(kstr::MessageCode::KS_AKL_UNABLE_TO_PARSE), expression_);
    return;
  }
  const std::set<std::string> names = variableNames_;
  kstrVector<std::string> found;
  tree.parsePLExpression(
      found, [&names](const std::string& token) -> uint64_t { return names.count(token); }, true);
  tokens.insert(found.begin(), found.end());
}

void BAbstractKineticLaw::verify() {
  if (verified_) return;
  updateVariableNames();
  std::set<std::string> tokens;
  getVariableTokens(tokens);
  const size_t declared = columnCount(parameterVariables_) + columnCount(speciesVariables_);
  if (declared != tokens.size()) {
    kstr_error_str("Kestrion:InconsistentAKL", kstr::code(kstr::MessageCode::KS_AKL_INCONSISTENT_SETUP),
                   getName());
  }
  verified_ = true;
}

// --- uses by kinetic laws --------------------------------------------------------------------

bool isAbstractKineticLawInUse(const OBInterface* law) {
  const auto* component = dynamic_cast<const BAbstractKineticLaw*>(componentOf(law));
  return component && component->getBindingCount() > 0;
}
