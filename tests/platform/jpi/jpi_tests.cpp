// Tests of the recording Java bridge stand-in.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "jpi/jpi.hpp"
#include "jpi/jpi_test.hpp"

namespace {

const char* const kObkSig = "(J)V";
const char* const kEvent1 = "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/Object;Ljava/lang/Object;)V";
const char* const kEvent2 = "(Ljava/lang/Object;Ljava/lang/Object;Ljava/lang/String;)V";
const char* const kEvent3 = "(Ljava/lang/Object;Ljava/lang/String;Ljava/lang/String;)V";

class JpiTest : public ::testing::Test {
 protected:
  void SetUp() override { jpiTestReset(); }
  void TearDown() override { jpiTestReset(); }

  // A desktop view of a host handle, as the handle converter makes it.
  jobject obk(int64_t handle) {
    jclass cls = pljFindClass("jpiroot/bean/OBKObject");
    jobject o = pljCreateObject(cls, pljGetConstructor(cls, kObkSig), handle);
    pljReleaseObject(cls);
    return o;
  }

  static std::vector<std::string> texts(const std::vector<jpiArg>& args) {
    std::vector<std::string> out;
    for (const jpiArg& a : args) out.push_back(a.text);
    return out;
  }
};

TEST_F(JpiTest, FindClassAcceptsDottedAndSlashedNames) {
  struct Case {
    const char* name;
    const char* recorded;  // null: not found
  };
  const Case cases[] = {
      {"kestridesk.eventqueue.VerifyKestrion", "kestridesk.eventqueue.VerifyKestrion"},
      {"kestridesk/eventqueue/VerifyKestrion", "kestridesk.eventqueue.VerifyKestrion"},
      {"kestridesk.eventqueue.OBKToJavaEvent", "kestridesk.eventqueue.OBKToJavaEvent"},
      {"kestridesk.util.KstrHelpServices", "kestridesk.util.KstrHelpServices"},
      {"java/lang/Integer", "java.lang.Integer"},
      {"java.lang.Boolean", "java.lang.Boolean"},
      {"java/util/Vector", "java.util.Vector"},
      {"jpiroot/bean/OBKObject", "jpiroot.bean.OBKObject"},
      {"java/lang/Thread", nullptr},
      {"kestridesk.eventqueue.Unknown", nullptr},
      {"", nullptr},
      {nullptr, nullptr},
  };
  for (const Case& c : cases) {
    jclass cls = pljFindClass(c.name);
    if (c.recorded == nullptr) {
      EXPECT_EQ(cls, nullptr) << (c.name ? c.name : "null");
      continue;
    }
    ASSERT_NE(cls, nullptr) << c.name;
    const jpiRecord* r = jpiTestFind(cls);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->kind, jpiRecord::Kind::Class);
    EXPECT_EQ(r->className, c.recorded);
    pljReleaseObject(cls);
  }
  EXPECT_TRUE(jpiTestDiagnostics().empty());
}

TEST_F(JpiTest, MemberLookupFollowsTheClassTable) {
  enum Role { Ctor, Method, Static };
  struct Case {
    const char* cls;
    Role role;
    const char* name;
    const char* sig;
    bool found;
  };
  const Case cases[] = {
      {"kestridesk.eventqueue.OBKToJavaEvent", Ctor, nullptr, kEvent1, true},
      {"kestridesk.eventqueue.OBKToJavaEvent", Ctor, nullptr, kEvent2, true},
      {"kestridesk.eventqueue.OBKToJavaEvent", Ctor, nullptr, kEvent3, true},
      {"kestridesk.eventqueue.OBKToJavaEvent", Ctor, nullptr, "()V", false},
      {"kestridesk.eventqueue.AbstractKineticLawJavaEvent", Ctor, nullptr, "(Ljava/lang/String;)V", true},
      {"kestridesk.eventqueue.InUseCountEvent", Ctor, nullptr,
       "(Ljpiroot/bean/OBKObject;Ljava/lang/Integer;)V", true},
      {"kestridesk.eventqueue.InUseCountEvent", Ctor, nullptr, "(Ljpiroot/bean/OBKObject;I)V", false},
      {"kestridesk.eventqueue.ModelUnusedParameters", Ctor, nullptr, "(Ljpiroot/bean/OBKObject;I)V", true},
      {"java/lang/Integer", Ctor, nullptr, "(I)V", true},
      {"java/lang/Integer", Ctor, nullptr, "(Z)V", false},
      {"java/util/Vector", Method, "addElement", "(Ljava/lang/Object;)V", true},
      {"java/util/Vector", Static, "addElement", "(Ljava/lang/Object;)V", false},
      {"java/util/Vector", Method, "addelement", "(Ljava/lang/Object;)V", false},
      {"kestridesk.eventqueue.ExpressionEventState", Method, "addTokenStatus",
       "(Ljava/lang/String;Ljava/lang/Integer;)V", true},
      {"kestridesk.eventqueue.ExpressionEventState", Method, "addTokenStatus", "(Ljava/lang/String;I)V", false},
      {"kestridesk.eventqueue.ReactionRateEventSource", Static, "getAreListenersRegistered", "()Z", true},
      {"kestridesk.eventqueue.ReactionRateEventSource", Method, "getAreListenersRegistered", "()Z", false},
      {"kestridesk.util.KstrHelpServices", Method, "printHelp", "(Ljava/lang/String;)V", true},
      {"kestridesk.util.KstrHelpServices", Method, "printHelp", nullptr, false},
  };
  for (const Case& c : cases) {
    jclass cls = pljFindClass(c.cls);
    ASSERT_NE(cls, nullptr) << c.cls;
    jmethodID id = c.role == Ctor     ? pljGetConstructor(cls, c.sig)
                   : c.role == Method ? pljGetMethod(cls, c.name, c.sig)
                                      : pljGetStaticMethod(cls, c.name, c.sig);
    EXPECT_EQ(id != nullptr, c.found) << c.cls << " " << (c.name ? c.name : "<init>") << " "
                                      << (c.sig ? c.sig : "null");
    pljReleaseObject(cls);
  }
  EXPECT_EQ(pljGetConstructor(nullptr, "()V"), nullptr);
}

