// The allocation-failure sweep over the class registry: every property read
// and write and every method and constructor signature of every registered
// class, called through the host dispatch with plausible arguments (a
// property is also written with the value it reads), once with each of the
// call's first host allocations failing (hb, then qx).  Each run must end in
// success or in an error the user may see; a std::bad_alloc or any other C++
// exception reaching the host dispatch means the member was registered
// without the host guard; a refused run leaks nothing.  A second check reads
// the registry itself: every property, method and creation entry the engine
// registers carries the guard's mark, whether or not its calls allocate.
// The classes come from the registry, so a class registered later is swept
// without a change here; the members are split into shards like the host
// sweep's.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <obk/obk.hpp>

#include "SweepCalls.hpp"
#include "SweepPlan.hpp"
#include "SweepWorld.hpp"
#include "core/HostBoundary.hpp"

namespace {

// Members per shard.  The same under the sanitizers: a shard's calls share
// its world, so the same shards meet the same states in both builds.
constexpr size_t kMembersPerShard = 16;
// The first allocations of each call made to fail, per allocator; a call
// that makes fewer has every one of them failed.
constexpr size_t kFailingPositions = 8;

enum class Allocator { Hb, Qx };

void armFailure(Allocator allocator, size_t k) {
  if (allocator == Allocator::Hb) hbTestFailAllocationAt(k);
  else qxTestFailCreationAt(k);
}

size_t refusedSoFar(Allocator allocator) {
  return allocator == Allocator::Hb ? hbTestRefusedAllocations() : qxTestRefusedCreations();
}

// One call of the sweep: a planned call with plausible arguments, or a
// property written with the value it read.
struct GuardCall {
  SweepCall call;
  bool withReadValue = false;
};

// The calls a member gets: a property's read, its write with the value read
// and with a plausible value (when it may be set), every method and
// constructor signature with plausible arguments.
std::vector<GuardCall> guardCallsOf(const SweepMember& member) {
  std::vector<GuardCall> calls;
  const auto plausible = [](const OBMethodSignature* sig, bool withSelf) {
    std::vector<SweepArg> args;
    for (int i = 0; i < sig->getNumArguments(); ++i) {
      if (i == 0 && withSelf) args.push_back({SweepArg::Kind::Self, 0, ""});
      else args.push_back({SweepArg::Kind::Plausible, 0, sig->getArgumentTypeName(i)});
    }
    return args;
  };
  switch (member.kind) {
    case SweepMember::Kind::Property: {
      calls.push_back({{SweepCall::Op::Get, nullptr, {}}});
      if (!member.prop->canSet(OBDatabaseClient::getExternalClient())) break;
      const std::string type = member.prop->getDataType(nullptr)->getName();
      calls.push_back({{SweepCall::Op::Set, nullptr, {{SweepArg::Kind::Plausible, 0, type}}}, true});
      calls.push_back({{SweepCall::Op::Set, nullptr, {{SweepArg::Kind::Plausible, 0, type}}}});
      break;
    }
    case SweepMember::Kind::Method:
      for (const OBMethodSignature* sig : member.method->getMethodSignatures())
        calls.push_back({{SweepCall::Op::Invoke, sig, plausible(sig, !member.method->isStatic())}});
      break;
    case SweepMember::Kind::Constructor:
      for (const OBMethodSignature* sig : member.cls->getConstructorSignatures())
        calls.push_back({{SweepCall::Op::Construct, sig, plausible(sig, false)}});
      break;
  }
  return calls;
}

class GuardSweeper {
 public:
  explicit GuardSweeper(const std::vector<OBClass*>& classes) : classes_(classes), caller_(classes) {}

  size_t calls() const { return calls_; }
  size_t runs() const { return runs_; }
  size_t refused() const { return refused_; }
  size_t repeatsPastTheEngine() const { return repeatsPastTheEngine_; }
  const std::vector<std::string>& defects() const { return defects_; }

  void sweep(const SweepMember& member) {
    for (const GuardCall& call : guardCallsOf(member)) {
      ++calls_;
      for (Allocator allocator : {Allocator::Hb, Allocator::Qx}) failEach(member, call, allocator);
    }
  }

  void finish() { world_.reset(); }

