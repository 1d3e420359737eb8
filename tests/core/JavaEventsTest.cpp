// The desktop event bridge through the recording Java bridge: what each
// event carries, when it is posted, what the bookkeeping of unused
// components and expression problems sends, and that nothing reaches the
// bridge while the host runs no Java machine.
//
// The bridge's caches keep class references for the life of the library, so
// these tests never reset the recording bridge: they compare against marks
// and baselines instead.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <jpi/jpi_test.hpp>
#include <set>
#include <string>
#include <sv/sv_test.hpp>
#include <testhost/TestHost.hpp>
#include <utility>
#include <vector>

#include "core/ExpressionEvents.hpp"
#include "core/InUseCountEvents.hpp"
#include "core/JavaEventFactory.hpp"
#include "core/JavaHelpServices.hpp"
#include "core/ReactionRateEvents.hpp"
#include "support/TestComponents.hpp"
#include "support/TestThing.hpp"

namespace {

const char* const kObjectEvent = "kestridesk.eventqueue.OBKToJavaEvent";
const char* const kLawEvent = "kestridesk.eventqueue.AbstractKineticLawJavaEvent";

using TokenMap = kstrMap<std::string, const KelborComponent*>;

// The desktop's readable form of a host handle.
std::string obk(const OBInterface* handle) {
  if (handle == nullptr) return "null";
  return "OBKObject(" + std::to_string(static_cast<int64_t>(reinterpret_cast<intptr_t>(handle))) +
         ")";
}

std::vector<std::string> texts(const std::vector<jpiArg>& args) {
  std::vector<std::string> out;
  for (const jpiArg& a : args) out.push_back(a.text);
  return out;
}

class JavaEventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registerMessageCatalog();
    testThingClass();
    svTestSetJava(true);
    jpiTestSetListenersRegistered(false);
    rebaseline();
  }
  void TearDown() override {
    svTestSetJava(true);
    for (OBInterface* model : models_) forgetModelUnusedComponentEvents(model);
    EXPECT_EQ(jpiTestUnreleasedCount(), unreleased_) << "a Java reference was not given back";
    EXPECT_EQ(jpiTestDiagnostics().size(), diagnostics_) << jpiTestDiagnostics().back();
    jpiTestSetListenersRegistered(false);
    svTestSetJava(false);
  }
  void rebaseline() {
    unreleased_ = jpiTestUnreleasedCount();
    diagnostics_ = jpiTestDiagnostics().size();
  }
  // A host handle that lives as long as the test.
  OBInterface* handle() { return host_.construct("Kestrion.TestThing"); }
  OBInterface* model() {
    models_.push_back(handle());
    return models_.back();
  }
  static size_t mark() { return jpiTestRecords().size(); }
  // The objects made since the mark, of classes below "kestridesk.", in
  // their readable form.
  static std::vector<std::string> eventsSince(size_t from) {
    std::vector<std::string> out;
    const auto& records = jpiTestRecords();
    for (size_t i = from; i < records.size(); ++i) {
      const jpiRecord& r = records[i];
      if (r.kind == jpiRecord::Kind::Object && r.className.rfind("kestridesk.", 0) == 0) {
        out.push_back(jpiTestDescribe(r.ref));
      }
    }
    return out;
  }
  static std::vector<const jpiRecord*> objectsSince(size_t from, const std::string& className) {
    std::vector<const jpiRecord*> out;
    const auto& records = jpiTestRecords();
    for (size_t i = from; i < records.size(); ++i) {
      if (records[i].kind == jpiRecord::Kind::Object && records[i].className == className) {
        out.push_back(&records[i]);
      }
    }
    return out;
  }
  static size_t classLookupsSince(size_t from) {
    size_t n = 0;
    const auto& records = jpiTestRecords();
    for (size_t i = from; i < records.size(); ++i) n += records[i].kind == jpiRecord::Kind::Class;
    return n;
  }

  TestHost host_{TestHost::Options{true}};
  std::vector<OBInterface*> models_;
  size_t unreleased_ = 0;
  size_t diagnostics_ = 0;
};

// --- the factory ---------------------------------------------------------------------

