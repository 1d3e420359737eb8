#include "obk/OBMethodInfo.hpp"

#include <new>

#include "obk/OBTypes.hpp"
#include "obk_internal.hpp"

OBMethodSignature::OBMethodSignature(std::initializer_list<const char*> args,
                                     std::initializer_list<const char*> outputs) {
  for (const char* a : args) addArgument(a);
  for (const char* o : outputs) addOutput(o);
}

OBMethodSignature::~OBMethodSignature() = default;

void OBMethodSignature::addArgument(const char* typeName, bool repeating) {
  if (typeName == nullptr)
    obk_detail::raise("obk:InvalidSignature", "An argument type has no name.");
  if (repeating_)
    obk_detail::raise("obk:InvalidSignature",
                      "Only the last argument of a signature may repeat.");
  args_.push_back(Slot{typeName, nullptr});
  repeating_ = repeating;
}

void OBMethodSignature::addOutput(const char* typeName) {
  if (typeName == nullptr)
    obk_detail::raise("obk:InvalidSignature", "An output type has no name.");
  outs_.push_back(Slot{typeName, nullptr});
}

const char* OBMethodSignature::getArgumentTypeName(int i) const noexcept {
  if (i < 0 || i >= getNumArguments()) return nullptr;
  return args_[static_cast<size_t>(i)].name.c_str();
}

const char* OBMethodSignature::getOutputTypeName(int i) const noexcept {
  if (i < 0 || i >= getNumOutputs()) return nullptr;
  return outs_[static_cast<size_t>(i)].name.c_str();
}

OBDataType* OBMethodSignature::resolve(const Slot& s) {
  if (s.type == nullptr) {
    s.type = OBTypeRepository::getType(s.name.c_str());
    if (s.type == nullptr)
      obk_detail::raise("obk:UnknownType", "There is no data type '" + s.name + "'.");
  }
  return s.type;
}

OBDataType* OBMethodSignature::getArgumentType(int i) const {
  if (i < 0 || args_.empty()) return nullptr;
  if (i >= getNumArguments()) {
    if (!repeating_) return nullptr;
    i = getNumArguments() - 1;
  }
  return resolve(args_[static_cast<size_t>(i)]);
}

OBDataType* OBMethodSignature::getOutputType(int i) const {
  if (i < 0 || i >= getNumOutputs()) return nullptr;
  return resolve(outs_[static_cast<size_t>(i)]);
}

bool OBMethodSignature::acceptsCount(int n) const noexcept {
  int k = getNumArguments();
  return n == k || (repeating_ && n >= k - 1);
}

std::string OBMethodSignature::toString() const {
  std::string s = "(";
  for (size_t i = 0; i < args_.size(); ++i) {
    if (i) s += ", ";
    s += args_[i].name;
  }
  if (repeating_) s += "...";
  s += ")";
  if (!outs_.empty()) {
    s += " -> ";
    for (size_t i = 0; i < outs_.size(); ++i) {
      if (i) s += ", ";
      s += outs_[i].name;
    }
  }
  return s;
}

OBMethodInfo::~OBMethodInfo() = default;

void OBMethodInfo::setName(const char* name) { name_ = name ? name : ""; }
void OBMethodInfo::setDescription(const char* text) { description_ = text ? text : ""; }

void OBMethodInfo::addMethodSignature(OBMethodSignature* sig) {
  if (sig == nullptr) return;
  sigs_.emplace_back(sig);
  sigView_.push_back(sig);
}

namespace obk_detail {

OBMethodSignature* matchSignature(const std::vector<OBMethodSignature*>& sigs,
                                  int nOut, int nIn, const qxArray* const ins[]) {
  for (OBMethodSignature* sig : sigs) {
    if (!sig->acceptsCount(nIn) || sig->getNumOutputs() < nOut) continue;
    bool all = true;
    for (int i = 0; i < nIn && all; ++i) {
      OBDataType* t = sig->getArgumentType(i);
      all = t != nullptr && ins[i] != nullptr && t->matches(ins[i]);
    }
    if (all) return sig;
  }
  return nullptr;
}

bool isPellamArrayType(const OBDataType* t) noexcept { return t != nullptr && t->isHostArray(); }

ConvertedArgs::ConvertedArgs(const OBMethodSignature* sig, int nIn,
                             qxArray* const ins[]) {
  const size_t count = nIn > 0 ? static_cast<size_t>(nIn) : 0;
  if (count > inlineCount) {
    try {
      heapValues_.reset(new void*[count]);
      heapOwners_.reset(new const OBDataType*[count]);
    } catch (const std::bad_alloc&) {
      raiseOutOfMemory();
    }
    values_ = heapValues_.get();
    owners_ = heapOwners_.get();
  }
  try {
    for (size_t i = 0; i < count; ++i) {
      const OBDataType* t = sig->getArgumentType(static_cast<int>(i));
      if (isPellamArrayType(t)) {
        values_[i] = ins[i];
        owners_[i] = nullptr;
      } else {
        values_[i] = t->fromHost(ins[i]);
        owners_[i] = t;
      }
      count_ = i + 1;
    }
  } catch (const std::bad_alloc&) {
    releaseAll();
    raiseOutOfMemory();
  } catch (...) {
    releaseAll();
    throw;
  }
}

ConvertedArgs::~ConvertedArgs() { releaseAll(); }

void ConvertedArgs::releaseAll() noexcept {
  for (size_t i = count_; i-- > 0;)
    if (owners_[i] != nullptr) owners_[i]->release(values_[i]);
  count_ = 0;
}

}  // namespace obk_detail
