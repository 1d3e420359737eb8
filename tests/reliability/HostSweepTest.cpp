// The host sweep: every property and method of every registered class,
// called through the host dispatch with every bad value in every position.
// Each call must succeed or raise an error the user may see; a refused call
// leaves everything a user can read unchanged and leaks nothing, and after
// every call the model invariants hold.  The classes come from the
// registry, so a class registered later is swept without a change here.
// The members of a class are split into shards, one test each, so that the
// sweep runs in parallel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include <obk/obk.hpp>

#include "BadValues.hpp"
#include "SweepCalls.hpp"
#include "SweepPlan.hpp"
#include "SweepWorld.hpp"

namespace {

// Members per shard; smaller under the sanitizers, where each call costs
// many times more, so that the longest shard stays short.
#ifdef __SANITIZE_ADDRESS__
constexpr size_t kMembersPerShard = 3;
#else
constexpr size_t kMembersPerShard = 6;
#endif

class Sweeper {
 public:
  explicit Sweeper(const std::vector<OBClass*>& classes)
      : classes_(classes), caller_(classes) {}

  size_t calls() const { return calls_; }
  size_t accepted() const { return accepted_; }
  const std::vector<std::string>& defects() const { return defects_; }

  void sweep(const SweepMember& member) {
    ensureWorld();
    if (world_->instanceOf(member.cls) == nullptr && member.kind != SweepMember::Kind::Constructor) {
      defects_.push_back(member.label() + ": the world has no instance of the class");
      return;
    }
    for (const SweepCall& call : callsOf(member, caller_.badCount(), caller_.propertyNames())) check(member, call);
  }

  void finish() { world_.reset(); }

 private:
  void ensureWorld() {
    if (world_) return;
    world_ = std::make_unique<SweepWorld>(classes_);
    baseline_ = world_->snapshot();
  }

  // The outcome of the call, and whether it reached the engine at all.
  SweepOutcome run(const SweepMember& member, const SweepCall& call, OBInterface* self, bool* engineReached = nullptr) {
    std::vector<qxArray*> args = caller_.makeArgs(call, world_->sources(self));
    qxArray* outs[1] = {nullptr};
    if (engineReached) *engineReached = reachesEngine(member, call, self, args);
    SweepOutcome outcome = outcomeOf([&] { SweepCaller::invoke(member, call, self, args, outs); });
    qxDestroyArray(outs[0]);
    for (qxArray* a : args) qxDestroyArray(a);
    return outcome;
  }

  void check(const SweepMember& member, const SweepCall& call) {
    ensureWorld();
    OBInterface* self = world_->instanceOf(member.cls);
    const HostHealth before = TestHost::health();
    bool engineReached = true;  // false: the host refused before any engine code ran
    const SweepOutcome outcome = run(member, call, self, &engineReached);
    ++calls_;
    const std::string what = caller_.describe(member, call);
    if (!outcome.escaped.empty()) {
      defects_.push_back(what + ": a C++ exception reached the host: " + outcome.escaped);
      world_.reset();
      return;
    }
    if (!outcome.accepted && !isAllowedErrorId(outcome.errorId))
      defects_.push_back(what + ": error identifier '" + outcome.errorId + "'");
    if (!engineReached) {
      // Refused by the host's dispatch: the engine did not run.
      if (outcome.accepted) defects_.push_back(what + ": accepted arguments no signature takes");
      else if (!(TestHost::health() == before)) defects_.push_back(what + ": the host's refusal leaked");
      return;
    }
    const std::string broken = world_->checkInvariants();
    if (!broken.empty()) defects_.push_back(what + ": invariant broken: " + broken);
    std::vector<std::string> now = world_->snapshot();
    const std::string diff = firstDifference(baseline_, now);
    if (outcome.accepted) {
      ++accepted_;
      if (!diff.empty() || !broken.empty()) world_.reset();  // the next call gets a fresh world
      return;
    }
    const HostHealth after = TestHost::health();
    if (!(after == before)) {
      // A cache or a container's grown capacity is kept once; a leak grows
      // again when the same call is refused again.
      run(member, call, self);
      const HostHealth again = TestHost::health();
      if (!(again == after))
        defects_.push_back(what + " refused (" + outcome.errorId + ") but leaked: before " + ::describe(after) +
                           ", after " + ::describe(again));
    }
    if (!diff.empty()) {
      defects_.push_back(what + " refused (" + outcome.errorId + ") but changed the model:\n  " + diff);
      world_.reset();
    }
  }

