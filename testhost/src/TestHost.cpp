#include "testhost/TestHost.hpp"

#include <algorithm>
#include <sstream>

#include <hb/hb_test.hpp>
#include <qx/qx.hpp>
#include <interp/interp.hpp>
#include <interp/interp_test.hpp>
#include <jpi/jpi_test.hpp>
#include <ks_utils/Errors.hpp>
#include <obk/obk.hpp>
#include <sv/sv_test.hpp>

#include "core/ModuleEntry.hpp"

std::string describe(const HostHealth& h) {
  std::ostringstream out;
  out << "instances=" << h.instances << " hbBlocks=" << h.hbBlocks << " arrays=" << h.arrays
      << " javaReferences=" << h.javaReferences << " destroyDiagnostics=" << h.destroyDiagnostics
      << " badArrayDestroys=" << h.badArrayDestroys << " javaDiagnostics=" << h.javaDiagnostics;
  return out.str();
}

TestHost::TestHost() : TestHost(Options{}) {}

TestHost::TestHost(Options options) : options_(options) {
  svTestSetJava(options_.java);
  baseline_ = health();
}

TestHost::~TestHost() { releaseHeld(); }

void TestHost::releaseHeld() {
  for (OBInterface* object : objects_) object->releaseReference();
  objects_.clear();
  for (qxArray* array : arrays_) qxDestroyArray(array);
  arrays_.clear();
}

void TestHost::start() { PLInitialize_kelbor(); }
void TestHost::stop() { PLTerminate_kelbor(); }

qxArray* TestHost::keep(qxArray* array) {
  if (array) {
    qxSetArrayScope(array, qxSCOPE_PERSISTENT);
    arrays_.push_back(array);
  }
  return array;
}

qxArray* TestHost::own(qxArray* array) { return keep(array); }

qxArray* TestHost::str(const char* text) { return keep(qxCreateString(text)); }

qxArray* TestHost::num(double value) { return keep(qxCreateDoubleScalar(value)); }

qxArray* TestHost::nums(std::initializer_list<double> values) {
  qxArray* row = qxCreateDoubleMatrix(1, values.size(), qxREAL);
  std::copy(values.begin(), values.end(), qxGetPr(row));
  return keep(row);
}

qxArray* TestHost::logical(bool value) { return keep(qxCreateLogicalScalar(value)); }

qxArray* TestHost::cell(std::initializer_list<qxArray*> elements) {
  qxArray* c = qxCreateCellMatrix(1, elements.size());
  size_t i = 0;
  for (qxArray* element : elements) {
    // The cell takes the element over from the host's own list.
    arrays_.erase(std::remove(arrays_.begin(), arrays_.end(), element), arrays_.end());
    qxSetCell(c, i++, element);
  }
  return keep(c);
}

qxArray* TestHost::strct(std::initializer_list<std::pair<const char*, qxArray*>> fields) {
  std::vector<const char*> names;
  for (const auto& field : fields) names.push_back(field.first);
  qxArray* s = qxCreateStructMatrix(1, 1, static_cast<int>(names.size()), names.data());
  int i = 0;
  for (const auto& field : fields) {
    arrays_.erase(std::remove(arrays_.begin(), arrays_.end(), field.second), arrays_.end());
    qxSetFieldByNumber(s, 0, i++, field.second);
  }
  return keep(s);
}

qxArray* TestHost::handle(OBInterface* object) { return keep(obkHandleArray(object)); }

qxArray* TestHost::handles(std::initializer_list<OBInterface*> objects) {
  qxArray* a = qxCreateHandleArray(objects.size(), 1);
  size_t i = 0;
  for (OBInterface* object : objects) qxSetHandle(a, i++, object);
  return keep(a);
}

OBInterface* TestHost::construct(const char* className, std::initializer_list<qxArray*> args) {
  std::vector<qxArray*> ins(args);
  OBInterface* object = obkConstruct(className, static_cast<int>(ins.size()), ins.data());
  if (object) objects_.push_back(object);
  return object;
}

