#include "ks_utils/Errors.hpp"

#include <cstdarg>
#include <utility>

#include "hb/hb.hpp"

namespace {

const char* orEmpty(const char* text) { return text != nullptr ? text : ""; }

// Ends a varargs list when the frame that started it is left, by return or
// by an exception.
class ArgumentsEnd {
 public:
  explicit ArgumentsEnd(va_list& args) : args_(args) {}
  ~ArgumentsEnd() { va_end(args_); }
  ArgumentsEnd(const ArgumentsEnd&) = delete;
  ArgumentsEnd& operator=(const ArgumentsEnd&) = delete;

 private:
  va_list& args_;
};

// The catalog text of code formatted with the arguments.
std::string formatCatalogText(uint32_t code, va_list args) {
  char* formatted = hbFormatMessage(code, args);
  std::string text = orEmpty(formatted);
  hbFree(formatted);
  return text;
}

// Calls hbFormatMessage through a varargs frame so that ready strings can
// be passed as the printf arguments.
std::string formatWithArgs(uint32_t code, ...) {
  va_list args;
  va_start(args, code);
  const ArgumentsEnd end(args);
  return formatCatalogText(code, args);
}

}  // namespace

void kstr_error(const char* id, uint32_t code, ...) {
  va_list args;
  va_start(args, code);
  const ArgumentsEnd end(args);
  throw ErrorIdException(orEmpty(id), formatCatalogText(code, args));
}

void kstr_error(const char* id, const char* text) {
  throw ErrorIdException(orEmpty(id), orEmpty(text));
}

void kstr_error_str(const char* id, uint32_t code, const std::string& s1) {
  throw ErrorIdException(orEmpty(id), formatWithArgs(code, s1.c_str()));
}

void kstr_error_str(const char* id, uint32_t code, const std::string& s1,
                    const std::string& s2) {
  throw ErrorIdException(orEmpty(id),
                         formatWithArgs(code, s1.c_str(), s2.c_str()));
}

void kstr_stacked_error(int source, OBInterface* obj, const char* id,
                        uint32_t code, ...) {
  StackedMessage message;
  {
    va_list args;
    va_start(args, code);
    const ArgumentsEnd end(args);
    message.text = formatCatalogText(code, args);
  }
  message.source = source;
  message.object = obj;
  message.id = orEmpty(id);
  StackedMessageManager::instance().add(std::move(message));
}

// --- stacked-message manager ---------------------------------------------

StackedMessageManager& StackedMessageManager::instance() {
  static StackedMessageManager manager;
  return manager;
}

void StackedMessageManager::add(StackedMessage message) {
  entries_.push_back(std::move(message));
}

void StackedMessageManager::truncate(std::size_t n) {
  if (n < entries_.size()) entries_.resize(n);
}

const std::vector<StackedMessage>& kstr_stacked_entries() {
  return StackedMessageManager::instance().entries();
}

void kstr_stacked_clear() { StackedMessageManager::instance().clear(); }

// --- scope ---------------------------------------------------------------

StackedMessageScope::StackedMessageScope(bool discardOnExit)
    : start_(StackedMessageManager::instance().size()),
      discard_(discardOnExit) {}

StackedMessageScope::~StackedMessageScope() {
  if (discard_) StackedMessageManager::instance().truncate(start_);
}

std::size_t StackedMessageScope::count() const noexcept {
  const std::size_t n = StackedMessageManager::instance().size();
  return n > start_ ? n - start_ : 0;
}

bool StackedMessageScope::hasErrors() const noexcept { return count() > 0; }

const StackedMessage* StackedMessageScope::first() const noexcept {
  if (count() == 0) return nullptr;
  return &StackedMessageManager::instance().entries()[start_];
}
