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
#include <ostream>
#include <string>
#include <vector>

#include <unistd.h>

#include <obk/obk.hpp>

#include "BadValues.hpp"
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

struct Shard {
  std::string className;
  size_t part;
};

void PrintTo(const Shard& shard, std::ostream* out) { *out << shard.className << " part " << shard.part; }

std::vector<Shard> shards() {
  std::vector<Shard> out;
  for (OBClass* cls : registeredClasses()) {
    const size_t members = membersOf(cls).size();
    const size_t parts = members == 0 ? 1 : (members + kMembersPerShard - 1) / kMembersPerShard;
    for (size_t p = 0; p < parts; ++p) out.push_back({cls->getName(), p});
  }
  return out;
}

// The outcome of one call.
struct Outcome {
  bool accepted = false;
  bool engineReached = true;  // false: the host refused before any engine code ran
  std::string errorId;
  std::string escaped;  // a C++ exception that is no host error
};

// Whether the host's dispatch refuses the arguments before it calls the
// engine: no signature takes them (or, for a property, the value does not
// convert or may not be set).
bool anySignatureTakes(const std::vector<OBMethodSignature*>& sigs, int nOut, const std::vector<qxArray*>& args) {
  return std::any_of(sigs.begin(), sigs.end(), [&](const OBMethodSignature* sig) {
    if (!sig->acceptsCount(static_cast<int>(args.size())) || sig->getNumOutputs() < nOut) return false;
    for (size_t i = 0; i < args.size(); ++i) {
      const OBDataType* type = sig->getArgumentType(static_cast<int>(i));
      if (type == nullptr || !type->matches(args[i])) return false;
    }
    return true;
  });
}

bool reachesEngine(const SweepMember& member, const SweepCall& call, OBInterface* self,
                   const std::vector<qxArray*>& args) {
  switch (call.op) {
    case SweepCall::Op::Get: return true;
    case SweepCall::Op::Set: {
      if (!member.prop->canSet(OBDatabaseClient::getExternalClient())) return false;
      return member.prop->getDataType(self)->matches(args[0]);
    }
    case SweepCall::Op::Invoke:
      return anySignatureTakes(member.method->getMethodSignatures(), call.sig->getNumOutputs() > 0 ? 1 : 0, args);
    case SweepCall::Op::Construct:
      return member.cls->canBeConstructed() && anySignatureTakes(member.cls->getConstructorSignatures(), 0, args);
  }
  return true;
}

// A property of a class that has no instance of its own (the abstract base
// of the components), read and written on an instance of another component
// class the way the host does it for the instance's own properties.
qxArray* getDeclared(OBInterface* self, OBPropInfo* prop) {
  OBDatabaseClient* client = OBDatabaseClient::getExternalClient();
  qxOpenCallScope();
  qxArray* out = nullptr;
  try {
    void* v = self->get(prop, client);
    try {
      out = prop->getDataType(self)->toHost(v);
    } catch (...) {
      self->release(prop, v, client);
      throw;
    }
    self->release(prop, v, client);
  } catch (...) {
    qxCloseCallScope();
    throw;
  }
  qxSetArrayScope(out, qxSCOPE_PERSISTENT);
  qxCloseCallScope();
  return out;
}

void setDeclared(OBInterface* self, OBPropInfo* prop, const qxArray* value) {
  OBDatabaseClient* client = OBDatabaseClient::getExternalClient();
  if (!prop->canSet(client)) throw ErrorIdException("obk:PropertyAccessDenied", "The property cannot be set.");
  const OBDataType* type = prop->getDataType(self);
  if (!type->matches(value)) throw ErrorIdException("obk:InvalidValue", "The value does not match.");
  void* native = type->fromHost(value);
  try {
    self->set(prop, native, client);
  } catch (...) {
    type->release(native);
    throw;
  }
  type->release(native);
}