TEST_F(JavaEventsTest, FactoryPostsEachEventWithItsConstructorAndArguments) {
  OBInterface* parent = handle();
  OBInterface* object = handle();
  struct Case {
    const char* what;
    std::function<void(const JavaEventFactory&)> post;
    const char* className;
    const char* signature;
    std::vector<std::string> args;
  } cases[] = {
      {"destroyed",
       [&](const JavaEventFactory& f) {
         f.postObjectDestroyedEvent(parent, object, "Species", "s1");
       },
       kObjectEvent,
       "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/Object;Ljava/lang/Object;)V",
       {"Species", "s1", obk(parent), obk(object)}},
      {"destroyed without parent",
       [&](const JavaEventFactory& f) {
         f.postObjectDestroyedEvent(nullptr, object, "variant", "v1");
       },
       kObjectEvent,
       "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/Object;Ljava/lang/Object;)V",
       {"variant", "v1", "null", obk(object)}},
      {"child added",
       [&](const JavaEventFactory& f) { f.postChildAddedEvent(parent, object, "species"); },
       kObjectEvent,
       "(Ljava/lang/Object;Ljava/lang/Object;Ljava/lang/String;)V",
       {obk(parent), obk(object), "species"}},
      {"top-level model",
       [&](const JavaEventFactory& f) { f.postChildAddedEvent(nullptr, object, "kstrmodel"); },
       kObjectEvent,
       "(Ljava/lang/Object;Ljava/lang/Object;Ljava/lang/String;)V",
       {"null", obk(object), "kstrmodel"}},
      {"created",
       [&](const JavaEventFactory& f) { f.postObjectCreatedEvent(object, "Parameter", "k1"); },
       kObjectEvent,
       "(Ljava/lang/Object;Ljava/lang/String;Ljava/lang/String;)V",
       {obk(object), "Parameter", "k1"}},
      {"created, null text",
       [&](const JavaEventFactory& f) { f.postObjectCreatedEvent(object, "Species", nullptr); },
       kObjectEvent,
       "(Ljava/lang/Object;Ljava/lang/String;Ljava/lang/String;)V",
       {obk(object), "Species", ""}},
      {"abstract kinetic law",
       [&](const JavaEventFactory& f) { f.postKineticLawEvent(object, "MyLaw", "k*S"); },
       kLawEvent,
       "(Ljava/lang/Object;Ljava/lang/String;Ljava/lang/String;)V",
       {obk(object), "MyLaw", "k*S"}},
      {"kinetic law name",
       [&](const JavaEventFactory& f) { f.postKineticLawNameEvent("MyLaw"); },
       kLawEvent,
       "(Ljava/lang/String;)V",
       {"MyLaw"}},
  };
  JavaEventFactory* factory = javaEventFactory();
  ASSERT_NE(factory, nullptr);
  for (const Case& c : cases) {
    size_t from = mark();
    c.post(*factory);
    std::vector<const jpiRecord*> made = objectsSince(from, c.className);
    ASSERT_EQ(made.size(), 1u) << c.what;
    EXPECT_EQ(made[0]->signature, c.signature) << c.what;
    EXPECT_EQ(texts(made[0]->args), c.args) << c.what;
    EXPECT_TRUE(made[0]->released) << c.what;
    EXPECT_EQ(eventsSince(from).size(), 1u) << c.what;
    EXPECT_EQ(jpiTestUnreleasedCount(), unreleased_) << c.what;
  }
}

TEST_F(JavaEventsTest, ReleasedFactoryPostsNothing) {
  JavaEventFactory factory;
  factory.release();
  factory.release();
  size_t from = mark();
  factory.postObjectCreatedEvent(handle(), "Species", "");
  factory.postKineticLawNameEvent("x");
  EXPECT_TRUE(eventsSince(from).empty());
}

// --- nothing without Java, caches made once ----------------------------------------------

