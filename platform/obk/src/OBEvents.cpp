#include "obk/OBEvents.hpp"

#include <algorithm>
#include <unordered_map>

#include "obk/OBClass.hpp"
#include "obk/OBDatabaseClient.hpp"
#include "obk/OBInterface.hpp"
#include "obk/OBNames.hpp"
#include "obk/OBPropInfo.hpp"
#include "obk_events.hpp"

namespace {

struct Registration {
  unsigned long seq;
  OBListener* listener;
  OBPropInfo* prop;  // null: every property
  int eventType;
};

struct ListenerRegistry {
  std::unordered_map<const OBClass*, std::vector<Registration>> byClass;
  unsigned long nextSeq = 1;
  std::vector<OBEventRecord> log;
  bool logging = true;
};

ListenerRegistry& registry() {
  static ListenerRegistry* r = new ListenerRegistry;
  return *r;
}

bool sameProperty(const OBPropInfo* registered, const OBPropInfo* sent) {
  if (registered == nullptr || registered == sent) return true;
  return sent != nullptr && obkEqualsNoCase(registered->getName(), sent->getName());
}

}  // namespace

OBEvent::~OBEvent() = default;
OBPropertySetEvent::~OBPropertySetEvent() = default;
OBListener::~OBListener() = default;
OBListenerManagerHost::~OBListenerManagerHost() = default;
OBEventSource::~OBEventSource() = default;

void OBListenerManagerHost::addListener(OBClass* cls, OBListener* listener,
                                        OBPropInfo* prop, int eventType) {
  if (cls == nullptr || listener == nullptr) return;
  ListenerRegistry& r = registry();
  auto& list = r.byClass[cls];
  for (const Registration& g : list)
    if (g.listener == listener && g.prop == prop && g.eventType == eventType) return;
  list.push_back(Registration{r.nextSeq++, listener, prop, eventType});
}

void OBListenerManagerHost::removeListener(OBListener* listener) {
  for (auto& [cls, list] : registry().byClass)
    std::erase_if(list, [&](const Registration& g) { return g.listener == listener; });
}

namespace obk_detail {

void deliverPropertyEvent(const OBPropertySetEvent& event, bool external) {
  ListenerRegistry& r = registry();
  OBInterface* source = event.getSource();
  const OBClass* cls = source ? source->getClass() : nullptr;
  std::vector<const Registration*> hits;
  for (const OBClass* c = cls; c != nullptr; c = c->getSuperClass()) {
    auto it = r.byClass.find(c);
    if (it == r.byClass.end()) continue;
    for (const Registration& g : it->second)
      if (g.eventType == event.getEventType() &&
          sameProperty(g.prop, event.getPropInfo()))
        hits.push_back(&g);
  }
  std::sort(hits.begin(), hits.end(),
            [](const Registration* a, const Registration* b) { return a->seq < b->seq; });
  // Copy the listeners first: a listener may register or remove others.
  std::vector<OBListener*> listeners;
  for (const Registration* g : hits) listeners.push_back(g->listener);
  if (r.logging)
    r.log.push_back(OBEventRecord{source, cls ? cls->getFullName() : "",
                                event.getPropInfo() ? event.getPropInfo()->getName() : "",
                                event.getEventType(), external,
                                static_cast<int>(listeners.size())});
  for (OBListener* l : listeners) l->handleEvent(event);
}

}  // namespace obk_detail

const std::vector<OBEventRecord>& obkEventLog() { return registry().log; }
void obkClearEventLog() { registry().log.clear(); }
void obkSetEventLogEnabled(bool on) { registry().logging = on; }
