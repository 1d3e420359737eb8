// The distributed-run options of a configuration set: how many runs, and
// whether only the local machine takes the load.
#pragma once

#include "configsets/KStrConfigurationSetApi.hpp"

class KELBOR_API KStrDistributedConfigSet : public KStrDistributedConfigSetApi {
 public:
  bool getUseLocalOnly() const override { return useLocalOnly_; }
  void setUseLocalOnly(bool localOnly) override {
    useLocalOnly_ = localOnly;
    setCompileNeeded(true);
  }
  int getNumberOfRuns() const override { return numberOfRuns_; }
  void setNumberOfRuns(int runs) override {
    numberOfRuns_ = runs;
    setCompileNeeded(true);
  }
  // Takes both values of another object (compile needed).
  void copyValuesFrom(const KStrDistributedConfigSetApi& other) {
    useLocalOnly_ = other.getUseLocalOnly();
    numberOfRuns_ = other.getNumberOfRuns();
    setCompileNeeded(true);
  }

 private:
  bool useLocalOnly_ = false;
  int numberOfRuns_ = 1;
};