TEST_F(JavaEventsTest, NothingReachesTheBridgeWithoutJava) {
  // Caches made earlier with Java on must also stay quiet once it is off.
  JavaEventFactory* factory = javaEventFactory();
  const InUseCountJavaHelper* helper = getInUseCountEventClass();
  const ReactionRateEventClass* rates = getReactionRateEventClass();
  const ExpressionDirtyEventClass* dirty = getExpressionDirtyEventClass();
  const ExpressionEventStateClass* states = getExpressionEventStateClass();
  ASSERT_TRUE(factory && helper && rates && dirty && states);
  OBInterface* m = model();
  OBInterface* c = handle();
  TestComponent species(kstr::species);
  species.setOBI(c);
  species.setOBIParent(c);
  jpiTestSetListenersRegistered(true);

  svTestSetJava(false);
  size_t calls = jpiTestCallCount();
  EXPECT_EQ(javaEventFactory(), nullptr);
  EXPECT_EQ(getInUseCountEventClass(), nullptr);
  EXPECT_EQ(getReactionRateEventClass(), nullptr);
  EXPECT_EQ(getExpressionEventStateClass(), nullptr);
  EXPECT_EQ(getExpressionDirtyEventClass(), nullptr);
  EXPECT_EQ(getModelExpressionMessagesClass(), nullptr);
  factory->postObjectCreatedEvent(c, "Species", "");
  factory->postObjectDestroyedEvent(m, c, "Species", "s");
  factory->postChildAddedEvent(m, c, "species");
  factory->postKineticLawEvent(c, "a", "b");
  factory->postKineticLawNameEvent("a");
  helper->postInUseCountEvent(&species, m, 0);
  sendUnusedComponentEvents(m);
  EXPECT_FALSE(areReactionRateListenersRegistered(rates));
  postReactionRateEvent(rates, c, "MassAction", "k");
  notifyReactionRateListeners(c, "MassAction", "k");
  JavaHelpServices::printHelp("Name");

  // The expression bookkeeping runs; only the Java side is skipped.
  ModelExpressionBasedComponentMessages messages;
  ExpressionEventStateRecord record(c, nullptr, kstr::reaction, true, false);
  for (const ExpressionEventStateClass* cache : {states, getExpressionEventStateClass()}) {
    buildExpressionEventState(cache, "x + 1", false, TokenMap{{"x", nullptr}}, {"y"}, record);
  }
  EXPECT_TRUE(record.states.empty());
  EXPECT_TRUE(record.invalid && record.unresolved && record.collisions);
  postExpressionDirtyEvent(dirty, record, messages, m);
  EXPECT_EQ(messages.activeProblems.reactions(), 1);
  EXPECT_EQ(messages.collisions.reactions(), 1);
  sendModelExpressionMessages(messages, m);
  releaseJavaObjectVector(record.states);

  EXPECT_EQ(jpiTestCallCount(), calls);
}

TEST_F(JavaEventsTest, CachesAreMadeOnceWhileJavaIsOn) {
  using Getter = std::function<const void*()>;
  std::vector<std::pair<const char*, Getter>> getters = {
      {"factory", [] { return static_cast<const void*>(javaEventFactory()); }},
      {"in-use", [] { return static_cast<const void*>(getInUseCountEventClass()); }},
      {"reaction rate", [] { return static_cast<const void*>(getReactionRateEventClass()); }},
      {"state", [] { return static_cast<const void*>(getExpressionEventStateClass()); }},
      {"dirty", [] { return static_cast<const void*>(getExpressionDirtyEventClass()); }},
      {"messages", [] { return static_cast<const void*>(getModelExpressionMessagesClass()); }},
  };
  for (const auto& [what, get] : getters) {
    svTestSetJava(false);
    EXPECT_EQ(get(), nullptr) << what;
    svTestSetJava(true);
    const void* first = get();
    ASSERT_NE(first, nullptr) << what;
    size_t from = mark();
    EXPECT_EQ(get(), first) << what;
    EXPECT_EQ(classLookupsSince(from), 0u) << what;
  }
}