class Sweeper {
 public:
  explicit Sweeper(const std::vector<OBClass*>& classes)
      : classes_(classes), bad_(badValueTable(classes)), names_(allPropertyNames(classes)) {}

  size_t badCount() const { return bad_.size(); }
  const std::vector<std::string>& propertyNames() const { return names_; }
  size_t calls() const { return calls_; }
  size_t accepted() const { return accepted_; }
  const std::vector<std::string>& defects() const { return defects_; }

  void sweep(const SweepMember& member) {
    ensureWorld();
    if (world_->instanceOf(member.cls) == nullptr && member.kind != SweepMember::Kind::Constructor) {
      defects_.push_back(member.label() + ": the world has no instance of the class");
      return;
    }
    for (const SweepCall& call : callsOf(member, bad_.size(), names_)) check(member, call);
  }

  void finish() { world_.reset(); }

 private:
  void ensureWorld() {
    if (world_) return;
    world_ = std::make_unique<SweepWorld>(classes_);
    baseline_ = world_->snapshot();
  }

  std::string describe(const SweepMember& member, const SweepCall& call) const {
    std::string text = member.label() + (call.op == SweepCall::Op::Get ? " get" : call.op == SweepCall::Op::Set ? " set" : "") + "(";
    for (size_t i = 0; i < call.args.size(); ++i) {
      const SweepArg& a = call.args[i];
      if (i) text += ", ";
      switch (a.kind) {
        case SweepArg::Kind::Self: text += "self"; break;
        case SweepArg::Kind::Plausible: text += "<" + a.typeName + ">"; break;
        case SweepArg::Kind::Bad: text += bad_[a.index].label; break;
        case SweepArg::Kind::PropertyName: text += "'" + names_[a.index] + "'"; break;
        case SweepArg::Kind::Extra: text += "extra"; break;
      }
    }
    return text + ")";
  }

  qxArray* makeArg(const SweepArg& a, const ValueSources& s) {
    qxArray* v = nullptr;
    switch (a.kind) {
      case SweepArg::Kind::Self: v = obkHandleArray(s.self); break;
      case SweepArg::Kind::Plausible: v = makePlausibleValue(a.typeName, s); break;
      case SweepArg::Kind::Bad: v = makeBadValue(bad_[a.index], s); break;
      case SweepArg::Kind::PropertyName: v = qxCreateString(names_[a.index].c_str()); break;
      case SweepArg::Kind::Extra: v = qxCreateString("sweep"); break;
    }
    qxSetArrayScope(v, qxSCOPE_PERSISTENT);
    return v;
  }

  Outcome run(const SweepMember& member, const SweepCall& call, OBInterface* self) {
    ValueSources s = world_->sources(self);
    std::vector<qxArray*> args;
    for (const SweepArg& a : call.args) args.push_back(makeArg(a, s));
    qxArray* outs[1] = {nullptr};
    Outcome outcome;
    outcome.engineReached = reachesEngine(member, call, self, args);
    try {
      auto error = TestHost::errorOf([&] { invoke(member, call, self, args, outs); });
      outcome.accepted = !error;
      if (error) outcome.errorId = error->id;
    } catch (const std::exception& e) {
      outcome.escaped = e.what();
    } catch (...) {
      outcome.escaped = "unknown exception";
    }
    qxDestroyArray(outs[0]);
    for (qxArray* a : args) qxDestroyArray(a);
    return outcome;
  }

