// Making a sweep call's arguments and calling it through the host dispatch.
#include "SweepCalls.hpp"

#include <algorithm>
#include <exception>
#include <new>

#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "model/BQuorvixRoot.hpp"

namespace {

bool anySignatureTakes(const std::vector<OBMethodSignature*>& sigs, int nOut, const std::vector<qxArray*>& args) {
  return std::any_of(sigs.begin(), sigs.end(), [&](const OBMethodSignature* sig) {
    if (!sig->acceptsCount(static_cast<int>(args.size())) || sig->getNumOutputs() < nOut) return false;
    for (size_t i = 0; i < args.size(); ++i) {
      const OBDataType* type = sig->getArgumentType(static_cast<int>(i));
      if (type == nullptr || !type->matches(args[i])) return false;
    }
    return true;
  });
}

// The host's own error when it runs out of memory converting a value.
[[noreturn]] void raiseHostOutOfMemory() { throw ErrorIdException("obk:OutOfMemory", "Out of memory."); }

// A property of a class that has no instance of its own (the abstract base
// of the components), read and written on an instance of another component
// class the way the host does it for the instance's own properties.
qxArray* getDeclared(OBInterface* self, OBPropInfo* prop) {
  OBDatabaseClient* client = OBDatabaseClient::getExternalClient();
  qxOpenCallScope();
  qxArray* out = nullptr;
  try {
    void* v = self->get(prop, client);
    try {
      out = prop->getDataType(self)->toHost(v);
    } catch (const std::bad_alloc&) {
      self->release(prop, v, client);
      raiseHostOutOfMemory();
    } catch (...) {
      self->release(prop, v, client);
      throw;
    }
    self->release(prop, v, client);
  } catch (...) {
    qxCloseCallScope();
    throw;
  }
  qxSetArrayScope(out, qxSCOPE_PERSISTENT);
  qxCloseCallScope();
  return out;
}

void setDeclared(OBInterface* self, OBPropInfo* prop, const qxArray* value) {
  OBDatabaseClient* client = OBDatabaseClient::getExternalClient();
  if (!prop->canSet(client)) throw ErrorIdException("obk:PropertyAccessDenied", "The property cannot be set.");
  const OBDataType* type = prop->getDataType(self);
  if (!type->matches(value)) throw ErrorIdException("obk:InvalidValue", "The value does not match.");
  void* native = nullptr;
  try {
    native = type->fromHost(value);
  } catch (const std::bad_alloc&) {
    raiseHostOutOfMemory();
  }
  try {
    self->set(prop, native, client);
  } catch (...) {
    type->release(native);
    throw;
  }
  type->release(native);
}

qxArray* makeArg(const SweepArg& a, const ValueSources& s, const std::vector<BadValue>& bad,
                 const std::vector<std::string>& names) {
  qxArray* v = nullptr;
  switch (a.kind) {
    case SweepArg::Kind::Self: v = obkHandleArray(s.self); break;
    case SweepArg::Kind::Plausible: v = makePlausibleValue(a.typeName, s); break;
    case SweepArg::Kind::Bad: v = makeBadValue(bad[a.index], s); break;
    case SweepArg::Kind::PropertyName: v = qxCreateString(names[a.index].c_str()); break;
    case SweepArg::Kind::Extra: v = qxCreateString("sweep"); break;
  }
  qxSetArrayScope(v, qxSCOPE_PERSISTENT);
  return v;
}

}  // namespace

bool reachesEngine(const SweepMember& member, const SweepCall& call, OBInterface* self,
                   const std::vector<qxArray*>& args) {
  switch (call.op) {
    case SweepCall::Op::Get: return true;
    case SweepCall::Op::Set: {
      if (!member.prop->canSet(OBDatabaseClient::getExternalClient())) return false;
      return member.prop->getDataType(self)->matches(args[0]);
    }
    case SweepCall::Op::Invoke:
      return anySignatureTakes(member.method->getMethodSignatures(), call.sig->getNumOutputs() > 0 ? 1 : 0, args);
    case SweepCall::Op::Construct:
      return member.cls->canBeConstructed() && anySignatureTakes(member.cls->getConstructorSignatures(), 0, args);
  }
  return true;
}

SweepOutcome outcomeOf(const std::function<void()>& body) {
  SweepOutcome outcome;
  try {
    auto error = TestHost::errorOf(body);
    outcome.accepted = !error;
    if (error) outcome.errorId = error->id;
  } catch (const std::bad_alloc&) {
    outcome.escaped = "std::bad_alloc";
  } catch (const std::exception& e) {
    outcome.escaped = e.what();
  } catch (...) {
    outcome.escaped = "unknown exception";
  }
  return outcome;
}

SweepCaller::SweepCaller(const std::vector<OBClass*>& classes)
    : bad_(badValueTable(classes)), names_(allPropertyNames(classes)) {}

std::string SweepCaller::describe(const SweepMember& member, const SweepCall& call) const {
  std::string text = member.label() + (call.op == SweepCall::Op::Get ? " get" : call.op == SweepCall::Op::Set ? " set" : "") + "(";
  for (size_t i = 0; i < call.args.size(); ++i) {
    const SweepArg& a = call.args[i];
    if (i) text += ", ";
    switch (a.kind) {
      case SweepArg::Kind::Self: text += "self"; break;
      case SweepArg::Kind::Plausible: text += "<" + a.typeName + ">"; break;
      case SweepArg::Kind::Bad: text += bad_[a.index].label; break;
      case SweepArg::Kind::PropertyName: text += "'" + names_[a.index] + "'"; break;
      case SweepArg::Kind::Extra: text += "extra"; break;
    }
  }
  return text + ")";
}

std::vector<qxArray*> SweepCaller::makeArgs(const SweepCall& call, const ValueSources& sources) const {
  std::vector<qxArray*> args;
  for (const SweepArg& a : call.args) args.push_back(makeArg(a, sources, bad_, names_));
  return args;
}

void SweepCaller::invoke(const SweepMember& member, const SweepCall& call, OBInterface* self,
                         std::vector<qxArray*>& args, qxArray* outs[]) {
  const int n = static_cast<int>(args.size());
  switch (call.op) {
    case SweepCall::Op::Get:
      if (self->getProperty(member.prop->getName()) == member.prop) {
        outs[0] = obkGetProperty(self, member.prop->getName());
      } else {
        outs[0] = getDeclared(self, member.prop);
      }
      break;
    case SweepCall::Op::Set:
      if (self->getProperty(member.prop->getName()) == member.prop) {
        obkSetProperty(self, member.prop->getName(), args[0]);
      } else {
        setDeclared(self, member.prop, args[0]);
      }
      break;
    case SweepCall::Op::Construct: {
      OBInterface* made = obkConstruct(member.cls, n, args.data());
      // The root is one per process: its handle is given back, not destroyed.
      if (made != nullptr && made != getOBIRoot()) made->destroy(OBDatabaseClient::getExternalClient());
      if (made != nullptr) made->releaseReference();
      break;
    }
    case SweepCall::Op::Invoke: {
      OBMethodInfo* m = member.method;
      const int nOut = call.sig->getNumOutputs() > 0 ? 1 : 0;
      if (m->isStatic() && member.cls->getMethod(m->getName()) == m) {
        obkCallStaticMethod(member.cls, m->getName(), nOut, outs, n, args.data());
      } else if (!m->isStatic() && self->getClass()->getMethod(m->getName()) == m) {
        obkCallMethod(m->getName(), nOut, outs, n, args.data());
      } else {
        obkInvokeMethod(m, nOut, outs, n, args.data());  // declared here, overridden below
      }
      break;
    }
  }
}

