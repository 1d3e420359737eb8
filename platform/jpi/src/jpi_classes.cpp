// The desktop classes, constructors and methods the bridge stand-in knows,
// with their JNI signatures.
#include "jpi_classes.hpp"

#include <cstring>
#include <unordered_map>
#include <vector>

namespace jpi_detail {

namespace {

#define KS_EVENT(name) "kestridesk.eventqueue." name

const Member kMembers[] = {
    {KS_EVENT("VerifyKestrion"), Role::Constructor, "<init>", "()V"},
    {KS_EVENT("OBKToJavaEvent"), Role::Constructor, "<init>",
     "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/Object;Ljava/lang/Object;)V"},
    {KS_EVENT("OBKToJavaEvent"), Role::Constructor, "<init>",
     "(Ljava/lang/Object;Ljava/lang/Object;Ljava/lang/String;)V"},
    {KS_EVENT("OBKToJavaEvent"), Role::Constructor, "<init>",
     "(Ljava/lang/Object;Ljava/lang/String;Ljava/lang/String;)V"},
    {KS_EVENT("AbstractKineticLawJavaEvent"), Role::Constructor, "<init>",
     "(Ljava/lang/Object;Ljava/lang/String;Ljava/lang/String;)V"},
    {KS_EVENT("AbstractKineticLawJavaEvent"), Role::Constructor, "<init>", "(Ljava/lang/String;)V"},
    {KS_EVENT("InUseCountEvent"), Role::Constructor, "<init>",
     "(Ljpiroot/bean/OBKObject;Ljava/lang/Integer;)V"},
    {KS_EVENT("ReactionRateEventSource"), Role::Static, "getAreListenersRegistered", "()Z"},
    {KS_EVENT("ReactionRateEvent"), Role::Constructor, "<init>",
     "(Ljava/lang/Object;Ljava/lang/String;Ljava/lang/String;)V"},
    {KS_EVENT("ExpressionEventState"), Role::Constructor, "<init>",
     "(Ljava/lang/String;Ljava/lang/Boolean;)V"},
    {KS_EVENT("ExpressionEventState"), Role::Method, "addTokenStatus",
     "(Ljava/lang/String;Ljava/lang/Integer;)V"},
    {KS_EVENT("ExpressionDirtyEvent"), Role::Constructor, "<init>",
     "(Ljpiroot/bean/OBKObject;Ljava/util/Vector;Ljava/lang/Boolean;)V"},
    {KS_EVENT("ModelExpressionMessages"), Role::Constructor, "<init>",
     "(Ljpiroot/bean/OBKObject;IIIIIIIII)V"},
    {KS_EVENT("ModelCompartmentUnusedSpecies"), Role::Constructor, "<init>",
     "(Ljpiroot/bean/OBKObject;Ljpiroot/bean/OBKObject;I)V"},
    {KS_EVENT("ModelUnusedParameters"), Role::Constructor, "<init>", "(Ljpiroot/bean/OBKObject;I)V"},
    {"kestridesk.util.KstrHelpServices", Role::Constructor, "<init>", "()V"},
    {"kestridesk.util.KstrHelpServices", Role::Method, "printHelp", "(Ljava/lang/String;)V"},
    // The desktop's view of a host object handle: made from the handle's
    // address.
    {"jpiroot.bean.OBKObject", Role::Constructor, "<init>", "(J)V"},
    {"java.lang.Integer", Role::Constructor, "<init>", "(I)V"},
    {"java.lang.Boolean", Role::Constructor, "<init>", "(Z)V"},
    {"java.lang.String", Role::Constructor, "<init>", "(Ljava/lang/String;)V"},
    {"java.util.Vector", Role::Constructor, "<init>", "()V"},
    {"java.util.Vector", Role::Method, "addElement", "(Ljava/lang/Object;)V"},
};

#undef KS_EVENT

// Class name -> positions of its members.
const std::unordered_map<std::string, std::vector<size_t>>& index() {
  static const auto* byClass = [] {
    auto* map = new std::unordered_map<std::string, std::vector<size_t>>;
    for (size_t i = 0; i < memberCount(); ++i) (*map)[kMembers[i].className].push_back(i);
    return map;
  }();
  return *byClass;
}

}  // namespace

const Member* members() { return kMembers; }
size_t memberCount() { return sizeof kMembers / sizeof kMembers[0]; }

std::string dottedName(const char* name) {
  std::string out = name != nullptr ? name : "";
  for (char& c : out) {
    if (c == '/') c = '.';
  }
  return out;
}

const char* knownClass(const std::string& dotted) {
  auto it = index().find(dotted);
  return it != index().end() ? it->first.c_str() : nullptr;
}

size_t findMember(const std::string& dotted, Role role, const char* name, const char* signature) {
  auto it = index().find(dotted);
  if (it == index().end() || signature == nullptr) return memberCount();
  for (size_t i : it->second) {
    const Member& m = kMembers[i];
    bool nameFits = role == Role::Constructor || (name != nullptr && std::strcmp(m.name, name) == 0);
    if (m.role == role && nameFits && std::strcmp(m.signature, signature) == 0) return i;
  }
  return memberCount();
}

}  // namespace jpi_detail