  void invoke(const SweepMember& member, const SweepCall& call, OBInterface* self,
              std::vector<qxArray*>& args, qxArray* outs[]) {
    const int n = static_cast<int>(args.size());
    switch (call.op) {
      case SweepCall::Op::Get:
        if (self->getProperty(member.prop->getName()) == member.prop) {
          outs[0] = obkGetProperty(self, member.prop->getName());
        } else {
          outs[0] = getDeclared(self, member.prop);
        }
        break;
      case SweepCall::Op::Set:
        if (self->getProperty(member.prop->getName()) == member.prop) {
          obkSetProperty(self, member.prop->getName(), args[0]);
        } else {
          setDeclared(self, member.prop, args[0]);
        }
        break;
      case SweepCall::Op::Construct: {
        OBInterface* made = obkConstruct(member.cls, n, args.data());
        if (made != nullptr) {
          made->destroy(OBDatabaseClient::getExternalClient());
          made->releaseReference();
        }
        break;
      }
      case SweepCall::Op::Invoke: {
        OBMethodInfo* m = member.method;
        const int nOut = call.sig->getNumOutputs() > 0 ? 1 : 0;
        if (m->isStatic() && member.cls->getMethod(m->getName()) == m) {
          obkCallStaticMethod(member.cls, m->getName(), nOut, outs, n, args.data());
        } else if (!m->isStatic() && self->getClass()->getMethod(m->getName()) == m) {
          obkCallMethod(m->getName(), nOut, outs, n, args.data());
        } else {
          obkInvokeMethod(m, nOut, outs, n, args.data());  // declared here, overridden below
        }
        break;
      }
    }
  }

  void check(const SweepMember& member, const SweepCall& call) {
    ensureWorld();
    OBInterface* self = world_->instanceOf(member.cls);
    const HostHealth before = TestHost::health();
    Outcome outcome = run(member, call, self);
    ++calls_;
    const std::string what = describe(member, call);
    if (!outcome.escaped.empty()) {
      defects_.push_back(what + ": a C++ exception reached the host: " + outcome.escaped);
      world_.reset();
      return;
    }
    if (!outcome.accepted && !isAllowedErrorId(outcome.errorId))
      defects_.push_back(what + ": error identifier '" + outcome.errorId + "'");
    if (!outcome.engineReached) {
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
  std::vector<BadValue> bad_;
  std::vector<std::string> names_;
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

class HostSweep : public ::testing::TestWithParam<Shard> {};

TEST_P(HostSweep, EveryCallSucceedsOrRaisesAndRefusalsChangeNothing) {
  const ScratchDirectory scratch;
  const std::vector<OBClass*> classes = registeredClasses();
  OBClass* cls = obkRequireClass(std::string("Kestrion.") + GetParam().className);
  const std::vector<SweepMember> members = membersOf(cls);
  // A first world fills the process-wide caches before the leak baseline.
  { SweepWorld warmUp(classes); }
  const HostHealth start = TestHost::health();
  Sweeper sweeper(classes);
  size_t properties = 0, methods = 0;
  const size_t first = GetParam().part * kMembersPerShard;
  for (size_t i = first; i < members.size() && i < first + kMembersPerShard; ++i) {
    sweeper.sweep(members[i]);
    properties += members[i].kind == SweepMember::Kind::Property;
    methods += members[i].kind != SweepMember::Kind::Property;
  }
  sweeper.finish();
  std::printf("swept %s part %zu: %zu properties, %zu methods and constructors, %zu calls (%zu accepted)\n",
              cls->getName(), GetParam().part, properties, methods, sweeper.calls(), sweeper.accepted());
  // Memory blocks are checked call by call above (caches and grown
  // capacities stay); every instance and array must be gone.
  const HostHealth end = TestHost::health();
  EXPECT_EQ(end.instances, start.instances) << "at start: " << describe(start) << "\nat end: " << describe(end);
  EXPECT_EQ(end.arrays, start.arrays) << "at start: " << describe(start) << "\nat end: " << describe(end);
  EXPECT_EQ(end.javaReferences, start.javaReferences);
  EXPECT_EQ(end.destroyDiagnostics, start.destroyDiagnostics);
  for (const std::string& defect : sweeper.defects()) ADD_FAILURE() << defect;
}

INSTANTIATE_TEST_SUITE_P(Registry, HostSweep, ::testing::ValuesIn(shards()),
                         [](const ::testing::TestParamInfo<Shard>& info) {
                           return info.param.className + "_" + std::to_string(info.param.part);
                         });

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
