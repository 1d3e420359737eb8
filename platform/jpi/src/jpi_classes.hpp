// The desktop's Java classes known to the bridge stand-in.
#pragma once

#include <cstddef>
#include <string>

namespace jpi_detail {

enum class Role { Constructor, Method, Static };

struct Member {
  const char* className;  // dotted
  Role role;
  const char* name;       // "<init>" for constructors
  const char* signature;  // JNI
};

// The member table; a member's position in it is its identity.
const Member* members();
size_t memberCount();

// "java/lang/Integer" -> "java.lang.Integer".
std::string dottedName(const char* name);
// The dotted name as known, or null when no member table row names it.
const char* knownClass(const std::string& dotted);
// The position of a member of the class, or memberCount() when none fits.
size_t findMember(const std::string& dotted, Role role, const char* name, const char* signature);

}  // namespace jpi_detail
