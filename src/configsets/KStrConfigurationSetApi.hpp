// The interfaces through which the model, the compile services and the
// simulation side see a configuration set and its option objects, and the
// compile-needed flag they all share.
#pragma once

#include <string>
#include <utility>

#include "core/KelborApi.hpp"
#include <ks_utils/kstrContainers.hpp>

class BParameter;
class BSpecies;
class Kelbor;
class KelborComponent;
class OBInterface;
class Vector;
struct qxArray_tag;

// A flag that marks an object as changed since the last compilation; true
// from construction until a configuration set clears it.
class KELBOR_API CompileNeeded {
 public:
  CompileNeeded() = default;
  CompileNeeded(const CompileNeeded& other) = default;
  CompileNeeded& operator=(const CompileNeeded& other) = default;
  virtual ~CompileNeeded();
  virtual bool getCompileNeeded() const { return compileNeeded_; }
  virtual void setCompileNeeded(bool needed) { compileNeeded_ = needed; }

 private:
  bool compileNeeded_ = true;
};

class KStrCompileConfigSetApi;
class KStrRuntimeConfigSetApi;
class KStrSolverConfigSetApi;
class KStrSensitivityAnalysisConfigSetApi;
class KStrDistributedConfigSetApi;

// A configuration set: the simulation's solver choice, times, units and its
// option objects.
class KELBOR_API KStrConfigurationSetApi : public CompileNeeded {
 public:
  virtual const std::string& getName() const = 0;
  // Refuses "" and "active"; an attached set asks its model first.
  virtual void setName(const std::string& name) = 0;
  virtual int getSolverType() const = 0;
  virtual const char* getNotes() const = 0;
  virtual double getStartTime() const = 0;
  virtual void setStartTime(double time) = 0;
  virtual double getStopTime() const = 0;
  virtual int getStopTimeType() const = 0;
  virtual void setStopTime(double time) = 0;
  virtual const char* getTimeUnits() const = 0;
  virtual void setTimeUnits(const char* units) = 0;
  virtual bool getActive() const = 0;
  // Stores the Active flag and marks the set as needing compilation.
  virtual void setActive(bool active) = 0;
  // The model the set is attached to, or null.
  virtual void setModel(Kelbor* model) = 0;
  virtual Kelbor* getModel() const = 0;
  virtual KStrCompileConfigSetApi* getCompileOptions() const = 0;
  virtual KStrRuntimeConfigSetApi* getRuntimeOptions() const = 0;
  // The options of the current solver type; null when none are filed.
  virtual KStrSolverConfigSetApi* getSolverOptions() = 0;
  virtual KStrSensitivityAnalysisConfigSetApi* getSensitivityAnalysisOptions() const = 0;
  virtual KStrDistributedConfigSetApi* getDistributedOptions() const = 0;
  // The set's own host instance.
  virtual OBInterface* getOBI() const = 0;
};

class KELBOR_API KStrCompileConfigSetApi : public CompileNeeded {
 public:
  virtual bool getDimensionalAnalysis() const = 0;
  virtual bool getUnitConversion() const = 0;
  // substance 0, concentration 1.
  virtual int getDefaultSpeciesDimension() const = 0;
};

