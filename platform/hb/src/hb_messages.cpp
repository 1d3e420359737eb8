// The message-table registry and warnings.  Tables are indexed by code so
// that a lookup never scans the tables; when two tables hold one code, the
// one registered first answers.
#include "hb/hb.hpp"

#include <algorithm>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "hb/hb_test.hpp"

struct hbMemoryContext {};
struct hbWarningContext {};

namespace {

struct Entry {
  const char* id;
  const char* text;
};

struct Registry {
  std::vector<const MessageTable*> tables;  // registration order
  std::unordered_map<uint32_t, Entry> byCode;
  std::unordered_map<uint32_t, std::string> notFound;  // stable texts
};

struct Warnings {
  std::vector<hbRecordedWarning> recorded;
  std::unordered_set<std::string> disabled;
};

// Never destroyed (see hb_print.cpp).
Registry& registry() {
  static Registry* r = new Registry;
  return *r;
}

Warnings& warnings() {
  static Warnings* w = new Warnings;
  return *w;
}

void indexTable(Registry& r, const MessageTable* t) {
  for (uint32_t i = 0; i < t->count; ++i) {
    const char* id = t->ids != nullptr ? t->ids[i] : nullptr;
    const char* text = t->texts != nullptr ? t->texts[i] : nullptr;
    r.byCode.emplace(t->codes[i], Entry{id, text != nullptr ? text : ""});
  }
}

std::string vformat(const char* fmt, va_list args) {
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(nullptr, 0, fmt, args);
  std::string text;
  if (n > 0) {
    text.assign(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), fmt, again);
    text.resize(static_cast<size_t>(n));
  }
  va_end(again);
  return text;
}

}  // namespace

hbMemoryContext* hbGetMemoryContext() {
  static hbMemoryContext context;
  return &context;
}

void hb_mem_add_primary_message_table(hbMemoryContext*, const MessageTable* table) {
  if (table == nullptr || (table->count > 0 && table->codes == nullptr)) return;
  Registry& r = registry();
  if (std::find(r.tables.begin(), r.tables.end(), table) != r.tables.end()) return;
  r.tables.push_back(table);
  indexTable(r, table);
}

void hb_mem_remove_primary_message_table(hbMemoryContext*, const MessageTable* table) {
  Registry& r = registry();
  auto it = std::find(r.tables.begin(), r.tables.end(), table);
  if (it == r.tables.end()) return;
  r.tables.erase(it);
  r.byCode.clear();
  for (const MessageTable* t : r.tables) indexTable(r, t);
}

const char* hbLookupMessage(uint32_t code) {
  Registry& r = registry();
  auto it = r.byCode.find(code);
  if (it != r.byCode.end()) return it->second.text;
  auto [slot, added] = r.notFound.try_emplace(code);
  if (added) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "Message 0x%06X not found", static_cast<unsigned>(code));
    slot->second = buf;
  }
  return slot->second.c_str();
}

const char* hbLookupMessageId(uint32_t code) {
  Registry& r = registry();
  auto it = r.byCode.find(code);
  return it != r.byCode.end() ? it->second.id : nullptr;
}

char* hbFormatMessage(uint32_t code, va_list args) {
  const char* fmt = hbLookupMessage(code);
  if (registry().byCode.count(code) == 0) return hbStrdup(fmt);  // not a format
  return hbStrdup(vformat(fmt, args).c_str());
}

hbWarningContext* hbGetWarningContext() {
  static hbWarningContext context;
  return &context;
}

void hb_warning_id(hbWarningContext* ctx, const char* id, uint32_t code, ...) {
  va_list args;
  va_start(args, code);
  char* text = hbFormatMessage(code, args);
  va_end(args);
  std::string owned = text != nullptr ? text : "";
  hbFree(text);
  bool suppressed = hb_get_warning_status_id(ctx, id) == 0;
  warnings().recorded.push_back({id != nullptr ? id : "", owned, suppressed});
  if (!suppressed) hbPrintf("%s\n", owned.c_str());
}

int hb_get_warning_status_id(hbWarningContext*, const char* id) {
  if (id == nullptr) return 1;
  return warnings().disabled.count(id) != 0 ? 0 : 1;
}

const std::vector<hbRecordedWarning>& hbTestWarnings() { return warnings().recorded; }
void hbTestClearWarnings() { warnings().recorded.clear(); }

void hbTestSetWarningStatus(const char* id, bool enabled) {
  if (id == nullptr) return;
  if (enabled) {
    warnings().disabled.erase(id);
  } else {
    warnings().disabled.insert(id);
  }
}

void hbTestResetWarningStatus() { warnings().disabled.clear(); }
