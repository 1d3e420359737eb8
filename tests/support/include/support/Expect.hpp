// Small shared helpers of the engine's tests.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <obk/Exception.hpp>

#include "quantities/BCompartment.hpp"

// Runs the call and checks that it raises the identifier (and the text,
// when one is given).
inline void expectError(const std::function<void()>& call, const std::string& id,
                        const std::string& text = "") {
  try {
    call();
    ADD_FAILURE() << "no error; expected " << id;
  } catch (const ErrorIdException& e) {
    EXPECT_EQ(e.getIdentifier(), id);
    if (!text.empty()) {
      EXPECT_EQ(e.getMessage(), text);
    }
  }
}

// A compartment made outside the host: its host vectors go with it, as its
// destroy hook does.
struct CompartmentDeleter {
  void operator()(BCompartment* c) const {
    c->releaseHandleVectors();
    delete c;
  }
};
using CompartmentPtr = std::unique_ptr<BCompartment, CompartmentDeleter>;

inline CompartmentPtr makeCompartment(const std::string& name) {
  CompartmentPtr c(new BCompartment());
  c->setName(name);
  return c;
}
