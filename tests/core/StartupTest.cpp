// Start-up and shut-down.  Every test runs in a process of its own, so each
// one sees the engine before its first start-up.
#include <gtest/gtest.h>

#include <hb/hb_test.hpp>
#include <interp/interp_test.hpp>
#include <jpi/jpi_test.hpp>
#include <obk/obk.hpp>
#include <sv/sv_test.hpp>
#include <testhost/TestHost.hpp>

#include "core/Application.hpp"
#include "core/ModuleEntry.hpp"

namespace {

const std::vector<std::string> kPreloads = {
    "libeplrt.dll", "libovmathrng.dll", "libovmathlinalg.dll", "libovlapack.dll",
    "p_ir.dll",     "p_parser.dll",     "pcos.dll",            "plutil.dll"};

std::vector<std::string> registeredClasses() {
  std::vector<std::string> names;
  for (const OBClass* cls : GetQuorvApplication()->getClasses()) names.push_back(cls->getName());
  return names;
}

std::vector<std::string> expectedClasses() {
  std::vector<std::string> names;
#define KSTR_HOST_CLASS(getter, name) names.push_back(name);
#include "core/HostClasses.def"
  // The dose classes follow the list.
  names.insert(names.end(), {"Dose", "ScheduleDose", "RepeatDose"});
  return names;
}

TEST(Startup, RegistersInOrderPreloadsAndRunsOnce) {
  TestHost host;
  hbTestClearLoadedLibraries();
  const size_t javaCallsBefore = jpiTestCallCount();
  host.start();
  EXPECT_EQ(registeredClasses(), expectedClasses());
  EXPECT_EQ(hbTestLoadedLibraries(), kPreloads);
  EXPECT_EQ(jpiTestCallCount(), javaCallsBefore);  // no Java machine: no desktop check
  OBApplication* utils = OBApplicationManager::findApplication("KStrUtils");
  ASSERT_NE(utils, nullptr);
  EXPECT_NE(utils->findClass("StackedMessageManager"), nullptr);

  host.start();  // a second start-up does nothing
  EXPECT_EQ(hbTestLoadedLibraries().size(), kPreloads.size());
  EXPECT_EQ(registeredClasses(), expectedClasses());
}

TEST(Startup, MissingDesktopCodeStopsStartUpUntilItIsThere) {
  // Start-up runs once per process; in a process where it already ran (the
  // whole binary in one run) there is nothing left to stop.
  if (!registeredClasses().empty()) GTEST_SKIP() << "start-up already ran in this process";
  TestHost host(TestHost::Options{true});
  hbTestClearLoadedLibraries();
  ASSERT_TRUE(jpiTestRemoveClass("kestridesk.eventqueue.VerifyKestrion"));
  auto error = TestHost::errorOf([&] { host.start(); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->id, "Kestrion:DesktopCodeNotFound");
  EXPECT_EQ(error->message,
            "The Kestrion java desktop code cannot be found. Check your classpath.txt file for "
            "kestri.jar and dsk.jar.");
  EXPECT_TRUE(hbTestLoadedLibraries().empty());

  jpiTestRestoreClass("kestridesk.eventqueue.VerifyKestrion");
  EXPECT_FALSE(TestHost::errorOf([&] { host.start(); }).has_value());
  EXPECT_EQ(hbTestLoadedLibraries(), kPreloads);
  EXPECT_EQ(registeredClasses(), expectedClasses());  // nothing registered twice
}

TEST(Startup, FunctionTableHeader) {
  const PLFcnTableHeader* header = QueryPLFcnTable_kelbor();
  EXPECT_EQ(header->functions, QueryPLFcns_kelbor());
  EXPECT_EQ(header->magic1, 0xA44CE6DAu);
  EXPECT_EQ(header->reserved1, 0u);
  EXPECT_EQ(header->magic2, 0x4B5922A9u);
  EXPECT_EQ(header->reserved2, 0u);
}

TEST(Startup, ShutDownAsksTheHostToRemoveTheTemporaryFolderOnce) {
  TestHost host;
  interpClearCallLog();
  host.stop();
  host.stop();
  ASSERT_EQ(interpCallLog().size(), 1u);
  EXPECT_EQ(interpCallLog()[0].name, "kstrgate");
  ASSERT_EQ(interpCallLog()[0].args.size(), 1u);
  EXPECT_EQ(interpCallLog()[0].args[0], "kstrremovetempdir");
  // Stopping does not depend on having started, and leaves nothing behind.
  EXPECT_EQ(TestHost::health(), host.baseline());
}

}  // namespace
