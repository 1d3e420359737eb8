#include "obk_internal.hpp"

#include <cctype>
#include <utility>

#include "obk/OBClass.hpp"
#include "obk/OBInterface.hpp"
#include "obk/OBPropInfo.hpp"

namespace obk_detail {

void raise(const char* id, std::string text) {
  throw ErrorIdException(id, std::move(text));
}

void raiseOutOfMemory() { raise("obk:OutOfMemory", "Out of memory."); }

void raiseNoProperty(std::string_view prop, const OBClass* cls) {
  raise("obk:InvalidProperty", "There is no '" + std::string(prop) +
                                   "' property in the '" +
                                   (cls ? cls->getName() : "") + "' class.");
}

void raiseAccessDenied(const OBPropInfo* prop, const OBClass* cls, bool forSet) {
  raise("obk:PropertyAccessDenied",
        std::string("You cannot ") + (forSet ? "set" : "get") + " the '" +
            (prop ? prop->getName() : "") + "' property of the '" +
            (cls ? cls->getName() : "") + "' class.");
}

OBPropInfo* requireProperty(OBInterface* obj, std::string_view name) {
  OBPropInfo* p = obj->getProperty(name);
  if (p == nullptr) raiseNoProperty(name, obj->getClass());
  return p;
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool isTextArray(const qxArray* a) {
  if (a == nullptr || !qxIsChar(a)) return false;
  return qxGetM(a) == 1 || qxGetNumberOfElements(a) == 0;
}

}  // namespace obk_detail
