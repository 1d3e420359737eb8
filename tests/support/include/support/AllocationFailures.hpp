// Runs engine code with one host allocation made to fail, as memory running
// out would, and tells how the run ended.
#pragma once

#include <cstddef>
#include <functional>
#include <new>
#include <optional>
#include <string>

#include <gtest/gtest.h>
#include <hb/hb_test.hpp>
#include <testhost/TestHost.hpp>

// The host allocations (hb) the body makes when none fails.
inline size_t hostAllocationsOf(const std::function<void()>& body) {
  hbTestFailAllocationAt(0);
  body();
  const size_t attempts = hbTestAllocationAttempts();
  hbTestFailAllocationAt(0);
  return attempts;
}

// Runs the body with its k-th host allocation failing and returns how it
// ended: "" when it returned, "std::bad_alloc" when that left it, else the
// identifier of the host error it raised.  The run must give back every
// host block it took.
inline std::string outcomeWithAllocationFailing(size_t k, const std::function<void()>& body) {
  struct Disarm {
    ~Disarm() { hbTestFailAllocationAt(0); }
  };
  const size_t before = hbTestLiveBlocks();
  std::string outcome;
  {
    const Disarm disarm;
    hbTestFailAllocationAt(k);
    try {
      const std::optional<HostCallError> error = TestHost::errorOf(body);
      if (error) outcome = error->id;
    } catch (const std::bad_alloc&) {
      outcome = "std::bad_alloc";
    }
  }
  EXPECT_EQ(hbTestLiveBlocks(), before) << "with allocation " << k << " failing, host blocks leaked";
  return outcome;
}