TEST_F(JpiTest, ConstructorArgumentsAreDecodedBySignature) {
  jobject model = obk(0x1234);
  jobject component = obk(0x5678);
  jclass messages = pljFindClass("kestridesk.eventqueue.ModelExpressionMessages");
  jmethodID ctor = pljGetConstructor(messages, "(Ljpiroot/bean/OBKObject;IIIIIIIII)V");
  jobject event = pljCreateObject(messages, ctor, model, 1, 2, 3, 0, -1, 5, 6, 7, 2147483647);
  ASSERT_NE(event, nullptr);
  const jpiRecord* r = jpiTestFind(event);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->className, "kestridesk.eventqueue.ModelExpressionMessages");
  EXPECT_EQ(r->signature, "(Ljpiroot/bean/OBKObject;IIIIIIIII)V");
  ASSERT_EQ(r->args.size(), 10u);
  EXPECT_EQ(r->args[0].kind, jpiArg::Kind::Object);
  EXPECT_EQ(r->args[0].object, model);
  EXPECT_EQ(r->args[0].text, "OBKObject(" + std::to_string(0x1234) + ")");
  EXPECT_EQ(texts(r->args), (std::vector<std::string>{r->args[0].text, "1", "2", "3", "0", "-1", "5",
                                                       "6", "7", "2147483647"}));
  EXPECT_EQ(r->args[5].kind, jpiArg::Kind::Int);
  EXPECT_EQ(r->args[5].integer, -1);

  jclass events = pljFindClass("kestridesk.eventqueue.OBKToJavaEvent");
  jstring cls = pljCreateString("Species");
  jstring name = pljCreateString("s1");
  jobject destroyed =
      pljCreateObject(events, pljGetConstructor(events, kEvent1), cls, name, model, component);
  EXPECT_EQ(texts(jpiTestFind(destroyed)->args),
            (std::vector<std::string>{"Species", "s1", jpiTestDescribe(model), jpiTestDescribe(component)}));
  jobject created = pljCreateObject(events, pljGetConstructor(events, kEvent3), component, cls, nullptr);
  EXPECT_EQ(texts(jpiTestFind(created)->args),
            (std::vector<std::string>{jpiTestDescribe(component), "Species", "null"}));
  EXPECT_EQ(jpiTestObjectsOfClass("kestridesk/eventqueue/OBKToJavaEvent").size(), 2u);
  EXPECT_TRUE(jpiTestDiagnostics().empty());
  for (jobject o : {model, component, event, cls, name, destroyed, created, messages, events}) {
    pljReleaseObject(o);
  }
  EXPECT_EQ(jpiTestUnreleasedCount(), 0u);
}