  std::vector<OBClass*> classes_;
  SweepCaller caller_;
  std::unique_ptr<SweepWorld> world_;
  std::vector<std::string> baseline_;
  size_t calls_ = 0;
  size_t accepted_ = 0;
  std::vector<std::string> defects_;
};

// The sweep calls file-writing methods with plain names ("sbmlwrite" of
// "sweep"): they run in a fresh folder of their own, removed afterwards, so
// that no file lands where the tests were started.
class ScratchDirectory {
 public:
  ScratchDirectory()
      : previous_(std::filesystem::current_path()),
        path_(std::filesystem::temp_directory_path() /
              ("kelbor-sweep-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
    std::filesystem::current_path(path_);
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

class HostSweep : public ::testing::TestWithParam<SweepShard> {};

TEST_P(HostSweep, EveryCallSucceedsOrRaisesAndRefusalsChangeNothing) {
  const ScratchDirectory scratch;
  const std::vector<OBClass*> classes = registeredClasses();
  OBClass* cls = obkRequireClass(std::string("Kestrion.") + GetParam().className);
  const std::vector<SweepMember> members = membersOf(cls);
  // A first world fills the process-wide caches before the leak baseline.
  { SweepWorld warmUp(classes); }
  const HostHealth start = TestHost::health();
  Sweeper sweeper(classes);
  const ShardCounts swept = sweepShardMembers(sweeper, members, GetParam().part, kMembersPerShard);
  sweeper.finish();
  std::printf("swept %s part %zu: %zu properties, %zu methods and constructors, %zu calls (%zu accepted)\n",
              cls->getName(), GetParam().part, swept.properties, swept.methods, sweeper.calls(), sweeper.accepted());
  // Memory blocks are checked call by call above (caches and grown
  // capacities stay); every instance and array must be gone.
  const HostHealth end = TestHost::health();
  EXPECT_EQ(end.instances, start.instances) << "at start: " << describe(start) << "\nat end: " << describe(end);
  EXPECT_EQ(end.arrays, start.arrays) << "at start: " << describe(start) << "\nat end: " << describe(end);
  EXPECT_EQ(end.javaReferences, start.javaReferences);
  EXPECT_EQ(end.destroyDiagnostics, start.destroyDiagnostics);
  for (const std::string& defect : sweeper.defects()) ADD_FAILURE() << defect;
}

INSTANTIATE_TEST_SUITE_P(Registry, HostSweep, ::testing::ValuesIn(sweepShards(registeredClasses(), kMembersPerShard)),
                         [](const ::testing::TestParamInfo<SweepShard>& info) { return shardName(info.param); });

// The totals of the plan; every registered class has calls planned and an
// instance (or a constructor) the sweep can use.
TEST(HostSweepPlan, CoversEveryRegisteredClass) {
  const std::vector<OBClass*> classes = registeredClasses();
  const size_t badCount = badValueTable(classes).size();
  const std::vector<std::string> names = allPropertyNames(classes);
  SweepWorld world(classes);
  size_t properties = 0, methods = 0, signatures = 0, calls = 0;
  for (OBClass* cls : classes) {
    size_t classCalls = 0;
    for (const SweepMember& member : membersOf(cls)) {
      properties += member.kind == SweepMember::Kind::Property;
      if (member.kind == SweepMember::Kind::Method) {
        ++methods;
        signatures += member.method->getMethodSignatures().size();
      }
      if (member.kind == SweepMember::Kind::Constructor) signatures += cls->getConstructorSignatures().size();
      classCalls += callsOf(member, badCount, names).size();
    }
    calls += classCalls;
    EXPECT_GT(classCalls, 0u) << cls->getName() << " has nothing to sweep";
    EXPECT_TRUE(world.instanceOf(cls) != nullptr || membersOf(cls).size() == 1)
        << "the sweep finds no instance of " << cls->getName();
  }
  std::printf("sweep plan: %zu classes, %zu properties, %zu methods (%zu signatures with constructors), "
              "%zu bad values, %zu calls\n",
              classes.size(), properties, methods, signatures, badCount, calls);
}

}  // namespace
