// The simulator's objects that a model holds without knowing them.
#pragma once

#include "core/KelborApi.hpp"

struct qxArray_tag;

// A compiled model.
class KELBOR_API CModelApi {
 public:
  virtual ~CModelApi();
  // Borrowed host arrays with the compiled event code.
  virtual qxArray_tag* getQxEventTriggerCode() const = 0;
  virtual qxArray_tag* getQxEventFunctionCode() const = 0;
};

// Simulation data of the ODE solvers.
class KELBOR_API ODESimulationDataApi {
 public:
  virtual ~ODESimulationDataApi();
};
