// The host's built-in methods "set" and "find".
#include "obk/OBErrorStatus.hpp"

#include <string>
#include <utility>
#include <vector>

#include "obk/OBClass.hpp"
#include "obk/OBDatabaseClient.hpp"
#include "obk/OBDispatch.hpp"
#include "obk/OBInterface.hpp"
#include "obk/OBPropInfo.hpp"
#include "obk/OBTypes.hpp"
#include "obk_internal.hpp"

using obk_detail::raise;

namespace {

// One name with its value (borrowed; null for a trailing name).
struct Pair {
  std::string name;
  const qxArray* value;
};

[[noreturn]] void raiseBadName() {
  raise("obk:InvalidPropertyName", "Property names must be character vectors.");
}

OBInterface* requireObject(int nIn, qxArray* const ins[]) {
  OBInterface* obj = nIn > 0 ? obkHandleOf(ins[0]) : nullptr;
  if (obj == nullptr || !obj->isValid())
    raise("obk:InvalidObject", "The first argument must be a valid object.");
  return obj;
}

// Expands a struct argument into one pair per field (first element).
void addStructPairs(const qxArray* s, std::vector<Pair>& out) {
  int n = qxGetNumberOfFields(s);
  for (int f = 0; f < n; ++f) {
    const qxArray* v = qxGetNumberOfElements(s) > 0 ? qxGetFieldByNumber(s, 0, f) : nullptr;
    out.push_back(Pair{qxGetFieldNameByNumber(s, f), v});
  }
}

// Expands a 1-by-2k cell of alternating names and values.
void addCellPairs(const qxArray* c, std::vector<Pair>& out) {
  size_t n = qxGetNumberOfElements(c);
  if (n % 2 != 0 || (n > 0 && qxGetM(c) != 1)) raiseBadName();
  for (size_t i = 0; i < n; i += 2) {
    const qxArray* name = qxGetCell(c, i);
    if (!obk_detail::isTextArray(name)) raiseBadName();
    out.push_back(Pair{qxArrayToStdString(name), qxGetCell(c, i + 1)});
  }
}

// Parses ins[1..] into pairs; the last pair may have no value.
std::vector<Pair> parsePairs(int nIn, qxArray* const ins[]) {
  std::vector<Pair> out;
  for (int i = 1; i < nIn; ++i) {
    const qxArray* a = ins[i];
    if (a != nullptr && qxIsStruct(a)) {
      addStructPairs(a, out);
    } else if (a != nullptr && qxIsCell(a)) {
      addCellPairs(a, out);
    } else if (obk_detail::isTextArray(a)) {
      const qxArray* v = i + 1 < nIn ? ins[i + 1] : nullptr;
      out.push_back(Pair{qxArrayToStdString(a), v});
      ++i;
    } else {
      raiseBadName();
    }
  }
  return out;
}

qxArray* settableNames(const OBInterface* obj) {
  std::vector<const char*> names;
  for (const OBPropInfo* p : obj->getClass()->getProperties())
    if (p->isExternalSetAccess()) names.push_back(p->getName());
  qxArray* cell = qxCreateCellMatrix(names.size(), 1);
  for (size_t i = 0; i < names.size(); ++i) qxSetCell(cell, i, qxCreateString(names[i]));
  return cell;
}

// The allowed values of a property as an n-by-1 cell (0-by-1 when free).
qxArray* allowedValues(OBInterface* obj, OBPropInfo* p) {
  qxArray* v = p->getDataType(obj)->getAllowedValues();
  return v != nullptr ? v : qxCreateCellMatrix(0, 1);
}

// Applies one pair as the external client; false (with the error in status)
// when it fails.
bool applyPair(OBInterface* obj, const Pair& pair, OBErrorStatus& status) {
  try {
    obkSetProperty(obj, pair.name, pair.value, OBDatabaseClient::getExternalClient());
    return true;
  } catch (const ErrorIdException& e) {
    status.addError(e.getIdentifier(), e.getMessage());
  } catch (const std::exception& e) {
    status.addError("obk:SetFailed", e.what());
  }
  return false;
}

int builtInSet(qxArray* outs[], int nIn, qxArray* const ins[], OBErrorStatus& status) {
  OBInterface* obj = requireObject(nIn, ins);
  if (nIn == 1) {
    outs[0] = settableNames(obj);
    return 1;
  }
  std::vector<Pair> pairs = parsePairs(nIn, ins);
  for (const Pair& pair : pairs) {
    if (pair.value != nullptr) {
      if (!applyPair(obj, pair, status)) return 0;
      continue;
    }
    OBPropInfo* p = obj->getProperty(pair.name);
    if (p == nullptr) {
      try {
        obk_detail::raiseNoProperty(pair.name, obj->getClass());
      } catch (const ErrorIdException& e) {
        status.addError(e.getIdentifier(), e.getMessage());
      }
      return 0;
    }
    outs[0] = allowedValues(obj, p);
    return 1;
  }
  return 0;
}

// Pre-order over the descendants of root (root excluded).
template <class Visit>
void forEachDescendant(OBInterface* root, Visit visit) {
  OBInterface* n = root->getFirstChild();
  while (n != nullptr) {
    visit(n);
    if (n->getFirstChild() != nullptr) {
      n = n->getFirstChild();
      continue;
    }
    while (n != nullptr && n != root && n->getRight() == nullptr) n = n->getUp();
    n = (n == nullptr || n == root) ? nullptr : n->getRight();
  }
}

bool matchesAll(OBInterface* obj, const std::vector<Pair>& pairs) {
  for (const Pair& pair : pairs) {
    qxArray* have = obkTryGetProperty(obj, pair.name);
    bool same = have != nullptr && obkHostValuesEqual(have, pair.value);
    qxDestroyArray(have);
    if (!same) return false;
  }
  return true;
}

int builtInFind(qxArray* outs[], int nIn, qxArray* const ins[]) {
  OBInterface* root = requireObject(nIn, ins);
  if (nIn % 2 != 1) raise("obk:InvalidArguments", "Property names and values must come in pairs.");
  std::vector<Pair> pairs;
  for (int i = 1; i + 1 < nIn; i += 2) {
    if (!obk_detail::isTextArray(ins[i])) raiseBadName();
    pairs.push_back(Pair{qxArrayToStdString(ins[i]), ins[i + 1]});
  }
  std::vector<OBInterface*> hits;
  forEachDescendant(root, [&](OBInterface* obj) {
    if (matchesAll(obj, pairs)) hits.push_back(obj);
  });
  qxArray* out = qxCreateHandleArray(hits.size(), hits.empty() ? 0 : 1);
  for (size_t i = 0; i < hits.size(); ++i) qxSetHandle(out, i, hits[i]);
  outs[0] = out;
  return 1;
}

}  // namespace

int obCallBuiltInMethod(const char* name, int, qxArray* outs[], int nIn,
                        qxArray* const ins[], OBErrorStatus& status) {
  std::string method = name != nullptr ? name : "";
  if (method == "set") return builtInSet(outs, nIn, ins, status);
  if (method == "find") return builtInFind(outs, nIn, ins);
  raise("obk:UnknownBuiltIn", "There is no built-in method '" + method + "'.");
}