std::vector<qxArray*> TestHost::call(const char* method, std::initializer_list<qxArray*> args,
                                     int nargout) {
  std::vector<qxArray*> ins(args);
  std::vector<qxArray*> outs(std::max(nargout, 1), nullptr);
  int produced = obkCallMethod(method, nargout, outs.data(), static_cast<int>(ins.size()),
                               ins.data());
  outs.resize(produced);
  for (qxArray* out : outs) keep(out);
  return outs;
}

std::vector<qxArray*> TestHost::call(OBInterface* object, const char* method,
                                     std::initializer_list<qxArray*> args, int nargout) {
  std::vector<qxArray*> ins{handle(object)};
  ins.insert(ins.end(), args.begin(), args.end());
  std::vector<qxArray*> outs(std::max(nargout, 1), nullptr);
  int produced = obkCallMethod(method, nargout, outs.data(), static_cast<int>(ins.size()),
                               ins.data());
  outs.resize(produced);
  for (qxArray* out : outs) keep(out);
  return outs;
}

std::vector<qxArray*> TestHost::callStatic(const char* className, const char* method,
                                           std::initializer_list<qxArray*> args, int nargout) {
  std::vector<qxArray*> ins(args);
  std::vector<qxArray*> outs(std::max(nargout, 1), nullptr);
  int produced = obkCallStaticMethod(obkRequireClass(className), method, nargout, outs.data(),
                                     static_cast<int>(ins.size()), ins.data());
  outs.resize(produced);
  for (qxArray* out : outs) keep(out);
  return outs;
}

qxArray* TestHost::get(OBInterface* object, const char* property, bool internal) {
  OBDatabaseClient* client = internal ? OBDatabaseClient::getInternalClient()
                                      : OBDatabaseClient::getExternalClient();
  return keep(obkGetProperty(object, property, client));
}

std::string TestHost::getString(OBInterface* object, const char* property, bool internal) {
  return textOf(get(object, property, internal));
}

void TestHost::set(OBInterface* object, const char* property, qxArray* value, bool internal) {
  OBDatabaseClient* client = internal ? OBDatabaseClient::getInternalClient()
                                      : OBDatabaseClient::getExternalClient();
  obkSetProperty(object, property, value, client);
}

bool TestHost::destroy(OBInterface* object) {
  return object->destroy(OBDatabaseClient::getExternalClient());
}

void TestHost::release(OBInterface* object) {
  auto it = std::find(objects_.begin(), objects_.end(), object);
  if (it == objects_.end()) return;
  objects_.erase(it);
  object->releaseReference();
}

std::optional<HostCallError> TestHost::errorOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const ErrorIdException& e) {
    return HostCallError{e.getIdentifier(), e.getMessage()};
  } catch (const HostError& e) {
    return HostCallError{e.identifier(), e.message()};
  }
  return std::nullopt;
}

const std::string& TestHost::printed() const { return hbTestPrinted(); }
const std::vector<hbRecordedWarning>& TestHost::warnings() const { return hbTestWarnings(); }
const std::vector<OBEventRecord>& TestHost::postSetEvents() const { return obkEventLog(); }
const std::vector<InterpCallRecord>& TestHost::interpCalls() const { return interpCallLog(); }
const std::vector<StackedMessage>& TestHost::stacked() const { return kstr_stacked_entries(); }
size_t TestHost::javaCalls() const { return jpiTestCallCount(); }

void TestHost::clearLogs() {
  hbTestClearPrinted();
  hbTestClearWarnings();
  obkClearEventLog();
  interpClearCallLog();
}

HostHealth TestHost::health() {
  HostHealth h;
  h.instances = OBInterface::liveCount();
  h.hbBlocks = hbTestLiveBlocks();
  h.arrays = qxLiveArrayCount();
  h.javaReferences = jpiTestUnreleasedCount();
  h.destroyDiagnostics = obkDestroyDiagnostics().size();
  h.badArrayDestroys = qxBadDestroyCount();
  h.javaDiagnostics = jpiTestDiagnostics().size();
  return h;
}

std::string textOf(const qxArray* array) { return array ? qxArrayToStdString(array) : ""; }

OBInterface* objectOf(const qxArray* array) { return obkHandleOf(array); }