 private:
  // The arguments of one run, destroyed with it.
  struct Args {
    std::vector<qxArray*> arrays;
    Args() = default;
    Args(const Args&) = delete;
    Args& operator=(const Args&) = delete;
    ~Args() {
      for (qxArray* a : arrays) qxDestroyArray(a);
    }
  };

  SweepWorld& world() {
    if (!world_) world_ = std::make_unique<SweepWorld>(classes_);
    return *world_;
  }

  std::string describeRun(const SweepMember& member, const GuardCall& call, Allocator allocator, size_t k) const {
    return caller_.describe(member, call.call) + (call.withReadValue ? " with the value read" : "") +
           (allocator == Allocator::Hb ? ", hb" : ", qx") + " allocation " + std::to_string(k) + " failing";
  }

  // Fails the call's 1st, 2nd, ... allocation of the allocator until the
  // call gets through without reaching the failing one.
  void failEach(const SweepMember& member, const GuardCall& call, Allocator allocator) {
    for (size_t k = 1; k <= kFailingPositions; ++k) {
      OBInterface* self = world().instanceOf(member.cls);
      if (self == nullptr && member.kind != SweepMember::Kind::Constructor) return;  // the host sweep reports it
      const std::string what = describeRun(member, call, allocator, k);
      Args args;
      if (!makeArgs(member, call, self, args.arrays)) return;  // the property cannot be read back
      if (!reachesEngine(member, call.call, self, args.arrays)) return;
      const HostHealth before = TestHost::health();
      const size_t refusedBefore = refusedSoFar(allocator);
      const SweepOutcome outcome = run(member, call, self, args.arrays, allocator, k);
      const bool failed = refusedSoFar(allocator) != refusedBefore;
      ++runs_;
      if (!outcome.escaped.empty()) {
        defects_.push_back(what + ": " + outcome.escaped + " reached the host dispatch (is the member registered "
                                                           "without the host guard?)");
        world_.reset();
        return;
      }
      if (!outcome.accepted && !isAllowedErrorId(outcome.errorId))
        defects_.push_back(what + ": error identifier '" + outcome.errorId + "'");
      if (!failed) {
        // The call got through before its k-th allocation: done; a call
        // that may have changed something gets a fresh world after it.
        if (call.call.op != SweepCall::Op::Get) world_.reset();
        return;
      }
      if (outcome.accepted || outcome.errorId.rfind("Kestrion:", 0) != 0) {
        // Got through a failed allocation, or the host's own conversion of
        // the arguments or the result failed (the engine may have done its
        // part): a fresh world for the next run.
        if (call.call.op != SweepCall::Op::Get) world_.reset();
        continue;
      }
      ++refused_;
      const HostHealth after = TestHost::health();
      if (after == before) continue;
      // A cache or a grown capacity is kept once; a leak grows again.
      const SweepOutcome repeated = run(member, call, self, args.arrays, allocator, k);
      const HostHealth again = TestHost::health();
      if (repeated.accepted || repeated.errorId.rfind("Kestrion:", 0) != 0) {
        // What the first run kept moved the failing allocation past the
        // engine's part (into the host's delivery of the result, say): the
        // repeat made what the call makes, which is no leak of a refusal.
        ++repeatsPastTheEngine_;
        world_.reset();
        continue;
      }
      if (!(again == after)) {
        defects_.push_back(what + " refused (" + outcome.errorId + ") but leaked: before " + describe(after) +
                           ", after " + describe(again));
        world_.reset();
        return;
      }
    }
    if (call.call.op != SweepCall::Op::Get) world_.reset();
  }

  // The call's arguments; false (and none) when a property write with the
  // value read cannot read it.
  bool makeArgs(const SweepMember& member, const GuardCall& call, OBInterface* self, std::vector<qxArray*>& args) {
    if (!call.withReadValue) {
      args = caller_.makeArgs(call.call, world().sources(self));
      return true;
    }
    qxArray* value = nullptr;
    const SweepOutcome read = outcomeOf([&] {
      qxArray* outs[1] = {nullptr};
      std::vector<qxArray*> none;
      SweepCaller::invoke(member, {SweepCall::Op::Get, nullptr, {}}, self, none, outs);
      value = outs[0];
    });
    if (!read.accepted || value == nullptr) {
      qxDestroyArray(value);
      return false;
    }
    args = {value};
    return true;
  }


