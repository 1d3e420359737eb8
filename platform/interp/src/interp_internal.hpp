// State and built-in functions of the interpreter stand-in (not installed).
#pragma once

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "interp/interp.hpp"
#include "interp/interp_test.hpp"

namespace interp_detail {

struct State {
  std::unordered_map<std::string, InterpFunction> functions;
  std::vector<InterpCallRecord> log;
  bool logging = true;
  InterpUnloggedCalls unlogged;
  OBInterface* root = nullptr;
  InterpUnitRemover unitRemover;
  std::map<std::string, int> updateCounts;
  bool updateFails = false;
  bool tempnameFails = false;
  std::string lastTemp;
  int tempCounter = 0;
  int backupCounter = 0;
  int removedTempDirs = 0;
};

State& state();

// Raises IUserException(id, text).
[[noreturn]] void fail(const char* id, std::string text);
// The text of argument i, or a raise naming the function when it is no text.
std::string textArg(int nrhs, qxArray* prhs[], int i, const char* fn);
// "<TMPDIR or /tmp>" without a trailing slash.
std::string tempBase();

// Built-in host functions.
void kstrgate(int nlhs, qxArray* plhs[], int nrhs, qxArray* prhs[]);
void kstrselect(int nlhs, qxArray* plhs[], int nrhs, qxArray* prhs[]);
void tempname(int nlhs, qxArray* plhs[], int nrhs, qxArray* prhs[]);
void builtInSet(int nlhs, qxArray* plhs[], int nrhs, qxArray* prhs[]);

}  // namespace interp_detail