// A desktop class that is missing leaves its post out, with no bad post.
TEST_F(JavaEventsTest, MissingDesktopClassSkipsItsPost) {
  OBInterface* c = handle();
  OBInterface* m = model();
  TestComponent reaction(kstr::reaction);
  reaction.setOBI(c);
  struct Case {
    const char* removed;
    const char* event;
    std::function<void()> post;
  } cases[] = {
      {kObjectEvent, kObjectEvent,
       [&] {
         JavaEventFactory f;
         f.postObjectCreatedEvent(c, "Species", "");
         f.postChildAddedEvent(m, c, "species");
         f.release();
       }},
      {"kestridesk.eventqueue.ReactionRateEvent", "kestridesk.eventqueue.ReactionRateEvent",
       [&] {
         ReactionRateEventClass r;
         postReactionRateEvent(&r, c, "MassAction", "k*A");
         r.release();
       }},
      {"kestridesk.eventqueue.InUseCountEvent", "kestridesk.eventqueue.InUseCountEvent",
       [&] {
         InUseCountJavaHelper h;
         h.postInUseCountEvent(&reaction, m, 2);
         h.release();
       }},
      {"kestridesk.eventqueue.ExpressionEventState", "kestridesk.eventqueue.ExpressionEventState",
       [&] {
         ExpressionEventStateClass s;
         ExpressionEventStateRecord record(c, nullptr, kstr::reaction, true, false);
         buildExpressionEventState(&s, "x", true, TokenMap{{"x", nullptr}}, {}, record);
         EXPECT_TRUE(record.states.empty());
         EXPECT_TRUE(record.unresolved);
         s.release();
       }},
      {"java/util/Vector", "kestridesk.eventqueue.ExpressionDirtyEvent",
       [&] {
         ExpressionDirtyEventClass d;
         ModelExpressionBasedComponentMessages messages;
         ExpressionEventStateRecord record(c, nullptr, kstr::reaction, true, false);
         buildExpressionEventState(getExpressionEventStateClass(), "x", true, TokenMap{}, {},
                                   record);
         ASSERT_EQ(record.states.size(), 1u);
         postExpressionDirtyEvent(&d, record, messages, m);
         d.release();
       }},
  };
  for (const Case& k : cases) {
    ASSERT_TRUE(jpiTestRemoveClass(k.removed)) << k.removed;
    size_t from = mark();
    k.post();
    jpiTestRestoreClass(k.removed);
    EXPECT_TRUE(objectsSince(from, k.event).empty()) << k.removed;
    EXPECT_EQ(jpiTestDiagnostics().size(), diagnostics_) << k.removed;
    EXPECT_EQ(jpiTestUnreleasedCount(), unreleased_) << k.removed;
  }

  jpiTestSetListenersRegistered(true);
  ASSERT_TRUE(jpiTestRemoveClass("kestridesk.eventqueue.ReactionRateEventSource"));
  ReactionRateEventClass r;
  jpiTestRestoreClass("kestridesk.eventqueue.ReactionRateEventSource");
  EXPECT_FALSE(areReactionRateListenersRegistered(&r));
  r.release();
}

// --- in-use counts and unused components -------------------------------------------------

class InUseCountTest : public JavaEventsTest {
 protected:
  void SetUp() override {
    JavaEventsTest::SetUp();
    helper_ = getInUseCountEventClass();
    ASSERT_NE(helper_, nullptr);
    m_ = model();
    // Two compartments, in handle order, with one species each.
    c1_ = handle();
    c2_ = handle();
    if (std::less<OBInterface*>()(c2_, c1_)) std::swap(c1_, c2_);
    place(compartment1_, kstr::compartment, c1_, m_);
    place(compartment2_, kstr::compartment, c2_, m_);
    place(s1_, kstr::species, handle(), c1_);
    place(s2_, kstr::species, handle(), c2_);
    place(p_, kstr::parameter, handle(), m_);
    place(reaction_, kstr::reaction, handle(), m_);
  }
  static void place(TestComponent& c, kstr::bcomptype kind, OBInterface* self,
                    OBInterface* parent) {
    c = TestComponent(kind);
    c.setOBI(self);
    c.setOBIParent(parent);
  }
  std::vector<std::string> post(const TestComponent& c, uint64_t count) {
    size_t from = mark();
    helper_->postInUseCountEvent(&c, m_, count);
    return eventsSince(from);
  }
  std::string species(OBInterface* compartment, int n) const {
    return "ModelCompartmentUnusedSpecies(" + obk(m_) + "," + obk(compartment) + "," +
           std::to_string(n) + ")";
  }
  std::string parameters(int n) const {
    return "ModelUnusedParameters(" + obk(m_) + "," + std::to_string(n) + ")";
  }
  static std::string inUse(const TestComponent& c, int n) {
    return "InUseCountEvent(" + obk(c.getOBI()) + "," + std::to_string(n) + ")";
  }

