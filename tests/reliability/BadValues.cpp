// The bad-value table of the sweep and the plausible values of each host type.
#include "BadValues.hpp"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <obk/obk.hpp>

namespace {

qxArray* text(const char* t) { return qxCreateString(t); }
qxArray* number(double v) { return qxCreateDoubleScalar(v); }

qxArray* longText() {
  std::string t(100000, 'a');
  return qxCreateString(t.c_str());
}

// "a", NUL, "b": a char array with an embedded NUL.
qxArray* textWithNul() {
  qxArray* a = qxCreateString("a_b");
  qxGetChars(a)[1] = '\0';
  return a;
}

qxArray* matrix2x2() {
  qxArray* a = qxCreateDoubleMatrix(2, 2, qxREAL);
  for (size_t i = 0; i < 4; ++i) qxGetPr(a)[i] = static_cast<double>(i + 1);
  return a;
}

qxArray* complexScalar() {
  qxArray* a = qxCreateDoubleMatrix(1, 1, qxCOMPLEX);
  qxGetPr(a)[0] = 1;
  qxGetPi(a)[0] = 1;
  return a;
}

qxArray* cellOf(qxArray* element) {
  qxArray* c = qxCreateCellMatrix(1, 1);
  qxSetCell(c, 0, element);
  return c;
}

qxArray* structValue() {
  const char* names[] = {"Name"};
  qxArray* s = qxCreateStructMatrix(1, 1, 1, names);
  qxSetFieldByNumber(s, 0, 0, qxCreateString("x"));
  return s;
}

qxArray* handleOf(OBInterface* object) { return obkHandleArray(object); }

struct FixedRow {
  const char* label;
  qxArray* (*make)();
};

const FixedRow kFixedRows[] = {
    {"empty double", [] { return qxCreateDoubleMatrix(0, 0, qxREAL); }},
    {"empty text", [] { return qxCreateString(""); }},
    {"empty cell", [] { return qxCreateCellMatrix(0, 0); }},
    {"text for a number", [] { return text("1"); }},
    {"number for a text", [] { return number(1); }},
    {"cell of text", [] { return cellOf(text("a")); }},
    {"cell of number", [] { return cellOf(number(1)); }},
    {"struct", structValue},
    {"logical true", [] { return qxCreateLogicalScalar(true); }},
    {"logical false", [] { return qxCreateLogicalScalar(false); }},
    {"NaN", [] { return number(std::numeric_limits<double>::quiet_NaN()); }},
    {"+Inf", [] { return number(std::numeric_limits<double>::infinity()); }},
    {"-Inf", [] { return number(-std::numeric_limits<double>::infinity()); }},
    {"-0", [] { return number(-0.0); }},
    {"0", [] { return number(0.0); }},
    {"-1", [] { return number(-1.0); }},
    {"1e308", [] { return number(1e308); }},
    {"2^31", [] { return number(2147483648.0); }},
    {"2^63", [] { return number(9223372036854775808.0); }},
    {"0.5", [] { return number(0.5); }},
    {"2x2 matrix", matrix2x2},
    {"complex", complexScalar},
    {"whitespace text", [] { return text(" \t "); }},
    {"100000-character text", longText},
    {"non-ASCII text", [] { return text("\xc3\xa9t\xff"); }},
    {"text with NUL", textWithNul},
    {"\"->\"", [] { return text("->"); }},
    {"\"[\"", [] { return text("["); }},
    {"\"]\"", [] { return text("]"); }},
    {"\".\"", [] { return text("."); }},
    {"\"a.b\"", [] { return text("a.b"); }},
    {"\"[x]\"", [] { return text("[x]"); }},
    {"\"A -> B\"", [] { return text("A -> B"); }},
    {"\"time\"", [] { return text("time"); }},
};

// An instance of the named class ("Kestrion.X" or "X"), or null.
OBInterface* instanceOfClass(const std::string& name, const ValueSources& s) {
  OBClass* cls = OBApplicationManager::findClass(name);
  if (cls == nullptr) return nullptr;
  for (size_t i = 0; i < s.classes.size(); ++i)
    if (s.byClass[i] != nullptr && s.byClass[i]->getClass()->isA(cls)) return s.byClass[i];
  return nullptr;
}

}  // namespace

std::vector<BadValue> badValueTable(const std::vector<OBClass*>& classes) {
  std::vector<BadValue> rows;
  for (const FixedRow& row : kFixedRows) rows.push_back({row.label, BadValue::Kind::Made, 0, row.make});
  rows.push_back({"null handle", BadValue::Kind::NullHandle, 0, nullptr});
  rows.push_back({"deleted handle", BadValue::Kind::DeletedHandle, 0, nullptr});
  for (size_t i = 0; i < classes.size(); ++i)
    rows.push_back({std::string("handle of ") + classes[i]->getName(), BadValue::Kind::ClassHandle, i,
                    nullptr});
  rows.push_back({"handles of two classes", BadValue::Kind::MixedHandles, 0, nullptr});
  return rows;
}

qxArray* makeBadValue(const BadValue& value, const ValueSources& s) {
  switch (value.kind) {
    case BadValue::Kind::Made: return value.make();
    case BadValue::Kind::NullHandle: return obkHandleArray(nullptr);
    case BadValue::Kind::DeletedHandle: return handleOf(s.deleted);
    case BadValue::Kind::ClassHandle:
      return handleOf(value.classIndex < s.byClass.size() ? s.byClass[value.classIndex] : nullptr);
    case BadValue::Kind::MixedHandles: {
      qxArray* a = qxCreateHandleArray(2, 1);
      qxSetHandle(a, 0, s.self);
      qxSetHandle(a, 1, s.other);
      return a;
    }
  }
  return nullptr;
}

qxArray* makePlausibleValue(const std::string& type, const ValueSources& s) {
  if (type == "string" || type == "PELLAM array") return text("sweep");
  if (type == "double" || type == "int" || type == "long") return number(1);
  if (type == "bool") return qxCreateLogicalScalar(true);
  if (type == "NReals" || type == "Nints") return number(1);
  if (type == "string vector") return cellOf(text("sweep"));
  const std::string vectorSuffix = " vector";
  const bool isVector = type.size() > vectorSuffix.size() &&
                        type.compare(type.size() - vectorSuffix.size(), vectorSuffix.size(), vectorSuffix) == 0;
  const std::string cls = isVector ? type.substr(0, type.size() - vectorSuffix.size()) : type;
  OBInterface* object = (cls == "handle") ? s.self : instanceOfClass(cls, s);
  if (!isVector) return handleOf(object);
  qxArray* a = qxCreateHandleArray(object ? 1 : 0, object ? 1 : 0);
  if (object) qxSetHandle(a, 0, object);
  return a;
}
