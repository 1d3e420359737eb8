// The test host of the benchmarks that drive the engine through host calls:
// started once per process, with echo and the event log off.
#pragma once

#include <hb/hb_test.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

inline TestHost& startedBenchHost() {
  static TestHost* host = [] {
    hbTestSetEcho(false);
    obkSetEventLogEnabled(false);
    auto* h = new TestHost();
    h->start();
    return h;
  }();
  return *host;
}