  const InUseCountJavaHelper* helper_ = nullptr;
  OBInterface* m_ = nullptr;
  OBInterface* c1_ = nullptr;
  OBInterface* c2_ = nullptr;
  TestComponent compartment1_, compartment2_, s1_, s2_, p_, reaction_;
};

TEST_F(InUseCountTest, SpeciesCountsFollowEveryCompartmentOfTheModel) {
  using V = std::vector<std::string>;
  EXPECT_EQ(post(s1_, 0), (V{species(c1_, 1), inUse(s1_, 0)}));
  EXPECT_EQ(post(s2_, 0), (V{species(c1_, 1), species(c2_, 1), inUse(s2_, 0)}));
  // Unchanged sets: only the count.
  EXPECT_EQ(post(s2_, 0), (V{inUse(s2_, 0)}));
  // 0 -> 1 posts every compartment's count, then the in-use count.
  EXPECT_EQ(post(s1_, 1), (V{species(c1_, 0), species(c2_, 1), inUse(s1_, 1)}));
  EXPECT_EQ(post(s1_, 3), (V{inUse(s1_, 3)}));
  // Deleted: the sets change, no in-use count.
  EXPECT_EQ(post(s2_, InUseCountJavaHelper::kDeletedCount), (V{species(c1_, 0), species(c2_, 0)}));
}

TEST_F(InUseCountTest, ParametersAndOtherKinds) {
  using V = std::vector<std::string>;
  EXPECT_EQ(post(p_, 0), (V{parameters(1), inUse(p_, 0)}));
  EXPECT_EQ(post(p_, 0), (V{inUse(p_, 0)}));
  EXPECT_EQ(post(p_, 2), (V{parameters(0), inUse(p_, 2)}));
  EXPECT_EQ(post(p_, InUseCountJavaHelper::kDeletedCount), V{});
  EXPECT_EQ(post(reaction_, 0), (V{inUse(reaction_, 0)}));
  EXPECT_EQ(post(reaction_, 7), (V{inUse(reaction_, 7)}));
  EXPECT_EQ(post(reaction_, uint64_t{1} << 40), (V{inUse(reaction_, 2147483647)}));
  EXPECT_EQ(post(compartment1_, 0), (V{inUse(compartment1_, 0)}));
}

TEST_F(InUseCountTest, OnlyADeletedCompartmentLosesItsEntry) {
  using V = std::vector<std::string>;
  post(s1_, 0);
  post(s2_, 0);
  // A compartment used in an expression keeps its unused species.
  EXPECT_EQ(post(compartment2_, 1), (V{inUse(compartment2_, 1)}));
  EXPECT_EQ(post(s1_, 1), (V{species(c1_, 0), species(c2_, 1), inUse(s1_, 1)}));
  EXPECT_EQ(post(compartment2_, InUseCountJavaHelper::kDeletedCount), V{});
  EXPECT_EQ(post(s1_, 0), (V{species(c1_, 1), inUse(s1_, 0)}));
}

TEST_F(InUseCountTest, SendAndForgetTheModelsRecord) {
  using V = std::vector<std::string>;
  post(s1_, 0);
  post(p_, 0);
  size_t from = mark();
  sendUnusedComponentEvents(m_);
  EXPECT_EQ(eventsSince(from), (V{species(c1_, 1), parameters(1)}));

  forgetModelUnusedComponentEvents(m_);
  from = mark();
  sendUnusedComponentEvents(m_);
  EXPECT_EQ(eventsSince(from), (V{parameters(0)}));

  // Another model's record is its own.
  OBInterface* other = model();
  from = mark();
  helper_->postInUseCountEvent(&p_, other, 0);
  EXPECT_EQ(eventsSince(from), (V{"ModelUnusedParameters(" + obk(other) + ",1)", inUse(p_, 0)}));
}

