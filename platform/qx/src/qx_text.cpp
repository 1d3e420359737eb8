// Text of char arrays.  Characters are read in column-major order, as they
// are stored; a one-row array reads as its text.
#include "qx/qx.hpp"

#include <algorithm>
#include <cstring>
#include <string>

#include "hb/hb.hpp"
#include "qx_internal.hpp"

namespace {

const qx_detail::Storage::Chars* charsOf(const qxArray* a) {
  return qx_detail::isKind(a, qx_detail::Kind::Char) ? &a->impl->data->chars : nullptr;
}

char* newText(const qxArray* a) {
  const qx_detail::Storage::Chars* chars = charsOf(a);
  if (chars == nullptr) return nullptr;
  char* text = static_cast<char*>(hbMalloc(chars->size() + 1));
  if (text == nullptr) return nullptr;
  if (!chars->empty()) std::memcpy(text, chars->data(), chars->size());
  text[chars->size()] = '\0';
  return text;
}

}  // namespace

int qxGetString(const qxArray* a, char* buf, size_t size) {
  if (buf == nullptr || size == 0) return 1;
  const qx_detail::Storage::Chars* chars = charsOf(a);
  if (chars == nullptr) {
    buf[0] = '\0';
    return 1;
  }
  size_t n = std::min(chars->size(), size - 1);
  if (n > 0) std::memcpy(buf, chars->data(), n);
  buf[n] = '\0';
  return n == chars->size() ? 0 : 1;
}

char* qxArrayToString(const qxArray* a) { return newText(a); }

std::string qxArrayToStdString(const qxArray* a) {
  const qx_detail::Storage::Chars* chars = charsOf(a);
  return chars != nullptr ? std::string(chars->begin(), chars->end()) : std::string();
}

char* qxCreateCStrFromArray(const qxArray* a) { return newText(a); }

bool qxTxtCmp(const qxArray* a, const char* text) {
  const qx_detail::Storage::Chars* chars = charsOf(a);
  if (chars == nullptr || text == nullptr) return false;
  size_t n = std::strlen(text);
  return n == chars->size() && (n == 0 || std::memcmp(chars->data(), text, n) == 0);
}