TEST_F(JpiTest, BoxedValuesDescribeTheirValue) {
  jclass integer = pljFindClass("java/lang/Integer");
  jclass boolean = pljFindClass("java/lang/Boolean");
  jmethodID intCtor = pljGetConstructor(integer, "(I)V");
  jmethodID boolCtor = pljGetConstructor(boolean, "(Z)V");
  struct Case {
    jobject object;
    const char* text;
  };
  const Case cases[] = {
      {pljCreateObject(integer, intCtor, 0), "0"},
      {pljCreateObject(integer, intCtor, -42), "-42"},
      {pljCreateObject(boolean, boolCtor, 1), "true"},
      {pljCreateObject(boolean, boolCtor, 0), "false"},
      {pljCreateObject(boolean, boolCtor, 2), "true"},  // any non-zero int
      {pljCreateString("text with spaces"), "text with spaces"},
      {pljCreateString(""), ""},
      {nullptr, "null"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(jpiTestDescribe(c.object), c.text);
    pljReleaseObject(c.object);
  }
  pljReleaseObject(integer);
  pljReleaseObject(boolean);
  EXPECT_EQ(jpiTestUnreleasedCount(), 0u);
  EXPECT_TRUE(jpiTestDiagnostics().empty());
}

TEST_F(JpiTest, MethodCallsAreRecordedOnTheObject) {
  jclass vectorCls = pljFindClass("java/util/Vector");
  jclass stateCls = pljFindClass("kestridesk.eventqueue.ExpressionEventState");
  jclass intCls = pljFindClass("java/lang/Integer");
  jobject text = pljCreateString("k1*A");
  jobject valid = pljCreateObject(pljFindClass("java/lang/Boolean"),
                                  pljGetConstructor(pljFindClass("java/lang/Boolean"), "(Z)V"), 1);
  jobject state = pljCreateObject(
      stateCls, pljGetConstructor(stateCls, "(Ljava/lang/String;Ljava/lang/Boolean;)V"), text, valid);
  jobject token = pljCreateString("k1");
  jobject zero = pljCreateObject(intCls, pljGetConstructor(intCls, "(I)V"), 0);
  pljCallVoidMethod(state, pljGetMethod(stateCls, "addTokenStatus", "(Ljava/lang/String;Ljava/lang/Integer;)V"),
                    token, zero);
  jobject vec = pljCreateObject(vectorCls, pljGetConstructor(vectorCls, "()V"));
  pljCallVoidMethod(vec, pljGetMethod(vectorCls, "addElement", "(Ljava/lang/Object;)V"), state);

  const jpiRecord* s = jpiTestFind(state);
  EXPECT_EQ(texts(s->args), (std::vector<std::string>{"k1*A", "true"}));
  ASSERT_EQ(s->calls.size(), 1u);
  EXPECT_EQ(s->calls[0].method, "addTokenStatus");
  EXPECT_EQ(texts(s->calls[0].args), (std::vector<std::string>{"k1", "0"}));
  const jpiRecord* v = jpiTestFind(vec);
  ASSERT_EQ(v->calls.size(), 1u);
  EXPECT_EQ(v->calls[0].method, "addElement");
  EXPECT_EQ(v->calls[0].args[0].object, state);
  EXPECT_TRUE(jpiTestDiagnostics().empty());
  // Six objects and strings made; the two Boolean class lookups are classes.
  EXPECT_EQ(jpiTestUnreleasedCount(), 6u);
}

// Every kind of misuse is recorded as a diagnostic and makes nothing.
TEST_F(JpiTest, BadPostsAreDiagnosed) {
  jclass integer = pljFindClass("java/lang/Integer");
  jclass vectorCls = pljFindClass("java/util/Vector");
  jmethodID intCtor = pljGetConstructor(integer, "(I)V");
  jmethodID addElement = pljGetMethod(vectorCls, "addElement", "(Ljava/lang/Object;)V");
  jobject anInteger = pljCreateObject(integer, intCtor, 1);
  jclass released = pljFindClass("java/lang/Integer");
  pljReleaseObject(released);
  struct Case {
    const char* what;
    std::function<jobject()> post;
  };
  const Case cases[] = {
      {"null class", [&] { return pljCreateObject(nullptr, intCtor, 1); }},
      {"null constructor", [&] { return pljCreateObject(integer, nullptr, 1); }},
      {"constructor of another class", [&] { return pljCreateObject(vectorCls, intCtor, 1); }},
      {"method as constructor", [&] { return pljCreateObject(vectorCls, addElement, nullptr); }},
      {"released class", [&] { return pljCreateObject(released, intCtor, 1); }},
      {"object as class", [&] { return pljCreateObject(anInteger, intCtor, 1); }},
      {"null text", [&] { return pljCreateString(nullptr); }},
      {"method of another class", [&] { pljCallVoidMethod(anInteger, addElement, nullptr); return nullptr; }},
      {"call on null", [&] { pljCallVoidMethod(nullptr, addElement, nullptr); return nullptr; }},
      {"call on a class", [&] { pljCallVoidMethod(vectorCls, addElement, nullptr); return nullptr; }},
  };
  size_t made = jpiTestRecords().size();
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].post(), nullptr) << cases[i].what;
    EXPECT_EQ(jpiTestDiagnostics().size(), i + 1) << cases[i].what;
  }
  EXPECT_EQ(jpiTestRecords().size(), made);
  EXPECT_TRUE(jpiTestFind(anInteger)->calls.empty());
  for (jobject o : {integer, vectorCls, anInteger}) pljReleaseObject(o);
}