// --- reaction rates ----------------------------------------------------------------------

TEST_F(JavaEventsTest, ReactionRateEventsOnlyWhileListenersAreRegistered) {
  OBInterface* r = handle();
  const ReactionRateEventClass* cache = getReactionRateEventClass();
  ASSERT_NE(cache, nullptr);
  size_t from = mark();
  EXPECT_FALSE(areReactionRateListenersRegistered(cache));
  notifyReactionRateListeners(r, "MassAction", "k*A");
  EXPECT_TRUE(eventsSince(from).empty());

  jpiTestSetListenersRegistered(true);
  EXPECT_TRUE(areReactionRateListenersRegistered(cache));
  struct Case {
    const char* law;
    const char* rate;
    std::vector<std::string> args;
  } cases[] = {
      {"MassAction", "k*A", {obk(r), "MassAction", "k*A"}},
      {nullptr, "v", {obk(r), "", "v"}},
  };
  for (const Case& c : cases) {
    from = mark();
    notifyReactionRateListeners(r, c.law, c.rate);
    auto made = objectsSince(from, "kestridesk.eventqueue.ReactionRateEvent");
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0]->signature, "(Ljava/lang/Object;Ljava/lang/String;Ljava/lang/String;)V");
    EXPECT_EQ(texts(made[0]->args), c.args);
  }
}

// --- expression events -------------------------------------------------------------------

TEST_F(JavaEventsTest, ExpressionStateCarriesTokenStatuses) {
  TestComponent a(kstr::species);
  const ExpressionEventStateClass* cache = getExpressionEventStateClass();
  ExpressionEventStateRecord record(handle(), nullptr, kstr::rule, true, false);
  TokenMap tokens{{"A", &a}, {"sin", nullptr}, {"time", nullptr}, {"x", nullptr}, {"y", nullptr}};
  buildExpressionEventState(cache, "A + sin(x) * y + time", true, tokens, {"A", "B"}, record);
  ASSERT_EQ(record.states.size(), 1u);
  const jpiRecord* state = jpiTestFind(record.states[0]);
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->className, "kestridesk.eventqueue.ExpressionEventState");
  EXPECT_EQ(state->signature, "(Ljava/lang/String;Ljava/lang/Boolean;)V");
  EXPECT_EQ(texts(state->args), (std::vector<std::string>{"A + sin(x) * y + time", "true"}));
  std::vector<std::string> statuses;
  for (const jpiCall& call : state->calls) {
    EXPECT_EQ(call.method, "addTokenStatus");
    EXPECT_EQ(call.signature, "(Ljava/lang/String;Ljava/lang/Integer;)V");
    statuses.push_back(call.args[0].text + ":" + call.args[1].text);
  }
  EXPECT_EQ(statuses, (std::vector<std::string>{"x:0", "y:0", "A:1", "B:1"}));
  EXPECT_FALSE(record.invalid);
  EXPECT_TRUE(record.unresolved);
  EXPECT_TRUE(record.collisions);
  // Only the state itself is still held.
  EXPECT_EQ(jpiTestUnreleasedCount(), unreleased_ + 1);
  releaseJavaObjectVector(record.states);
  EXPECT_TRUE(record.states.empty());
}

