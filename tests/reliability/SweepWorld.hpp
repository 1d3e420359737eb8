// The world the reliability tests act on: models built through the host as
// a user's script builds them, every instance reachable from the root, an
// instance of each registered class where one can be had, a destroyed
// instance, a snapshot of everything a user can read, and the model
// invariants.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <testhost/TestHost.hpp>

#include "BadValues.hpp"

class OBClass;
class OBInterface;

// The registered host classes of the engine, in registration order.
std::vector<OBClass*> registeredClasses();

// Starts the engine once per process with printing muted.
void startEngineOnce();

class SweepWorld {
 public:
  // Builds the world: the bundled enzyme model, a second model with a
  // compartment inside another, whatever further components the engine
  // offers (rules, events, kinetic laws, variants, doses, configuration
  // sets; each is tried and skipped when the engine refuses it), and one
  // instance of every class that has none yet and can be constructed.
  explicit SweepWorld(const std::vector<OBClass*>& classes);
  // Deletes every model through the root and gives back every instance and
  // array the world made.
  ~SweepWorld();
  SweepWorld(const SweepWorld&) = delete;
  SweepWorld& operator=(const SweepWorld&) = delete;

  TestHost& host() { return *host_; }
  // The instance used for the class (exactly that class first, then a
  // subclass), or null.
  OBInterface* instanceOf(const OBClass* cls) const;
  // What the bad and plausible values are made from, with self as the
  // object under test.
  ValueSources sources(OBInterface* self) const;
  OBInterface* firstModel() const { return model_; }

  // Every instance reachable from the root and the world's free instances,
  // through the tree and the readable handle properties, in a fixed order.
  std::vector<OBInterface*> reachable() const;

  // What a snapshot covers: the root, every model's subtree, the instance
  // chosen for each class and the free instances.
  std::vector<OBInterface*> snapshotScope() const;
  // Everything a user can read: every readable property of every instance in
  // the snapshot's scope, the names in every model's symbol table and every
  // component's listener count, one line each.
  std::vector<std::string> snapshot() const;
  // The invariants of every model; empty when they hold, else what broke.
  std::string checkInvariants() const;

 private:
  void buildEnzymeModel();
  void buildNestedModel();
  void tryExtras();
  void constructMissing(const std::vector<OBClass*>& classes);
  OBInterface* call1(OBInterface* object, const char* method, std::initializer_list<qxArray*> args);
  // Runs the body and ignores an error it raises (for the optional parts).
  static void optional(const std::function<void()>& body);

  std::vector<OBClass*> classes_;
  std::unique_ptr<TestHost> host_;
  OBInterface* model_ = nullptr;
  OBInterface* deleted_ = nullptr;
  std::vector<OBInterface*> free_;  // constructed outside any model
  std::vector<OBInterface*> byClass_;
};

// The root and every model's subtree, in tree order.
std::vector<OBInterface*> modelScope();
// Every readable property of the instances, each model's symbol-table names
// and each component's listener count, one line each.  A stable snapshot
// leaves out addresses and the values that differ between runs (UUIDs), so
// that snapshots of separate runs compare.
std::vector<std::string> snapshotOf(const std::vector<OBInterface*>& objects, bool stable);

// The invariants of every model of the root: every component once in its
// model's lists, in the symbol table and in the host tree; every table
// entry and listener a live component of that model.  Empty when they hold,
// else what broke.
std::string checkModelInvariants();

// Text of the first line where two snapshots differ, or "" when equal.
std::string firstDifference(const std::vector<std::string>& before,
                            const std::vector<std::string>& after);
