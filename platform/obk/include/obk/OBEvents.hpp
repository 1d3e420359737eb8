// Events of the object system: property-set events, listeners, and the
// per-class listener registry with its delivery log.
#pragma once

#include <string>
#include <vector>

#include "pellam_api.hpp"

class OBClass;
class OBInterface;
class OBPropInfo;
class OBDatabaseClient;

// Event types.  Only the post-set event is ever sent.
enum : int { OBK_PROPERTY_POST_SET_EVENT = 2 };

class PELLAM_API OBEvent {
 public:
  explicit OBEvent(int eventType) : type_(eventType) {}
  virtual ~OBEvent();
  int getEventType() const noexcept { return type_; }

 private:
  int type_;
};

// A property of an instance was set.  The value is the native value that
// was set (borrowed, valid during delivery only) or null.
class PELLAM_API OBPropertySetEvent : public OBEvent {
 public:
  OBPropertySetEvent(OBPropInfo* prop, OBInterface* source, int eventType,
                     void* value)
      : OBEvent(eventType), prop_(prop), source_(source), value_(value) {}
  ~OBPropertySetEvent() override;

  OBPropInfo* getPropInfo() const noexcept { return prop_; }
  OBInterface* getSource() const noexcept { return source_; }
  void* getValue() const noexcept { return value_; }

 private:
  OBPropInfo* prop_;
  OBInterface* source_;
  void* value_;
};

class PELLAM_API OBListener {
 public:
  virtual ~OBListener();
  // Called for every event the listener is registered for.  The answer is
  // recorded in the log and otherwise ignored.
  virtual bool handleEvent(const OBEvent& event) = 0;
};

// Mixin of class-definition objects that own listeners.  The registry is
// process-wide: a listener is registered for (class, property, event type)
// and receives the events of instances of that class or of any subclass.
// A null property registers for every property of the class.
class PELLAM_API OBListenerManagerHost {
 public:
  virtual ~OBListenerManagerHost();
  // Registrations are kept in order; a repeat of the same four values is
  // ignored.  Null class or listener: ignored.
  static void addListener(OBClass* cls, OBListener* listener, OBPropInfo* prop,
                          int eventType);
  // Removes every registration of the listener (used when a listener dies).
  static void removeListener(OBListener* listener);
};

// Mixin with no behaviour of its own.
class PELLAM_API OBEventSource {
 public:
  virtual ~OBEventSource();
};

// One delivered property event, as recorded in the process-wide log.
struct OBEventRecord {
  OBInterface* source;    // may be dangling later: compare only
  std::string className;  // full name ("Kestrion.Species")
  std::string propName;
  int eventType;
  bool external;   // sent for the external client
  int listeners;   // number of listeners that received it
};

// Test API of the event log.  Logging is on by default; benchmarks that
// set many properties may switch it off.
PELLAM_API const std::vector<OBEventRecord>& obkEventLog();
PELLAM_API void obkClearEventLog();
PELLAM_API void obkSetEventLogEnabled(bool on);
