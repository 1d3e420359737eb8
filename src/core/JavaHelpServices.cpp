#include "core/JavaHelpServices.hpp"

#include <jpi/jpi.hpp>

namespace {

struct HelpServicesCache {
  jobject instance = nullptr;
  jmethodID printHelp = nullptr;

  HelpServicesCache() {
    jclass cls = pljFindClass("kestridesk.util.KstrHelpServices");
    jmethodID constructor = pljGetConstructor(cls, "()V");
    instance = pljCreateObject(cls, constructor);
    printHelp = pljGetMethod(cls, "printHelp", "(Ljava/lang/String;)V");
  }
};

HelpServicesCache& helpServices() {
  static HelpServicesCache cache;
  return cache;
}

}  // namespace

void JavaHelpServices::printHelp(const char* text) {
  HelpServicesCache& cache = helpServices();
  jstring message = pljCreateString(text ? text : "");
  pljCallVoidMethod(cache.instance, cache.printHelp, message);
  pljReleaseObject(message);
}
