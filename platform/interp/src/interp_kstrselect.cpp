// The host function "kstrselect" in its three forms:
//   (a) (h, "where", P, "contains", x [, "or", "where", Q, "contains", y ...])
//   (b) (P1, v1, P2, v2, ...)   over everything under the root instance
//   (c) (h, P1, v1, ...)        e.g. (h, "type", "species")
// Property names ignore case; values are exact texts or the same handle.
// (a) and (c) search the descendants of h without entering "Model"
// instances below it; (b) enters them.  The result is an N-by-1 handle
// array in tree pre-order, 0x0 when empty.
#include "interp_internal.hpp"

#include <cstring>
#include <vector>

#include "obk/OBClass.hpp"
#include "obk/OBDispatch.hpp"
#include "obk/OBInterface.hpp"
#include "obk/OBNames.hpp"

namespace interp_detail {

namespace {

struct Condition {
  std::string prop;
  const qxArray* value;  // borrowed
};

// All conditions must hold (forms b, c), or any of them must contain the
// value (form a).
struct Query {
  std::vector<Condition> conditions;
  bool containsAny = false;
};

[[noreturn]] void badCall() {
  fail("kstrselect:InvalidArguments", "Invalid arguments to kstrselect.");
}

bool isKeyword(const qxArray* a, const char* word) {
  return a != nullptr && qxIsChar(a) && obkEqualsNoCase(qxArrayToStdString(a), word);
}

Query parsePairs(int first, int nrhs, qxArray* prhs[]) {
  Query q;
  if ((nrhs - first) < 2 || (nrhs - first) % 2 != 0) badCall();
  for (int i = first; i < nrhs; i += 2) {
    if (prhs[i] == nullptr || !qxIsChar(prhs[i])) badCall();
    q.conditions.push_back(Condition{qxArrayToStdString(prhs[i]), prhs[i + 1]});
  }
  return q;
}

// "where", P, "contains", x, then any number of "or", "where", Q, "contains", y.
Query parseWhere(int first, int nrhs, qxArray* prhs[]) {
  Query q;
  q.containsAny = true;
  int i = first;
  while (true) {
    if (i + 4 > nrhs) badCall();
    if (!isKeyword(prhs[i], "where") || prhs[i + 1] == nullptr || !qxIsChar(prhs[i + 1]) ||
        !isKeyword(prhs[i + 2], "contains"))
      badCall();
    q.conditions.push_back(Condition{qxArrayToStdString(prhs[i + 1]), prhs[i + 3]});
    i += 4;
    if (i == nrhs) return q;
    if (!isKeyword(prhs[i], "or")) badCall();
    ++i;
  }
}

// True when the property value equals the wanted value.
bool holds(OBInterface* obj, const Condition& c) {
  qxArray* have = obkTryGetProperty(obj, c.prop);
  bool ok = have != nullptr && obkHostValuesEqual(have, c.value);
  qxDestroyArray(have);
  return ok;
}

// True when the property value (handles, a cell of texts or a text)
// contains the wanted value.
bool contains(OBInterface* obj, const Condition& c) {
  qxArray* have = obkTryGetProperty(obj, c.prop);
  if (have == nullptr) return false;
  bool ok = false;
  size_t n = qxGetNumberOfElements(have);
  OBInterface* wanted = obkHandleOf(c.value);
  if (qxIsHandleArray(have)) {
    for (size_t i = 0; i < n && !ok; ++i) ok = wanted != nullptr && qxGetHandle(have, i) == wanted;
  } else if (qxIsCell(have)) {
    for (size_t i = 0; i < n && !ok; ++i) ok = obkHostValuesEqual(qxGetCell(have, i), c.value);
  } else {
    ok = obkHostValuesEqual(have, c.value);
  }
  qxDestroyArray(have);
  return ok;
}

bool selects(OBInterface* obj, const Query& q) {
  if (q.containsAny) {
    for (const Condition& c : q.conditions)
      if (contains(obj, c)) return true;
    return false;
  }
  for (const Condition& c : q.conditions)
    if (!holds(obj, c)) return false;
  return true;
}

// Pre-order over the descendants of node; "Model" instances are visited but
// not entered unless enterModels.
void collect(OBInterface* node, const Query& q, bool enterModels,
             std::vector<OBInterface*>& out) {
  for (OBInterface* c = node->getFirstChild(); c != nullptr; c = c->getRight()) {
    if (selects(c, q)) out.push_back(c);
    if (enterModels || std::strcmp(c->getClass()->getName(), "Model") != 0)
      collect(c, q, enterModels, out);
  }
}

qxArray* handleColumn(const std::vector<OBInterface*>& hits) {
  qxArray* out = qxCreateHandleArray(hits.size(), hits.empty() ? 0 : 1);
  for (size_t i = 0; i < hits.size(); ++i) qxSetHandle(out, i, hits[i]);
  return out;
}

}  // namespace

void kstrselect(int, qxArray* plhs[], int nrhs, qxArray* prhs[]) {
  if (nrhs < 1 || prhs[0] == nullptr) badCall();
  std::vector<OBInterface*> hits;
  if (OBInterface* scope = obkHandleOf(prhs[0])) {
    scope->checkValid();
    if (nrhs < 3) badCall();
    Query q = isKeyword(prhs[1], "where") ? parseWhere(1, nrhs, prhs) : parsePairs(1, nrhs, prhs);
    collect(scope, q, false, hits);
  } else if (qxIsChar(prhs[0])) {
    Query q = parsePairs(0, nrhs, prhs);
    OBInterface* root = state().root;
    if (root != nullptr && root->isValid()) collect(root, q, true, hits);
  } else {
    badCall();
  }
  plhs[0] = handleColumn(hits);
}

}  // namespace interp_detail