TEST_F(JavaEventsTest, RecordFlagsAccumulateOverTheBatch) {
  TestComponent a(kstr::species);
  struct Expr {
    bool valid;
    TokenMap tokens;
    std::set<std::string> collisions;
  };
  struct Case {
    const char* what;
    std::vector<Expr> batch;
    bool invalid, unresolved, collisions;
  } cases[] = {
      {"empty batch", {}, false, false, false},
      {"clean", {{true, {{"A", &a}}, {}}}, false, false, false},
      {"host function only", {{true, {{"sin", nullptr}}, {}}}, false, false, false},
      {"reserved token only", {{true, {{"time", nullptr}}, {}}}, false, false, false},
      {"invalid first", {{false, {}, {}}, {true, {}, {}}}, true, false, false},
      {"unresolved first",
       {{true, {{"q", nullptr}}, {}}, {true, {{"A", &a}}, {}}},
       false,
       true,
       false},
      // A collision in any expression, not only the last, marks the batch.
      {"collision first", {{true, {}, {"A"}}, {true, {}, {}}}, false, false, true},
      {"collision last", {{true, {}, {}}, {true, {}, {"A"}}}, false, false, true},
  };
  const ExpressionEventStateClass* cache = getExpressionEventStateClass();
  for (const Case& c : cases) {
    ExpressionEventStateRecord record(handle(), nullptr, kstr::event, false, false);
    for (const Expr& e : c.batch) {
      buildExpressionEventState(cache, "e", e.valid, e.tokens, e.collisions, record);
    }
    EXPECT_EQ(record.states.size(), c.batch.size()) << c.what;
    EXPECT_EQ(record.invalid, c.invalid) << c.what;
    EXPECT_EQ(record.unresolved, c.unresolved) << c.what;
    EXPECT_EQ(record.collisions, c.collisions) << c.what;
  }
}

TEST_F(JavaEventsTest, DirtyEventCarriesTheStatesInAVector) {
  OBInterface* m = model();
  OBInterface* c = handle();
  ModelExpressionBasedComponentMessages messages;
  for (bool active : {true, false}) {
    ExpressionEventStateRecord record(c, nullptr, kstr::reaction, active, false);
    const ExpressionEventStateClass* states = getExpressionEventStateClass();
    buildExpressionEventState(states, "k*A", true, TokenMap{}, {}, record);
    buildExpressionEventState(states, "k*q", true, TokenMap{{"q", nullptr}}, {}, record);
    size_t from = mark();
    postExpressionDirtyEvent(getExpressionDirtyEventClass(), record, messages, m);
    auto events = objectsSince(from, "kestridesk.eventqueue.ExpressionDirtyEvent");
    ASSERT_EQ(events.size(), 1u);
    const jpiRecord* event = events[0];
    EXPECT_EQ(event->signature, "(Ljpiroot/bean/OBKObject;Ljava/util/Vector;Ljava/lang/Boolean;)V");
    ASSERT_EQ(event->args.size(), 3u);
    EXPECT_EQ(event->args[0].text, obk(c));
    EXPECT_EQ(event->args[2].text, active ? "true" : "false");
    const jpiRecord* vector = jpiTestFind(event->args[1].object);
    ASSERT_NE(vector, nullptr);
    EXPECT_EQ(vector->className, "java.util.Vector");
    ASSERT_EQ(vector->calls.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(vector->calls[i].method, "addElement");
      EXPECT_EQ(vector->calls[i].args[0].object, record.states[i]);
    }
    const jpiRecord* second = jpiTestFind(record.states[1]);
    ASSERT_EQ(second->calls.size(), 1u);
    EXPECT_EQ(second->calls[0].args[0].text + ":" + second->calls[0].args[1].text, "q:0");
    EXPECT_TRUE(event->released);
    EXPECT_TRUE(vector->released);
    releaseJavaObjectVector(record.states);
    EXPECT_EQ(jpiTestUnreleasedCount(), unreleased_);
  }
}

