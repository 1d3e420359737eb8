// The options of the four solver kinds: the shared templates, the
// stochastic settings (RandomState, LogDecimation), the SSA, explicit-tau
// and implicit-tau options and the ODE options.
#pragma once

#include <cstdint>
#include <vector>

#include "configsets/KStrConfigurationSetApi.hpp"

// Solver types of a configuration set, in the order of its host enum.
namespace kstr::solver {
enum Type : int {
  ssa = 0, expltau = 1, impltau = 2, vantor = 3, corvel = 4, mirask = 5,
  tolbrin = 6, quenza = 7, harlid = 8, sembrot = 9, sundials = 10,
};
// The key a configuration set files options under: 0, 1 and 2 stay, every
// ODE type is 10.
constexpr int optionsKey(int type) noexcept { return type >= 0 && type <= 2 ? type : sundials; }
}  // namespace kstr::solver

template <class Api>
class KStrSolverConfigSet : public Api {};

// RandomState (an owned host array or null) and LogDecimation.
template <class Api>
class KStrStochSolverConfigSet : public KStrSolverConfigSet<Api> {
 public:
  ~KStrStochSolverConfigSet() override;
  qxArray_tag* getRandomState() const override { return randomState_; }
  void setRandomState(qxArray_tag* state) override;
  int getLogDecimation() const override { return logDecimation_; }
  void setLogDecimation(int decimation) override {
    logDecimation_ = decimation;
    this->setCompileNeeded(true);
  }

 protected:
  // Takes a duplicate of the other object's stochastic values.
  void copyStochasticFrom(const KStrStochSolverConfigSet& other);

 private:
  qxArray_tag* randomState_ = nullptr;
  int logDecimation_ = 1;
};

class KELBOR_API KStrSSASolverConfigSet : public KStrStochSolverConfigSet<KStrSSASolverConfigSetApi> {
 public:
  int getSolverType() const override { return kstr::solver::ssa; }
  void copyValuesFrom(const KStrSSASolverConfigSet& other) { copyStochasticFrom(other); }
};

class KELBOR_API KStrExplTauSolverConfigSet
    : public KStrStochSolverConfigSet<KStrExplTauSolverConfigSetApi> {
 public:
  int getSolverType() const override { return kstr::solver::expltau; }
  double getErrorTolerance() const override { return errorTolerance_; }
  void setErrorTolerance(double tolerance);
  void copyValuesFrom(const KStrExplTauSolverConfigSet& other);

 private:
  double errorTolerance_ = 0.03;
};

class KELBOR_API KStrImplTauSolverConfigSet
    : public KStrStochSolverConfigSet<KStrImplTauSolverConfigSetApi> {
 public:
  int getSolverType() const override { return kstr::solver::impltau; }
  double getAbsoluteTolerance() const override { return absoluteTolerance_; }
  double getErrorTolerance() const override { return errorTolerance_; }
  int getMaxIterations() const override { return maxIterations_; }
  void setAbsoluteTolerance(double tolerance);
  void setErrorTolerance(double tolerance);
  void setMaxIterations(int iterations);
  void copyValuesFrom(const KStrImplTauSolverConfigSet& other);

 private:
  double absoluteTolerance_ = 1e-6;
  double errorTolerance_ = 0.03;
  int maxIterations_ = 25;
};

// On/off switches of the ODE suite: "on" is the zero value.
namespace kstr::solver {
enum OnOff : int { on = 0, off = 1 };
}

class KELBOR_API KStrODESolverConfigSet : public KStrSolverConfigSet<KStrODESolverConfigSetApi> {
 public:
  ~KStrODESolverConfigSet() override;
  int getSolverType() const override { return solverType_; }
  double getRelativeTolerance() const override { return relativeTolerance_; }
  double getAbsoluteTolerance() const override { return absoluteTolerance_; }
  qxArray_tag* getMaxStep() const override { return maxStep_; }
  qxArray_tag* getTSpan() const override { return tSpan_; }
  bool getSensitivityAnalysis() const override { return sensitivityAnalysis_; }

  void setRelativeTolerance(double tolerance);
  void setAbsoluteTolerance(double tolerance);
  // Null or an empty array (destroyed at once) clears MaxStep.  Any other
  // array must be a real numeric scalar above 0 and not NaN, else
  // "Kestrion:InvalidMaxStep" is raised and nothing changes (the caller
  // keeps the refused array).  Takes the array; marks compile needed.
  void setMaxStep(qxArray_tag* maxStep);
  // Takes the array (null allowed) without any check; compile-needed
  // untouched.
  void setTSpan(qxArray_tag* tSpan);
  const std::vector<int32_t>& getNonNegative() const { return nonNegative_; }
  void setNonNegative(const int32_t* values, int32_t count);
  void setSensitivityAnalysis(bool on);

  // The fields the host properties write one by one; each marks compile
  // needed.
  int getNormControl() const { return normControl_; }
  void setNormControl(int value) { store(normControl_, value); }
  int getStats() const { return stats_; }
  void setStats(int value) { store(stats_, value); }
  int getBDF() const { return bdf_; }
  void setBDF(int value) { store(bdf_, value); }
  int getRefine() const { return refine_; }
  void setRefine(int value) { store(refine_, value); }
  int getMaxOrder() const { return maxOrder_; }
  void setMaxOrder(int value) { store(maxOrder_, value); }
  double getInitialStep() const { return initialStep_; }
  void setInitialStep(double value);

  void copyValuesFrom(const KStrODESolverConfigSet& other);

 private:
  void store(int& field, int value) {
    field = value;
    setCompileNeeded(true);
  }

  int solverType_ = kstr::solver::sundials;
  double relativeTolerance_ = 1e-3;
  double absoluteTolerance_ = 1e-6;
  int normControl_ = kstr::solver::on;
  int refine_ = -1;
  int stats_ = kstr::solver::on;
  double initialStep_ = -1.0;
  qxArray_tag* maxStep_ = nullptr;
  int bdf_ = kstr::solver::on;
  int maxOrder_ = 5;
  qxArray_tag* tSpan_ = nullptr;
  std::vector<int32_t> nonNegative_;
  bool sensitivityAnalysis_ = false;
};