  // One run with the allocator's k-th allocation failing; the arguments are
  // made before and destroyed after, so that only the call's own
  // allocations count.
  SweepOutcome run(const SweepMember& member, const GuardCall& call, OBInterface* self, std::vector<qxArray*>& args,
                   Allocator allocator, size_t k) {
    qxArray* outs[1] = {nullptr};
    armFailure(allocator, k);
    SweepOutcome outcome = outcomeOf([&] { SweepCaller::invoke(member, call.call, self, args, outs); });
    armFailure(allocator, 0);
    qxDestroyArray(outs[0]);
    return outcome;
  }

  std::vector<OBClass*> classes_;
  SweepCaller caller_;
  std::unique_ptr<SweepWorld> world_;
  size_t calls_ = 0;
  size_t runs_ = 0;
  size_t refused_ = 0;
  size_t repeatsPastTheEngine_ = 0;
  std::vector<std::string> defects_;
};

class AllocationFailureSweep : public ::testing::TestWithParam<SweepShard> {};

TEST_P(AllocationFailureSweep, NoExceptionButTheHostErrorsReachesTheHost) {
  const std::vector<OBClass*> classes = registeredClasses();
  OBClass* cls = obkRequireClass(std::string("Kestrion.") + GetParam().className);
  const std::vector<SweepMember> members = membersOf(cls);
  { SweepWorld warmUp(classes); }  // fills the process-wide caches first
  const HostHealth start = TestHost::health();
  GuardSweeper sweeper(classes);
  const ShardCounts swept = sweepShardMembers(sweeper, members, GetParam().part, kMembersPerShard);
  sweeper.finish();
  std::printf("allocation failures for %s part %zu: %zu properties, %zu methods and constructors, %zu calls, "
              "%zu runs (%zu refused; %zu repeats got past the engine's part and were not compared)\n",
              cls->getName(), GetParam().part, swept.properties, swept.methods, sweeper.calls(), sweeper.runs(), sweeper.refused(),
              sweeper.repeatsPastTheEngine());
  // Every instance and array is gone at the end.
  const HostHealth end = TestHost::health();
  EXPECT_EQ(end.instances, start.instances) << "at start: " << describe(start) << "\nat end: " << describe(end);
  EXPECT_EQ(end.arrays, start.arrays) << "at start: " << describe(start) << "\nat end: " << describe(end);
  for (const std::string& defect : sweeper.defects()) ADD_FAILURE() << defect;
}

INSTANTIATE_TEST_SUITE_P(Registry, AllocationFailureSweep, ::testing::ValuesIn(sweepShards(registeredClasses(), kMembersPerShard)),
                         [](const ::testing::TestParamInfo<SweepShard>& info) { return shardName(info.param); });

// Every class, property and method the engine registers runs behind the
// host guard, including those whose calls never allocate.
TEST(HostGuards, EveryRegisteredMemberRunsBehindTheGuard) {
  const std::vector<OBClass*> classes = registeredClasses();
  const auto guarded = [](const auto* registration) {
    return dynamic_cast<const HostGuardMark*>(registration) != nullptr;
  };
  size_t properties = 0, methods = 0;
  std::string unguarded;
  for (OBClass* cls : classes) {
    if (!guarded(cls)) unguarded += std::string("\n  ") + cls->getName() + " (creation entry)";
    for (const SweepMember& member : membersOf(cls)) {
      switch (member.kind) {
        case SweepMember::Kind::Property:
          ++properties;
          if (!guarded(member.prop)) unguarded += "\n  " + member.label() + " (property)";
          break;
        case SweepMember::Kind::Method:
          ++methods;
          if (!guarded(member.method)) unguarded += "\n  " + member.label() + " (method)";
          break;
        case SweepMember::Kind::Constructor:
          break;
      }
    }
  }
  std::printf("host guards checked: %zu classes, %zu properties, %zu methods\n", classes.size(), properties, methods);
  EXPECT_EQ(unguarded, "") << "registered without the host guard:";
}

}  // namespace
