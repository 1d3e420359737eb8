#include "core/JavaEventFactory.hpp"

#include <obk/OBTypes.hpp>

using javabridge::JavaRef;
using javabridge::javaText;
using javabridge::lookUpConstructor;
using javabridge::postJavaEvent;
using javabridge::toJava;

namespace {

const char* const kObjectEventClass = "kestridesk.eventqueue.OBKToJavaEvent";
const char* const kLawEventClass = "kestridesk.eventqueue.AbstractKineticLawJavaEvent";
const char* const kDestroyedSignature =
    "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/Object;Ljava/lang/Object;)V";
const char* const kChildAddedSignature =
    "(Ljava/lang/Object;Ljava/lang/Object;Ljava/lang/String;)V";
const char* const kCreatedSignature = "(Ljava/lang/Object;Ljava/lang/String;Ljava/lang/String;)V";
const char* const kLawSignature = "(Ljava/lang/Object;Ljava/lang/String;Ljava/lang/String;)V";
const char* const kLawNameSignature = "(Ljava/lang/String;)V";

}  // namespace

JavaEventFactory::JavaEventFactory()
    : objectEventClass_(pljFindClass(kObjectEventClass)),
      lawEventClass_(pljFindClass(kLawEventClass)),
      destroyed_(lookUpConstructor(objectEventClass_, kDestroyedSignature)),
      childAdded_(lookUpConstructor(objectEventClass_, kChildAddedSignature)),
      created_(lookUpConstructor(objectEventClass_, kCreatedSignature)),
      lawEvent_(lookUpConstructor(lawEventClass_, kLawSignature)),
      lawNameEvent_(lookUpConstructor(lawEventClass_, kLawNameSignature)),
      string_(OBTypeRepository::getType("string")),
      handle_(OBTypeRepository::getType("handle")) {}

void JavaEventFactory::postObjectDestroyedEvent(OBInterface* parent, OBInterface* object,
                                                const char* className, const char* name) const {
  if (!svJavaUseJVM() || !destroyed_.found()) return;
  JavaRef cls = javaText(string_, className);
  JavaRef objectName = javaText(string_, name);
  JavaRef parentRef = toJava(handle_, parent);
  JavaRef objectRef = toJava(handle_, object);
  postJavaEvent(destroyed_, cls.get(), objectName.get(), parentRef.get(), objectRef.get());
}

void JavaEventFactory::postChildAddedEvent(OBInterface* parent, OBInterface* child,
                                           const char* keyword) const {
  if (!svJavaUseJVM() || !childAdded_.found()) return;
  JavaRef parentRef = toJava(handle_, parent);
  JavaRef childRef = toJava(handle_, child);
  JavaRef word = javaText(string_, keyword);
  postJavaEvent(childAdded_, parentRef.get(), childRef.get(), word.get());
}

void JavaEventFactory::postObjectCreatedEvent(OBInterface* object, const char* className,
                                              const char* text) const {
  if (!svJavaUseJVM() || !created_.found()) return;
  JavaRef objectRef = toJava(handle_, object);
  JavaRef cls = javaText(string_, className);
  JavaRef second = javaText(string_, text);
  postJavaEvent(created_, objectRef.get(), cls.get(), second.get());
}

void JavaEventFactory::postKineticLawEvent(OBInterface* law, const char* first,
                                           const char* second) const {
  if (!svJavaUseJVM() || !lawEvent_.found()) return;
  JavaRef lawRef = toJava(handle_, law);
  JavaRef firstRef = javaText(string_, first);
  JavaRef secondRef = javaText(string_, second);
  postJavaEvent(lawEvent_, lawRef.get(), firstRef.get(), secondRef.get());
}

void JavaEventFactory::postKineticLawNameEvent(const char* text) const {
  if (!svJavaUseJVM() || !lawNameEvent_.found()) return;
  JavaRef textRef = javaText(string_, text);
  postJavaEvent(lawNameEvent_, textRef.get());
}

void JavaEventFactory::release() {
  javabridge::releaseClass(objectEventClass_);
  javabridge::releaseClass(lawEventClass_);
  destroyed_ = childAdded_ = created_ = lawEvent_ = lawNameEvent_ = javabridge::JavaMember{};
}
