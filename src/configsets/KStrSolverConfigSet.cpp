// The solver options: stochastic settings, tau-leaping tolerances and the
// ODE settings with the MaxStep check.
#include "configsets/KStrSolverConfigSet.hpp"

#include <ks_utils/Errors.hpp>
#include <qx/qx.hpp>

#include "model/MessageCatalog.hpp"

namespace {

// A persistent duplicate of an array, or null.
qxArray* persistentCopy(const qxArray* array) {
  if (!array) return nullptr;
  qxArray* copy = qxDuplicateArray(array);
  qxSetArrayScope(copy, 0);
  return copy;
}

// Replaces an owned array; the same array again changes nothing.
void replaceArray(qxArray*& slot, qxArray* fresh) {
  if (slot == fresh) return;
  qxArray* old = slot;
  slot = fresh;
  qxDestroyArray(old);
}

}  // namespace

// --- stochastic --------------------------------------------------------------------

template <class Api>
KStrStochSolverConfigSet<Api>::~KStrStochSolverConfigSet() {
  qxDestroyArray(randomState_);
}

template <class Api>
void KStrStochSolverConfigSet<Api>::setRandomState(qxArray_tag* state) {
  replaceArray(randomState_, state);
  this->setCompileNeeded(true);
}

template <class Api>
void KStrStochSolverConfigSet<Api>::copyStochasticFrom(const KStrStochSolverConfigSet& other) {
  replaceArray(randomState_, persistentCopy(other.randomState_));
  logDecimation_ = other.logDecimation_;
  this->setCompileNeeded(true);
}

template class KStrStochSolverConfigSet<KStrSSASolverConfigSetApi>;
template class KStrStochSolverConfigSet<KStrExplTauSolverConfigSetApi>;
template class KStrStochSolverConfigSet<KStrImplTauSolverConfigSetApi>;

void KStrExplTauSolverConfigSet::setErrorTolerance(double tolerance) {
  errorTolerance_ = tolerance;
  setCompileNeeded(true);
}

void KStrExplTauSolverConfigSet::copyValuesFrom(const KStrExplTauSolverConfigSet& other) {
  copyStochasticFrom(other);
  errorTolerance_ = other.errorTolerance_;
}

void KStrImplTauSolverConfigSet::setAbsoluteTolerance(double tolerance) {
  absoluteTolerance_ = tolerance;
  setCompileNeeded(true);
}

void KStrImplTauSolverConfigSet::setErrorTolerance(double tolerance) {
  errorTolerance_ = tolerance;
  setCompileNeeded(true);
}

void KStrImplTauSolverConfigSet::setMaxIterations(int iterations) {
  maxIterations_ = iterations;
  setCompileNeeded(true);
}

void KStrImplTauSolverConfigSet::copyValuesFrom(const KStrImplTauSolverConfigSet& other) {
  copyStochasticFrom(other);
  absoluteTolerance_ = other.absoluteTolerance_;
  errorTolerance_ = other.errorTolerance_;
  maxIterations_ = other.maxIterations_;
}

// --- ODE ----------------------------------------------------------------------------------

KStrODESolverConfigSet::~KStrODESolverConfigSet() {
  qxDestroyArray(tSpan_);
  qxDestroyArray(maxStep_);
}

void KStrODESolverConfigSet::setRelativeTolerance(double tolerance) {
  relativeTolerance_ = tolerance;
  setCompileNeeded(true);
}

void KStrODESolverConfigSet::setAbsoluteTolerance(double tolerance) {
  absoluteTolerance_ = tolerance;
  setCompileNeeded(true);
}

void KStrODESolverConfigSet::setMaxStep(qxArray_tag* maxStep) {
  if (maxStep && maxStep != maxStep_ && qxIsEmpty(maxStep)) {
    qxDestroyArray(maxStep);
    maxStep = nullptr;
  }
  if (maxStep && maxStep != maxStep_) {
    const bool valid = qxIsNumeric(maxStep) && qxIsScalar(maxStep) && !qxIsComplex(maxStep) &&
                       qxGetScalar(maxStep) > 0.0 && !qxIsNaN(qxGetScalar(maxStep));
    if (!valid) kstr_error("Kestrion:InvalidMaxStep", kstr::code(kstr::MessageCode::KS_InvalidMaxStep));
  }
  replaceArray(maxStep_, maxStep);
  setCompileNeeded(true);
}

void KStrODESolverConfigSet::setTSpan(qxArray_tag* tSpan) { replaceArray(tSpan_, tSpan); }

void KStrODESolverConfigSet::setNonNegative(const int32_t* values, int32_t count) {
  std::vector<int32_t> fresh(values, values + (values && count > 0 ? count : 0));
  nonNegative_.swap(fresh);
  setCompileNeeded(true);
}

void KStrODESolverConfigSet::setSensitivityAnalysis(bool on) {
  sensitivityAnalysis_ = on;
  setCompileNeeded(true);
}

void KStrODESolverConfigSet::setInitialStep(double value) {
  initialStep_ = value;
  setCompileNeeded(true);
}

void KStrODESolverConfigSet::copyValuesFrom(const KStrODESolverConfigSet& other) {
  solverType_ = other.solverType_;
  relativeTolerance_ = other.relativeTolerance_;
  absoluteTolerance_ = other.absoluteTolerance_;
  normControl_ = other.normControl_;
  refine_ = other.refine_;
  stats_ = other.stats_;
  initialStep_ = other.initialStep_;
  replaceArray(maxStep_, persistentCopy(other.maxStep_));
  bdf_ = other.bdf_;
  maxOrder_ = other.maxOrder_;
  replaceArray(tSpan_, persistentCopy(other.tSpan_));
  nonNegative_ = other.nonNegative_;
  sensitivityAnalysis_ = other.sensitivityAnalysis_;
  setCompileNeeded(true);
}
