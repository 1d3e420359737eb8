// Raising the product's errors and collecting stacked messages.
//
// kstr_error and kstr_error_str format the catalog text of a code (looked
// up in the host's message registry; an unknown code gives the registry's
// "Message 0x... not found" text) and throw ErrorIdException(id, text) by
// value.  kstr_stacked_error records a message instead of throwing: the
// verifications collect their findings there and the caller decides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ks_utils/KsApi.hpp"
#include "obk/Exception.hpp"

class OBInterface;
class OBClass;

// Throws ErrorIdException(id, formatted catalog text of code).  A null id is
// taken as "".
[[noreturn]] KS_API void kstr_error(const char* id, uint32_t code, ...);
// Throws ErrorIdException(id, text) with the literal text (null gives "").
[[noreturn]] KS_API void kstr_error(const char* id, const char* text);
// The catalog text of code formatted with one or two ready strings.
[[noreturn]] KS_API void kstr_error_str(const char* id, uint32_t code,
                                        const std::string& s1);
[[noreturn]] KS_API void kstr_error_str(const char* id, uint32_t code,
                                        const std::string& s1,
                                        const std::string& s2);

// One stacked message.  The object is borrowed: it is only valid while the
// caller that stacked it keeps the object alive.
struct KS_API StackedMessage {
  int source = 0;
  OBInterface* object = nullptr;
  std::string id;
  std::string text;
};

// Formats the catalog text of code and appends {source, obj, id, text} to
// the stacked-message manager; returns normally.
KS_API void kstr_stacked_error(int source, OBInterface* obj, const char* id,
                               uint32_t code, ...);

// The process-wide list of stacked messages, oldest first.
class KS_API StackedMessageManager {
 public:
  static StackedMessageManager& instance();

  const std::vector<StackedMessage>& entries() const noexcept {
    return entries_;
  }
  std::size_t size() const noexcept { return entries_.size(); }
  void add(StackedMessage message);
  void clear() noexcept { entries_.clear(); }
  // Drops every entry from position n on (no-op when n >= size()).
  void truncate(std::size_t n);

 private:
  StackedMessageManager() = default;
  std::vector<StackedMessage> entries_;
};

// Shorthands for StackedMessageManager::instance().
KS_API const std::vector<StackedMessage>& kstr_stacked_entries();
KS_API void kstr_stacked_clear();

// Watches the messages stacked while it lives.  hasErrors() tells whether
// any were stacked since construction; first() gives the earliest of them
// or null.  With discardOnExit the messages stacked inside the scope are
// removed when it ends (when the list was cleared meanwhile, nothing is).
class KS_API StackedMessageScope {
 public:
  explicit StackedMessageScope(bool discardOnExit = false);
  ~StackedMessageScope();
  StackedMessageScope(const StackedMessageScope&) = delete;
  StackedMessageScope& operator=(const StackedMessageScope&) = delete;

  bool hasErrors() const noexcept;
  std::size_t count() const noexcept;
  const StackedMessage* first() const noexcept;

 private:
  std::size_t start_;
  bool discard_;
};

// The host class "StackedMessageManager", registered once in its own
// application "KStrUtils" (never in the engine's application).
KS_API OBClass* GetStackedMessageManagerOBC();
