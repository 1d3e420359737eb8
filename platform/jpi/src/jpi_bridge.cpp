// The recording Java bridge.  References are serial numbers that never
// repeat, so a stale or foreign reference is recognised without touching
// memory; every record stays until a test resets the bridge.
#include "jpi/jpi.hpp"

#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <unordered_set>
#include <vector>

#include "jpi/jpi_test.hpp"
#include "jpi_classes.hpp"

using jpi_detail::Member;
using jpi_detail::Role;

namespace {

constexpr uint64_t kFirstSerial = 0x10000;

struct Bridge {
  std::deque<jpiRecord> records;
  uint64_t base = kFirstSerial;  // serial of records[0]
  uint64_t next = kFirstSerial;
  std::vector<std::string> diagnostics;
  std::unordered_set<std::string> removed;
  size_t calls = 0;
  bool listenersRegistered = false;
};

// Never destroyed (usable from static initialisers and destructors).
Bridge& bridge() {
  static Bridge* b = new Bridge;
  return *b;
}

jobject refOf(uint64_t serial) { return reinterpret_cast<jobject>(static_cast<uintptr_t>(serial)); }

jpiRecord* recordOf(jobject ref) {
  Bridge& b = bridge();
  auto serial = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(ref));
  if (ref == nullptr || serial < b.base || serial >= b.next) return nullptr;
  return &b.records[serial - b.base];
}

jpiRecord& addRecord(jpiRecord::Kind kind, std::string className) {
  Bridge& b = bridge();
  jpiRecord& r = b.records.emplace_back();
  r.kind = kind;
  r.ref = refOf(b.next++);
  r.className = std::move(className);
  return r;
}

void badPost(const std::string& what) { bridge().diagnostics.push_back(what); }

// The live record behind a reference, or null after a diagnostic.
jpiRecord* liveRecord(jobject ref, const char* operation, const char* role) {
  jpiRecord* r = recordOf(ref);
  if (r == nullptr) {
    badPost(std::string(operation) + ": " + (ref == nullptr ? "null " : "unknown ") + role);
  } else if (r->released) {
    badPost(std::string(operation) + ": released " + role + " of " + r->className);
    return nullptr;
  }
  return r;
}

const Member* memberOf(jmethodID id) {
  auto pos = reinterpret_cast<uintptr_t>(id);
  if (pos == 0 || pos > jpi_detail::memberCount()) return nullptr;
  return &jpi_detail::members()[pos - 1];
}

jmethodID idOf(size_t position) {
  if (position >= jpi_detail::memberCount()) return nullptr;
  return reinterpret_cast<jmethodID>(static_cast<uintptr_t>(position + 1));
}

// The member behind an id when it is one of the class's with this role.
const Member* memberFor(jmethodID id, const jpiRecord& cls, Role role, const char* operation) {
  const Member* m = memberOf(id);
  if (m == nullptr || m->role != role || cls.className != m->className) {
    badPost(std::string(operation) + ": " + (id == nullptr ? "null method" : "foreign method") +
            " for " + cls.className);
    return nullptr;
  }
  return m;
}

jpiArg decodeOne(char type, va_list* args) {
  jpiArg a{};
  switch (type) {
    case 'J':
      a.kind = jpiArg::Kind::Long;
      a.integer = va_arg(*args, int64_t);
      a.text = std::to_string(a.integer);
      break;
    case 'F':
    case 'D':
      a.kind = jpiArg::Kind::Double;
      a.real = va_arg(*args, double);
      a.text = std::to_string(a.real);
      break;
    case 'Z':
      a.kind = jpiArg::Kind::Int;
      a.integer = va_arg(*args, int) != 0 ? 1 : 0;
      a.text = a.integer != 0 ? "true" : "false";
      break;
    default:  // I, S, B, C
      a.kind = jpiArg::Kind::Int;
      a.integer = va_arg(*args, int);
      a.text = std::to_string(a.integer);
      break;
  }
  return a;
}

// Reads the arguments a JNI signature "(...)R" declares.
std::vector<jpiArg> decodeArgs(const char* signature, va_list* args) {
  std::vector<jpiArg> out;
  const char* p = std::strchr(signature, '(');
  if (p == nullptr) return out;
  for (++p; *p != '\0' && *p != ')'; ++p) {
    if (*p == 'L' || *p == '[') {
      while (*p == '[') ++p;
      if (*p == 'L') p = std::strchr(p, ';');
      if (p == nullptr) break;
      jpiArg a{};
      a.kind = jpiArg::Kind::Object;
      a.object = va_arg(*args, jobject);
      a.text = jpiTestDescribe(a.object);
      out.push_back(std::move(a));
    } else {
      out.push_back(decodeOne(*p, args));
    }
  }
  return out;
}

jpiRecord* liveClass(jclass cls, const char* operation) {
  jpiRecord* r = liveRecord(cls, operation, "class");
  if (r != nullptr && r->kind != jpiRecord::Kind::Class) {
    badPost(std::string(operation) + ": not a class: " + r->className);
    return nullptr;
  }
  return r;
}

}  // namespace

jclass pljFindClass(const char* name) {
  ++bridge().calls;
  std::string dotted = jpi_detail::dottedName(name);
  const char* known = jpi_detail::knownClass(dotted);
  if (known == nullptr || bridge().removed.count(dotted) != 0) return nullptr;
  return addRecord(jpiRecord::Kind::Class, known).ref;
}

namespace {

jmethodID lookUp(jclass cls, Role role, const char* name, const char* signature) {
  ++bridge().calls;
  const jpiRecord* r = recordOf(cls);
  if (r == nullptr || r->released || r->kind != jpiRecord::Kind::Class) return nullptr;
  return idOf(jpi_detail::findMember(r->className, role, name, signature));
}

}  // namespace

