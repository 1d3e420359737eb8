// The mini-compile service manager that the model's update hands itself to.
//
// The stand-in behind getMiniCompileManager() records every compile call,
// counts finish() calls and by default returns a new, empty CompileData.
// Switches make compile return null or throw; a hook, when installed,
// builds the result instead (the engine or a test uses it to build a real
// compile object).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "ks_utils/CompileData.hpp"
#include "ks_utils/KsApi.hpp"
#include "ks_utils/kstrContainers.hpp"

class Kelbor;
class KStrConfigurationSetApi;
class Variant;
class Dose;

class KS_API MiniCompileServiceManagerApi {
 public:
  virtual ~MiniCompileServiceManagerApi();
  // Compiles the model with the set, variants and doses (each may be
  // null).  Returns a new CompileData owned by the caller, or null.
  virtual CompileData* compile(Kelbor* model,
                               KStrConfigurationSetApi* configSet,
                               const kstrVector<const Variant*>* variants,
                               const kstrVector<const Dose*>* doses,
                               bool flag) = 0;
  // Called after every compile attempt.
  virtual void finish() = 0;
};

// The process's compile manager (never null).
KS_API MiniCompileServiceManagerApi* getMiniCompileManager();

// One recorded compile call.  The lists are copied, so they stay readable
// after the caller's vectors are gone; the pointers are only for identity.
struct KS_API MiniCompileCall {
  Kelbor* model = nullptr;
  KStrConfigurationSetApi* configSet = nullptr;
  bool hasVariants = false;
  bool hasDoses = false;
  std::vector<const Variant*> variants;
  std::vector<const Dose*> doses;
  bool flag = false;
};

// Control of the stand-in (tests and the engine's optional compile mode).
class KS_API MiniCompileManagerControl {
 public:
  enum class Mode { ReturnEmpty, ReturnNull, Throw };
  using CompileHook = std::function<CompileData*(const MiniCompileCall&)>;

  static MiniCompileManagerControl& instance();

  // ReturnEmpty (the default) returns the hook's result when a hook is
  // installed, else a new empty CompileData.
  void setMode(Mode mode) noexcept { mode_ = mode; }
  Mode mode() const noexcept { return mode_; }
  // What Mode::Throw throws (ErrorIdException by value).
  void setError(std::string id, std::string text);
  void setCompileHook(CompileHook hook) { hook_ = std::move(hook); }

  const std::vector<MiniCompileCall>& calls() const noexcept { return calls_; }
  std::size_t finishCount() const noexcept { return finishCount_; }
  // Back to the defaults: empty records, no hook, nothing recorded.
  void reset();

 private:
  friend class MiniCompileManagerStandIn;
  MiniCompileManagerControl();

  Mode mode_ = Mode::ReturnEmpty;
  std::string errorId_;
  std::string errorText_;
  CompileHook hook_;
  std::vector<MiniCompileCall> calls_;
  std::size_t finishCount_ = 0;
};
