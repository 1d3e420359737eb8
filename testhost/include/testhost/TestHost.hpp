// The test host: lets a test act as the host language.  It starts and stops
// the engine through its module functions, makes host values, creates
// instances, calls methods and reads and writes properties the way the
// user's language does, and gives access to everything the platform
// recorded (printed text, warnings, property events, Java objects,
// interpreter calls, stacked messages).  Every array it makes or receives
// is owned by the host and destroyed with it.
#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <qx/qx.hpp>

class OBClass;
class OBInterface;
struct hbRecordedWarning;
struct InterpCallRecord;
struct OBEventRecord;
struct StackedMessage;

// An error as the user sees it: identifier and text.
struct HostCallError {
  std::string id;
  std::string message;
};

// Counts of what is alive in the platform; compared before and after a
// test to find leaks.
struct HostHealth {
  size_t instances = 0;
  size_t hbBlocks = 0;
  size_t arrays = 0;
  size_t javaReferences = 0;
  size_t destroyDiagnostics = 0;  // also external references released without one held
  size_t badArrayDestroys = 0;    // destroys of dead or foreign host arrays
  size_t javaDiagnostics = 0;     // misuses the Java bridge recorded
  bool operator==(const HostHealth&) const = default;
};
std::string describe(const HostHealth& health);

class TestHost {
 public:
  struct Options {
    bool java = false;
  };

  TestHost();
  explicit TestHost(Options options);
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  // The module functions, called the way the host calls them.  Start-up
  // errors reach the caller as HostError.
  void start();
  void stop();

  // --- values (owned by the host) ---------------------------------------------
  qxArray* str(const char* text);
  qxArray* num(double value);
  qxArray* nums(std::initializer_list<double> values);  // 1-by-n
  qxArray* logical(bool value);
  qxArray* cell(std::initializer_list<qxArray*> elements);  // 1-by-n; takes the elements
  qxArray* strct(std::initializer_list<std::pair<const char*, qxArray*>> fields);
  qxArray* handle(OBInterface* object);
  qxArray* handles(std::initializer_list<OBInterface*> objects);  // n-by-1
  // Adopts an array made elsewhere (destroyed with the host).
  qxArray* own(qxArray* array);

  // --- objects -----------------------------------------------------------------------
  // Creates an instance of a class (by bare or full name) with host
  // arguments; the host keeps one reference until it is released or the
  // host goes.
  OBInterface* construct(const char* className, std::initializer_list<qxArray*> args = {});
  // Calls a method; the first argument is normally the object.  Returns the
  // outputs (nargout of them, or the host's "ans" when 0 were requested and
  // the method produced one).
  std::vector<qxArray*> call(const char* method, std::initializer_list<qxArray*> args,
                             int nargout = 0);
  // The same on an object: call(method, {handle(object), args...}).
  std::vector<qxArray*> call(OBInterface* object, const char* method,
                             std::initializer_list<qxArray*> args = {}, int nargout = 0);
  std::vector<qxArray*> callStatic(const char* className, const char* method,
                                   std::initializer_list<qxArray*> args, int nargout = 1);
  // Reads or writes a property as the user (external client) or, with
  // internal true, as the engine's own client.
  qxArray* get(OBInterface* object, const char* property, bool internal = false);
  std::string getString(OBInterface* object, const char* property, bool internal = false);
  void set(OBInterface* object, const char* property, qxArray* value, bool internal = false);
  // Destroys the object the way the host's delete does; false when its
  // class refused.
  bool destroy(OBInterface* object);
  // Gives back the host's reference on an object it constructed.
  void release(OBInterface* object);

  // Runs the body and returns the host error it raised, or nothing when it
  // returned normally.  Engine errors, host errors and interpreter errors
  // all count.
  static std::optional<HostCallError> errorOf(const std::function<void()>& body);

  // --- logs --------------------------------------------------------------------------
  const std::string& printed() const;
  const std::vector<hbRecordedWarning>& warnings() const;
  const std::vector<OBEventRecord>& postSetEvents() const;
  const std::vector<InterpCallRecord>& interpCalls() const;
  const std::vector<StackedMessage>& stacked() const;
  size_t javaCalls() const;
  // Clears every log above.
  void clearLogs();

  // What is alive now, and what was alive when the host was made.
  static HostHealth health();
  const HostHealth& baseline() const { return baseline_; }

 private:
  qxArray* keep(qxArray* array);
  void releaseHeld();

  Options options_;
  HostHealth baseline_;
  std::vector<qxArray*> arrays_;
  std::vector<OBInterface*> objects_;
};

// Text of a char array; "" for anything else.
std::string textOf(const qxArray* array);
// The instance in a 1-by-1 handle array, or null.
OBInterface* objectOf(const qxArray* array);