jmethodID pljGetConstructor(jclass cls, const char* signature) {
  return lookUp(cls, Role::Constructor, nullptr, signature);
}

jmethodID pljGetMethod(jclass cls, const char* name, const char* signature) {
  return lookUp(cls, Role::Method, name, signature);
}

jmethodID pljGetStaticMethod(jclass cls, const char* name, const char* signature) {
  return lookUp(cls, Role::Static, name, signature);
}

jobject pljCreateObject(jclass cls, jmethodID constructor, ...) {
  ++bridge().calls;
  const jpiRecord* c = liveClass(cls, "pljCreateObject");
  if (c == nullptr) return nullptr;
  const Member* m = memberFor(constructor, *c, Role::Constructor, "pljCreateObject");
  if (m == nullptr) return nullptr;
  va_list args;
  va_start(args, constructor);
  std::vector<jpiArg> decoded = decodeArgs(m->signature, &args);
  va_end(args);
  jpiRecord& r = addRecord(jpiRecord::Kind::Object, m->className);
  r.signature = m->signature;
  r.args = std::move(decoded);
  return r.ref;
}

jstring pljCreateString(const char* text) {
  ++bridge().calls;
  if (text == nullptr) {
    badPost("pljCreateString: null text");
    return nullptr;
  }
  jpiRecord& r = addRecord(jpiRecord::Kind::String, "java.lang.String");
  r.text = text;
  return r.ref;
}

void pljCallVoidMethod(jobject object, jmethodID method, ...) {
  ++bridge().calls;
  jpiRecord* r = liveRecord(object, "pljCallVoidMethod", "object");
  if (r == nullptr) return;
  if (r->kind == jpiRecord::Kind::Class) {
    badPost("pljCallVoidMethod: instance method called on class " + r->className);
    return;
  }
  const Member* m = memberFor(method, *r, Role::Method, "pljCallVoidMethod");
  if (m == nullptr) return;
  va_list args;
  va_start(args, method);
  std::vector<jpiArg> decoded = decodeArgs(m->signature, &args);
  va_end(args);
  r->calls.push_back(jpiCall{m->name, m->signature, std::move(decoded)});
}

bool pljCallStaticBooleanMethod(jclass cls, jmethodID method, ...) {
  ++bridge().calls;
  jpiRecord* c = liveClass(cls, "pljCallStaticBooleanMethod");
  if (c == nullptr) return false;
  const Member* m = memberFor(method, *c, Role::Static, "pljCallStaticBooleanMethod");
  if (m == nullptr) return false;
  c->calls.push_back(jpiCall{m->name, m->signature, {}});
  return std::strcmp(m->name, "getAreListenersRegistered") == 0 && bridge().listenersRegistered;
}

void pljReleaseObject(jobject ref) {
  ++bridge().calls;
  if (ref == nullptr) return;
  jpiRecord* r = recordOf(ref);
  if (r == nullptr) {
    badPost("pljReleaseObject: unknown reference");
  } else if (r->released) {
    badPost("pljReleaseObject: released twice: " + r->className);
  } else {
    r->released = true;
  }
}

// --- test controls ---------------------------------------------------------------

const std::deque<jpiRecord>& jpiTestRecords() { return bridge().records; }

std::vector<const jpiRecord*> jpiTestObjectsOfClass(const char* className) {
  std::string dotted = jpi_detail::dottedName(className);
  std::vector<const jpiRecord*> out;
  for (const jpiRecord& r : bridge().records) {
    if (r.kind == jpiRecord::Kind::Object && r.className == dotted) out.push_back(&r);
  }
  return out;
}

const jpiRecord* jpiTestFind(jobject ref) { return recordOf(ref); }

std::string jpiTestDescribe(jobject ref) {
  if (ref == nullptr) return "null";
  const jpiRecord* r = recordOf(ref);
  if (r == nullptr) return "?";
  if (r->kind == jpiRecord::Kind::String) return r->text;
  if (r->kind == jpiRecord::Kind::Class) return "class " + r->className;
  bool boxed = r->className == "java.lang.Integer" || r->className == "java.lang.Boolean";
  if (boxed && r->args.size() == 1) return r->args[0].text;
  std::string text = r->className.substr(r->className.rfind('.') + 1) + "(";
  for (size_t i = 0; i < r->args.size(); ++i) text += (i > 0 ? "," : "") + r->args[i].text;
  return text + ")";
}

size_t jpiTestUnreleasedCount() {
  size_t n = 0;
  for (const jpiRecord& r : bridge().records) {
    if (!r.released && r.kind != jpiRecord::Kind::Class) ++n;
  }
  return n;
}

const std::vector<std::string>& jpiTestDiagnostics() { return bridge().diagnostics; }
size_t jpiTestCallCount() { return bridge().calls; }

bool jpiTestRemoveClass(const char* className) {
  std::string dotted = jpi_detail::dottedName(className);
  if (jpi_detail::knownClass(dotted) == nullptr) return false;
  bridge().removed.insert(dotted);
  return true;
}

void jpiTestRestoreClass(const char* className) {
  bridge().removed.erase(jpi_detail::dottedName(className));
}

void jpiTestSetListenersRegistered(bool on) { bridge().listenersRegistered = on; }

void jpiTestReset() {
  Bridge& b = bridge();
  b.records.clear();
  b.base = b.next;
  b.diagnostics.clear();
  b.removed.clear();
  b.calls = 0;
  b.listenersRegistered = false;
}
