#pragma once

#include <string>

#include "core/KelborApi.hpp"

class Kelbor;
class OBInterface;

// The compile-needed flag that the configuration-set interfaces share.
class KELBOR_API CompileNeeded {
 public:
  virtual ~CompileNeeded();
  // True when the object (or any object it owns) changed since the last
  // compile.
  virtual bool getCompileNeeded() const = 0;
  // True sets the object's own flag; false clears its own flag and those of
  // the objects it owns.
  virtual void setCompileNeeded(bool needed) = 0;
};

// A configuration set as the model sees it.
class KELBOR_API KStrConfigurationSetApi : public CompileNeeded {
 public:
  virtual const std::string& getName() const = 0;
  virtual bool getActive() const = 0;
  // Stores the Active flag and marks the set as needing compilation.
  virtual void setActive(bool active) = 0;
  // The set's own host instance.
  virtual OBInterface* getOBI() const = 0;
  // The model the set is attached to, or null.
  virtual void setModel(Kelbor* model) = 0;
  virtual Kelbor* getModel() const = 0;
};
