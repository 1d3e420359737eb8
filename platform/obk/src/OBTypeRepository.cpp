#include "obk/OBTypes.hpp"

#include <memory>
#include <string>
#include <unordered_map>

#include "obk/OBDispatch.hpp"
#include "obk/OBNames.hpp"

namespace {

struct TypeRegistry {
  std::unordered_map<std::string, std::unique_ptr<OBDataType>, OBExactHash,
                     std::equal_to<>>
      types;

  void add(OBDataType* t) { types.emplace(t->getName(), std::unique_ptr<OBDataType>(t)); }

  TypeRegistry() {
    add(new StringType);
    add(new DoubleDataType);
    add(new BoolDataType);
    add(new IntDataType);
    add(new LongDataType);
    add(new OBInterfaceType);
    add(new OBInterfaceVectorType);
    add(new StringVectorType);
    add(new PellamArrayType);
    add(new NRealsType);
    add(new NintsType);
  }
};

// Never destroyed (reachable through the static): engine statics may look
// types up while the process ends.
TypeRegistry& registry() {
  static TypeRegistry* r = [] {
    obkInstallHandleHooks();
    return new TypeRegistry;
  }();
  return *r;
}

// A class-typed handle type for "<App>.<Class>" or "<App>.<Class> vector",
// or null when the name has another form.
OBDataType* makeClassType(std::string_view name) {
  constexpr std::string_view suffix = " vector";
  bool vector = name.size() > suffix.size() && name.ends_with(suffix);
  std::string cls(vector ? name.substr(0, name.size() - suffix.size()) : name);
  size_t dot = cls.find('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == cls.size() ||
      cls.find(' ') != std::string::npos)
    return nullptr;
  if (vector) return new OBInterfaceVectorType(cls);
  return new OBInterfaceType(cls);
}

}  // namespace

OBDataType* OBTypeRepository::getType(const char* name, bool) {
  if (name == nullptr) return nullptr;
  TypeRegistry& r = registry();
  auto it = r.types.find(std::string_view(name));
  if (it != r.types.end()) return it->second.get();
  OBDataType* made = makeClassType(name);
  if (made != nullptr) r.add(made);
  return made;
}

bool OBTypeRepository::addType(OBDataType* type) {
  if (type == nullptr) return false;
  TypeRegistry& r = registry();
  if (r.types.count(std::string_view(type->getName())) != 0) return false;
  r.add(type);
  return true;
}