TEST_F(JpiTest, ReleasingTwiceOrUnknownIsDiagnosed) {
  jobject text = pljCreateString("x");
  EXPECT_EQ(jpiTestUnreleasedCount(), 1u);
  pljReleaseObject(text);
  EXPECT_EQ(jpiTestUnreleasedCount(), 0u);
  EXPECT_TRUE(jpiTestDiagnostics().empty());
  pljReleaseObject(text);
  ASSERT_EQ(jpiTestDiagnostics().size(), 1u);
  EXPECT_NE(jpiTestDiagnostics()[0].find("released twice"), std::string::npos);
  pljReleaseObject(reinterpret_cast<jobject>(static_cast<uintptr_t>(12)));
  EXPECT_EQ(jpiTestDiagnostics().size(), 2u);
  pljReleaseObject(nullptr);  // allowed
  EXPECT_EQ(jpiTestDiagnostics().size(), 2u);
  // A reference from before a reset is unknown afterwards.
  jobject old = pljCreateString("y");
  jpiTestReset();
  EXPECT_EQ(jpiTestFind(old), nullptr);
  pljReleaseObject(old);
  EXPECT_EQ(jpiTestDiagnostics().size(), 1u);
}

TEST_F(JpiTest, ARemovedClassIsNotFoundUntilRestored) {
  const char* check = "kestridesk.eventqueue.VerifyKestrion";
  EXPECT_FALSE(jpiTestRemoveClass("kestridesk.eventqueue.NoSuchClass"));
  ASSERT_TRUE(jpiTestRemoveClass("kestridesk/eventqueue/VerifyKestrion"));
  EXPECT_EQ(pljFindClass(check), nullptr);
  EXPECT_EQ(pljFindClass("kestridesk/eventqueue/VerifyKestrion"), nullptr);
  jclass other = pljFindClass("java/lang/Integer");  // others unaffected
  EXPECT_NE(other, nullptr);
  pljReleaseObject(other);
  jpiTestRestoreClass(check);
  jclass cls = pljFindClass(check);
  EXPECT_NE(cls, nullptr);
  pljReleaseObject(cls);
  ASSERT_TRUE(jpiTestRemoveClass(check));
  jpiTestReset();  // restores every class
  cls = pljFindClass(check);
  EXPECT_NE(cls, nullptr);
  pljReleaseObject(cls);
}

TEST_F(JpiTest, ListenerAnswerIsSetByTests) {
  jclass source = pljFindClass("kestridesk.eventqueue.ReactionRateEventSource");
  jmethodID query = pljGetStaticMethod(source, "getAreListenersRegistered", "()Z");
  ASSERT_NE(query, nullptr);
  EXPECT_FALSE(pljCallStaticBooleanMethod(source, query));
  jpiTestSetListenersRegistered(true);
  EXPECT_TRUE(pljCallStaticBooleanMethod(source, query));
  EXPECT_EQ(jpiTestFind(source)->calls.size(), 2u);
  jclass other = pljFindClass("java/lang/Integer");
  EXPECT_FALSE(pljCallStaticBooleanMethod(other, query));  // not its method
  EXPECT_FALSE(pljCallStaticBooleanMethod(nullptr, query));
  EXPECT_EQ(jpiTestDiagnostics().size(), 2u);
  pljReleaseObject(other);
  pljReleaseObject(source);
  jpiTestReset();
  source = pljFindClass("kestridesk.eventqueue.ReactionRateEventSource");
  EXPECT_FALSE(pljCallStaticBooleanMethod(source, query));  // default again
  pljReleaseObject(source);
}

TEST_F(JpiTest, EveryBridgeCallIsCounted) {
  EXPECT_EQ(jpiTestCallCount(), 0u);
  jclass cls = pljFindClass("java/lang/Integer");          // 1
  jmethodID ctor = pljGetConstructor(cls, "(I)V");          // 2
  jobject o = pljCreateObject(cls, ctor, 3);                // 3
  pljGetMethod(cls, "none", "()V");                         // 4
  pljGetStaticMethod(cls, "none", "()Z");                   // 5
  pljCallVoidMethod(o, nullptr);                            // 6 (a bad post, still a call)
  pljCallStaticBooleanMethod(cls, nullptr);                 // 7
  jobject s = pljCreateString("s");                         // 8
  pljReleaseObject(s);                                      // 9
  pljReleaseObject(o);                                      // 10
  pljReleaseObject(cls);                                    // 11
  pljFindClass("no.such.Class");                            // 12
  EXPECT_EQ(jpiTestCallCount(), 12u);
  jpiTestReset();
  EXPECT_EQ(jpiTestCallCount(), 0u);
}

}  // namespace
