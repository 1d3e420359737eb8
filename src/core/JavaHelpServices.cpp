#include "core/JavaHelpServices.hpp"

#include <jpi/jpi.hpp>
#include <sv/sv.hpp>

#include "core/JavaEvents.hpp"

namespace {

// Kept for the life of the library: the class and the instance are never
// given back.
struct HelpServicesCache {
  javabridge::JavaMember constructor;
  jobject instance = nullptr;
  jmethodID printHelp = nullptr;

  HelpServicesCache()
      : constructor(javabridge::lookUpConstructor("kestridesk.util.KstrHelpServices", "()V")),
        instance(javabridge::makeJavaObject(constructor).detach()),
        printHelp(javabridge::lookUpMethod(constructor.cls, "printHelp", "(Ljava/lang/String;)V")) {
  }
};

const HelpServicesCache* helpServices() {
  if (!svJavaUseJVM()) return nullptr;
  static const HelpServicesCache cache;
  return &cache;
}

}  // namespace

void JavaHelpServices::printHelp(const char* text) {
  const HelpServicesCache* cache = helpServices();
  if (cache == nullptr || cache->instance == nullptr || cache->printHelp == nullptr) return;
  javabridge::JavaRef message(pljCreateString(text != nullptr ? text : ""));
  pljCallVoidMethod(cache->instance, cache->printHelp, message.get());
}
