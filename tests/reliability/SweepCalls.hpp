// Making the arguments of a planned sweep call and making the call through
// the host dispatch as a user's script does, with the ways a call can end.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <qx/qx.hpp>

#include "BadValues.hpp"
#include "SweepPlan.hpp"

class OBInterface;

// How one call ended.
struct SweepOutcome {
  bool accepted = false;
  std::string errorId;  // the host error's identifier when refused
  std::string escaped;  // a C++ exception that is no host error
};

// Runs the body and sorts how it ended: returned, a host error, or another
// exception reaching the host (std::bad_alloc among them).
SweepOutcome outcomeOf(const std::function<void()>& body);

class SweepCaller {
 public:
  // The bad values and property names of the plan for these classes.
  explicit SweepCaller(const std::vector<OBClass*>& classes);

  size_t badCount() const { return bad_.size(); }
  const std::vector<std::string>& propertyNames() const { return names_; }

  // The member and its arguments as one line ("Class.member set(<value>)").
  std::string describe(const SweepMember& member, const SweepCall& call) const;
  // The call's arguments (persistent; the caller destroys them).
  std::vector<qxArray*> makeArgs(const SweepCall& call, const ValueSources& sources) const;
  // Calls the member through the host's dispatch; what it raises passes on.
  // A result goes into outs[0] (the caller destroys it).
  static void invoke(const SweepMember& member, const SweepCall& call, OBInterface* self,
                     std::vector<qxArray*>& args, qxArray* outs[]);

 private:
  std::vector<BadValue> bad_;
  std::vector<std::string> names_;
};

// Whether the host's dispatch refuses the arguments before it calls the
// engine: no signature takes them (or, for a property, the value does not
// convert or may not be set).
bool reachesEngine(const SweepMember& member, const SweepCall& call, OBInterface* self,
                   const std::vector<qxArray*>& args);
