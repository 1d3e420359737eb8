// The sweep's plan: members of a class and the calls each one gets.
#include "SweepPlan.hpp"

#include <algorithm>
#include <ostream>
#include <set>

#include <obk/obk.hpp>

std::string SweepMember::label() const {
  std::string name = cls->getName();
  switch (kind) {
    case Kind::Property: return name + "." + prop->getName();
    case Kind::Method: return name + "." + method->getName();
    case Kind::Constructor: return name + " (constructor)";
  }
  return name;
}

std::vector<SweepMember> membersOf(OBClass* cls) {
  std::vector<SweepMember> members;
  for (OBPropInfo* prop : cls->getProperties())
    if (prop->getClass() == cls) members.push_back({SweepMember::Kind::Property, cls, prop, nullptr});
  for (OBMethodInfo* method : cls->getMethods())
    if (method->getClass() == cls) members.push_back({SweepMember::Kind::Method, cls, nullptr, method});
  if (!cls->getConstructorSignatures().empty())
    members.push_back({SweepMember::Kind::Constructor, cls, nullptr, nullptr});
  return members;
}

namespace {

// Arguments of a signature with plausible values; a repeating last argument
// counts once.  Self first unless the call has no object.
std::vector<SweepArg> plausibleArgs(const OBMethodSignature* sig, bool withSelf, int count) {
  std::vector<SweepArg> args;
  for (int i = 0; i < count; ++i) {
    const int slot = std::min(i, sig->getNumArguments() - 1);
    if (i == 0 && withSelf) args.push_back({SweepArg::Kind::Self, 0, ""});
    else args.push_back({SweepArg::Kind::Plausible, 0, sig->getArgumentTypeName(slot)});
  }
  return args;
}

void addSignatureCalls(std::vector<SweepCall>& calls, SweepCall::Op op, const OBMethodSignature* sig,
                       bool withSelf, size_t badCount, const std::vector<std::string>& propertyNames) {
  const int n = sig->getNumArguments();
  const std::vector<SweepArg> base = plausibleArgs(sig, withSelf, n);
  // Every bad value in every position after the object.
  for (int p = withSelf ? 1 : 0; p < n; ++p) {
    for (size_t b = 0; b < badCount; ++b) {
      SweepCall call{op, sig, base};
      call.args[static_cast<size_t>(p)] = {SweepArg::Kind::Bad, b, ""};
      calls.push_back(std::move(call));
    }
  }
  // Too few and too many arguments.
  for (int count = withSelf ? 1 : 0; count < n; ++count)
    calls.push_back({op, sig, plausibleArgs(sig, withSelf, count)});
  SweepCall more{op, sig, base};
  more.args.push_back({SweepArg::Kind::Extra, 0, ""});
  calls.push_back(std::move(more));
  // A repeating "PELLAM array" argument takes property/value pairs: every
  // property name once, with the bad values in turn, and a name alone.
  if (sig->isLastRepeating() && std::string(sig->getArgumentTypeName(n - 1)) == "PELLAM array") {
    for (size_t i = 0; i < propertyNames.size(); ++i) {
      SweepCall pair{op, sig, base};
      pair.args.push_back({SweepArg::Kind::PropertyName, i, ""});
      pair.args.push_back({SweepArg::Kind::Bad, i % badCount, ""});
      calls.push_back(std::move(pair));
    }
    SweepCall alone{op, sig, base};
    alone.args.push_back({SweepArg::Kind::PropertyName, 0, ""});
    calls.push_back(std::move(alone));
  }
}

}  // namespace

std::vector<SweepCall> callsOf(const SweepMember& member, size_t badCount,
                               const std::vector<std::string>& propertyNames) {
  std::vector<SweepCall> calls;
  switch (member.kind) {
    case SweepMember::Kind::Property: {
      calls.push_back({SweepCall::Op::Get, nullptr, {}});
      const std::string type = member.prop->getDataType(nullptr)->getName();
      if (!member.prop->canSet(OBDatabaseClient::getExternalClient())) {
        calls.push_back({SweepCall::Op::Set, nullptr, {{SweepArg::Kind::Plausible, 0, type}}});
        break;
      }
      for (size_t b = 0; b < badCount; ++b) calls.push_back({SweepCall::Op::Set, nullptr, {{SweepArg::Kind::Bad, b, ""}}});
      break;
    }
    case SweepMember::Kind::Method:
      for (const OBMethodSignature* sig : member.method->getMethodSignatures())
        addSignatureCalls(calls, SweepCall::Op::Invoke, sig, !member.method->isStatic(), badCount, propertyNames);
      break;
    case SweepMember::Kind::Constructor:
      for (const OBMethodSignature* sig : member.cls->getConstructorSignatures())
        addSignatureCalls(calls, SweepCall::Op::Construct, sig, false, badCount, propertyNames);
      break;
  }
  return calls;
}

std::vector<std::string> allPropertyNames(const std::vector<OBClass*>& classes) {
  std::set<std::string> names;
  for (OBClass* cls : classes)
    for (OBPropInfo* prop : cls->getProperties()) names.insert(prop->getName());
  return {names.begin(), names.end()};
}

std::vector<SweepShard> sweepShards(const std::vector<OBClass*>& classes, size_t membersPerShard) {
  std::vector<SweepShard> out;
  for (OBClass* cls : classes) {
    const size_t members = membersOf(cls).size();
    const size_t parts = members == 0 ? 1 : (members + membersPerShard - 1) / membersPerShard;
    for (size_t p = 0; p < parts; ++p) out.push_back({cls->getName(), p});
  }
  return out;
}

std::string shardName(const SweepShard& shard) { return shard.className + "_" + std::to_string(shard.part); }

void PrintTo(const SweepShard& shard, std::ostream* out) { *out << shard.className << " part " << shard.part; }

bool isAllowedErrorId(const std::string& id) {
  for (const char* prefix : {"Kestrion:", "SBML:", "obk:", "interp:", "kstrselect:", "kstrgate:", "ks:"})
    if (id.rfind(prefix, 0) == 0 && id.size() > std::string(prefix).size()) return true;
  return false;
}