// The states a simulation logs: species and parameters, in the order given.
class KELBOR_API KStrRuntimeConfigSetApi : public CompileNeeded {
 public:
  using SpeciesList = kstrVector<BSpecies*>;
  using ParameterList = kstrVector<BParameter*>;
  using StateList = kstrVector<const KelborComponent*>;
  // The species and the parameters to log; both null for the default choice
  // (every state), both empty when nothing is logged.
  virtual std::pair<const SpeciesList*, const ParameterList*> getStatesToLog() const = 0;
  // Takes the three lists (any may be null), frees what it held, marks
  // compile needed.
  virtual void setStatesToLog(SpeciesList* species, ParameterList* parameters,
                              StateList* all) = 0;
  // Position of the component among all logged states; the number of logged
  // states when it is not logged.
  virtual size_t getStateIndex(const KelborComponent* component) const = 0;
  // The host handles of the logged states, in order (a view owned by the
  // options; null for the default choice).
  virtual const Vector* getStatesToLogOBIs() const = 0;
  // Takes the handles of the vector (one reference each, handed over with
  // the vector) and marks compile needed; null forgets the handles held.
  virtual void setStatesToLogOBIs(Vector* handles) = 0;
  // Drops the component from the lists; nothing when it is not there.  The
  // compile-needed flag does not change.
  virtual void removeState(const KelborComponent* component) = 0;
  virtual bool getStatesToLogSet() const = 0;
  virtual void setStatesToLogSet(bool set) = 0;
  // Drops a deleted species or parameter: its handle (releasing the
  // reference held for it) and its entries in the lists; nothing when it is
  // not logged.  The compile-needed flag does not change.
  virtual void removeLoggedState(OBInterface* handle, const KelborComponent* component) = 0;
};

class KELBOR_API KStrSolverConfigSetApi : public CompileNeeded {
 public:
  // ssa 0, expltau 1, impltau 2; the ODE options their stored type (10).
  virtual int getSolverType() const = 0;
};

class KELBOR_API KStrStochSolverConfigSetApi : public KStrSolverConfigSetApi {
 public:
  virtual qxArray_tag* getRandomState() const = 0;
  // Takes the array (null allowed), destroys the previous one.
  virtual void setRandomState(qxArray_tag* state) = 0;
  virtual int getLogDecimation() const = 0;
  virtual void setLogDecimation(int decimation) = 0;
};

class KELBOR_API KStrSSASolverConfigSetApi : public KStrStochSolverConfigSetApi {};

class KELBOR_API KStrExplTauSolverConfigSetApi : public KStrStochSolverConfigSetApi {
 public:
  virtual double getErrorTolerance() const = 0;
};

class KELBOR_API KStrImplTauSolverConfigSetApi : public KStrStochSolverConfigSetApi {
 public:
  virtual double getAbsoluteTolerance() const = 0;
  virtual double getErrorTolerance() const = 0;
  virtual int getMaxIterations() const = 0;
};

class KELBOR_API KStrODESolverConfigSetApi : public KStrSolverConfigSetApi {
 public:
  virtual double getRelativeTolerance() const = 0;
  virtual double getAbsoluteTolerance() const = 0;
  virtual qxArray_tag* getMaxStep() const = 0;
  virtual qxArray_tag* getTSpan() const = 0;
  virtual bool getSensitivityAnalysis() const = 0;
};

class KELBOR_API KStrDistributedConfigSetApi : public CompileNeeded {
 public:
  virtual bool getUseLocalOnly() const = 0;
  virtual void setUseLocalOnly(bool localOnly) = 0;
  virtual int getNumberOfRuns() const = 0;
  virtual void setNumberOfRuns(int runs) = 0;
};

// The input factors and outputs of a sensitivity computation, as host
// handles of species and parameters.
class KELBOR_API KStrSensitivityAnalysisConfigSetApi : public CompileNeeded {
 public:
  // Each getter gives a view owned by the options (null when the list is
  // empty).  Each setter takes the vector and the references it holds (one
  // per element), releases what the list held and marks compile needed.
  virtual const Vector* getSpeciesInputFactors() const = 0;
  virtual void setSpeciesInputFactors(Vector* handles) = 0;
  virtual const Vector* getSpeciesOutputs() const = 0;
  virtual void setSpeciesOutputs(Vector* handles) = 0;
  virtual const Vector* getParameterInputFactors() const = 0;
  virtual void setParameterInputFactors(Vector* handles) = 0;
  virtual const Vector* getReservedFactors() const = 0;
  virtual void setReservedFactors(Vector* handles) = 0;
  // None 0, Half 1, Full 2.
  virtual int getNormalization() const = 0;
  virtual void setNormalization(int normalization) = 0;
  // Drops the instance from every list, releasing its reference; nothing
  // when it is in none.
  virtual void removeComponent(OBInterface* instance) = 0;
};