TEST_F(JavaEventsTest, GroupsFollowEachBatchAndPostTheirCounters) {
  OBInterface* m = model();
  OBInterface* r = handle();
  OBInterface* u = handle();
  OBInterface* e = handle();
  OBInterface* k = handle();
  struct Step {
    const char* what;
    OBInterface* component;
    kstr::bcomptype kind;
    bool active, deleted, invalid, unresolved, collisions;
    std::vector<int> posted;  // the nine counters, or empty: nothing posted
  } steps[] = {
      {"reaction unresolved",
       r,
       kstr::reaction,
       true,
       false,
       false,
       true,
       false,
       {1, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"same again", r, kstr::reaction, true, false, false, true, false, {}},
      {"reaction made inactive",
       r,
       kstr::reaction,
       false,
       false,
       false,
       true,
       false,
       {0, 0, 0, 1, 0, 0, 0, 0, 0}},
      {"rule invalid with collisions",
       u,
       kstr::rule,
       true,
       false,
       true,
       false,
       true,
       {0, 1, 0, 1, 0, 0, 0, 1, 0}},
      {"event with collisions, inactive",
       e,
       kstr::event,
       false,
       false,
       false,
       false,
       true,
       {0, 1, 0, 1, 0, 0, 0, 1, 1}},
      {"reaction active again, still unresolved",
       r,
       kstr::reaction,
       true,
       false,
       false,
       true,
       false,
       {1, 1, 0, 0, 0, 0, 0, 1, 1}},
      {"reaction resolved",
       r,
       kstr::reaction,
       true,
       false,
       false,
       false,
       false,
       {0, 1, 0, 0, 0, 0, 0, 1, 1}},
      {"rule deleted", u, kstr::rule, true, true, true, false, true, {0, 0, 0, 0, 0, 0, 0, 0, 1}},
      {"clean reaction in no group", r, kstr::reaction, false, false, false, false, false, {}},
      {"other kind counts nothing",
       k,
       kstr::compartment,
       true,
       false,
       true,
       false,
       false,
       {0, 0, 0, 0, 0, 0, 0, 0, 1}},
      {"event collisions gone",
       e,
       kstr::event,
       false,
       false,
       false,
       false,
       false,
       {0, 0, 0, 0, 0, 0, 0, 0, 0}},
  };
  ModelExpressionBasedComponentMessages messages;
  const ExpressionDirtyEventClass* dirty = getExpressionDirtyEventClass();
  for (const Step& s : steps) {
    ExpressionEventStateRecord record(s.component, nullptr, s.kind, s.active, s.deleted);
    record.invalid = s.invalid;
    record.unresolved = s.unresolved;
    record.collisions = s.collisions;
    size_t from = mark();
    postExpressionDirtyEvent(dirty, record, messages, m);
    std::vector<std::string> expected;
    if (!s.posted.empty()) {
      std::string text = "ModelExpressionMessages(" + obk(m);
      for (int n : s.posted) text += "," + std::to_string(n);
      expected.push_back(text + ")");
    }
    // A batch without expressions posts no dirty event.
    EXPECT_EQ(eventsSince(from), expected) << s.what;
  }
  EXPECT_TRUE(messages.activeProblems.components() == std::set<OBInterface*>{k});
  EXPECT_TRUE(messages.inactiveProblems.components().empty());
  EXPECT_TRUE(messages.collisions.components().empty());

  size_t from = mark();
  sendModelExpressionMessages(messages, m);
  auto posted = objectsSince(from, "kestridesk.eventqueue.ModelExpressionMessages");
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0]->signature, "(Ljpiroot/bean/OBKObject;IIIIIIIII)V");
}

TEST_F(JavaEventsTest, RecordGivesBackStatesLeftInIt) {
  {
    ExpressionEventStateRecord record(handle(), nullptr, kstr::rule, true, false);
    buildExpressionEventState(getExpressionEventStateClass(), "a", true, TokenMap{}, {}, record);
    buildExpressionEventState(getExpressionEventStateClass(), "b", true, TokenMap{}, {}, record);
    EXPECT_EQ(jpiTestUnreleasedCount(), unreleased_ + 2);
  }
  EXPECT_EQ(jpiTestUnreleasedCount(), unreleased_);
}

// --- help -------------------------------------------------------------------------------

TEST_F(JavaEventsTest, HelpGoesToOneHelpServiceInstance) {
  JavaHelpServices::printHelp("Name");
  rebaseline();  // the service instance lives for the life of the library
  JavaHelpServices::printHelp("Notes");
  JavaHelpServices::printHelp(nullptr);
  auto services = jpiTestObjectsOfClass("kestridesk.util.KstrHelpServices");
  ASSERT_EQ(services.size(), 1u);
  const auto& calls = services[0]->calls;
  ASSERT_GE(calls.size(), 3u);
  std::vector<std::string> last;
  for (size_t i = calls.size() - 3; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].method, "printHelp");
    last.push_back(calls[i].args[0].text);
  }
  EXPECT_EQ(last, (std::vector<std::string>{"Name", "Notes", ""}));
}

}  // namespace
