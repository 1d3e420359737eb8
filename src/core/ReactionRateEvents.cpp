#include "core/ReactionRateEvents.hpp"

#include <obk/OBTypes.hpp>
#include <sv/sv.hpp>

using javabridge::JavaRef;
using javabridge::javaText;

ReactionRateEventClass::ReactionRateEventClass()
    : event(javabridge::lookUpConstructor(
          "kestridesk.eventqueue.ReactionRateEvent",
          "(Ljava/lang/Object;Ljava/lang/String;Ljava/lang/String;)V")),
      stringType(OBTypeRepository::getType("string")),
      handleType(OBTypeRepository::getType("handle")) {
  source.cls = pljFindClass("kestridesk.eventqueue.ReactionRateEventSource");
  if (source.cls != nullptr) {
    source.method = pljGetStaticMethod(source.cls, "getAreListenersRegistered", "()Z");
  }
}

void ReactionRateEventClass::release() {
  javabridge::releaseClass(source.cls);
  javabridge::releaseClass(event.cls);
  source = event = javabridge::JavaMember{};
}

const ReactionRateEventClass* getReactionRateEventClass() {
  if (!svJavaUseJVM()) return nullptr;
  static const ReactionRateEventClass cache;
  return &cache;
}

bool areReactionRateListenersRegistered(const ReactionRateEventClass* cache) {
  if (cache == nullptr || !cache->source.found() || !svJavaUseJVM()) return false;
  return pljCallStaticBooleanMethod(cache->source.cls, cache->source.method);
}

void postReactionRateEvent(const ReactionRateEventClass* cache, OBInterface* reaction,
                           const char* lawName, const char* rate) {
  if (cache == nullptr || !cache->event.found() || !svJavaUseJVM()) return;
  JavaRef reactionRef = javabridge::toJava(cache->handleType, reaction);
  JavaRef name = javaText(cache->stringType, lawName);
  JavaRef rateRef = javaText(cache->stringType, rate);
  javabridge::postJavaEvent(cache->event, reactionRef.get(), name.get(), rateRef.get());
}

void notifyReactionRateListeners(OBInterface* reaction, const char* lawName, const char* rate) {
  if (!svJavaUseJVM()) return;
  const ReactionRateEventClass* cache = getReactionRateEventClass();
  if (areReactionRateListenersRegistered(cache))
    postReactionRateEvent(cache, reaction, lawName, rate);
}
