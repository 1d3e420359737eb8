// The plan of the host sweep, generated from the class registry: the
// members of every class (properties, methods, constructors) and the calls
// each one gets (every bad value in every argument position, too few and too
// many arguments, property/value pairs in the repeating arguments).
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

class OBClass;
class OBMethodInfo;
class OBMethodSignature;
class OBPropInfo;

struct SweepMember {
  enum class Kind { Property, Method, Constructor };
  Kind kind;
  OBClass* cls;
  OBPropInfo* prop = nullptr;
  OBMethodInfo* method = nullptr;
  std::string label() const;
};

// One argument of a call.
struct SweepArg {
  enum class Kind { Self, Plausible, Bad, PropertyName, Extra };
  Kind kind;
  size_t index = 0;      // the bad value's row, or the property name's
  std::string typeName;  // the host type of the slot (for Plausible)
};

struct SweepCall {
  enum class Op { Get, Set, Invoke, Construct };
  Op op;
  const OBMethodSignature* sig = nullptr;
  std::vector<SweepArg> args;  // Set: args[0] is the value
};

// Own properties and methods of the class (inherited ones are swept with the
// class that declares them) and its constructor, in registry order.
std::vector<SweepMember> membersOf(OBClass* cls);

// The calls of a member; badCount rows in the value table, propertyNames
// the names offered in property/value pairs.
std::vector<SweepCall> callsOf(const SweepMember& member, size_t badCount,
                               const std::vector<std::string>& propertyNames);

// Every property name of every class, sorted, once each.
std::vector<std::string> allPropertyNames(const std::vector<OBClass*>& classes);

// A part of a class's members (kMembersPerShard of them from part * that
// size), swept as one test.
struct SweepShard {
  std::string className;
  size_t part;
};
// Every class's members in parts of the given size, in registry order.
std::vector<SweepShard> sweepShards(const std::vector<OBClass*>& classes, size_t membersPerShard);
// "Class_part", a test name.
std::string shardName(const SweepShard& shard);
// How the test framework prints a shard.
void PrintTo(const SweepShard& shard, std::ostream* out);

// What a shard swept, by kind of member.
struct ShardCounts {
  size_t properties = 0;
  size_t methods = 0;  // methods and constructors
};
// Hands the shard's part of the members (membersPerShard of them from
// part * that size) to the sweeper, in order, and counts them.
template <class Sweeper>
ShardCounts sweepShardMembers(Sweeper& sweeper, const std::vector<SweepMember>& members, size_t part,
                              size_t membersPerShard) {
  ShardCounts counts;
  const size_t first = part * membersPerShard;
  for (size_t i = first; i < members.size() && i < first + membersPerShard; ++i) {
    sweeper.sweep(members[i]);
    if (members[i].kind == SweepMember::Kind::Property) ++counts.properties;
    else ++counts.methods;
  }
  return counts;
}

// Whether a host error identifier is one the user may see: an engine
// ("Kestrion:"), SBML ("SBML:") or host stand-in identifier.
bool isAllowedErrorId(const std::string& id);
