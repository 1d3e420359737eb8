#include "ks_utils/MParseTree.hpp"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "MParseSyntax.hpp"
#include "hb/hb.hpp"
#include "obk/Exception.hpp"

void* MParseTree::operator new(std::size_t size) {
  void* p = hbMalloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void MParseTree::operator delete(void* p) noexcept { hbFree(p); }

MParseTree::MParseTree(const char* text) : text_(text ? text : "") {}

MParseTree::~MParseTree() = default;

void MParseTree::init(bool reparse) {
  if (parsed_ && !reparse) return;
  parsed_.reset();
  auto parsed = std::make_unique<ks_parse::ParsedExpression>();
  ks_parse::parseExpression(text_, *parsed);
  parsed_ = std::move(parsed);
}

bool MParseTree::isParsed() const noexcept { return parsed_ != nullptr; }

const std::string& MParseTree::getText() const noexcept { return text_; }

const ks_parse::ParsedExpression& MParseTree::parsed() const {
  if (!parsed_) {
    throw ErrorIdException("ks:ParseTreeNotParsed",
                           "The expression has not been parsed.");
  }
  return *parsed_;
}

void MParseTree::parsePLExpression(
    kstrVector<std::string>& out,
    boost::function1<uint64_t, const std::string&> pred,
    bool distinct) const {
  const ks_parse::ParsedExpression& expression = parsed();
  const auto& names = expression.names;
  // A formula names a few tokens, found again among the earlier names
  // without a set; a long one (a sum of thousands of terms) is hashed.
  constexpr size_t scannedNames = 16;
  std::unordered_set<std::string_view> seen;
  if (distinct && names.size() > scannedNames) seen.reserve(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string_view token = names[i].canonical;
    if (distinct) {
      if (names.size() > scannedNames) {
        if (!seen.insert(token).second) continue;
      } else if (std::any_of(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(i),
                             [&](const ks_parse::NameOccurrence& earlier) {
                               return earlier.canonical == token;
                             })) {
        continue;
      }
    }
    if (pred.empty() || pred(names[i].canonical) != 0) {
      out.push_back(names[i].canonical);
    }
  }
}

char* MParseTree::traverseSubstitute(
    const kstrMap<std::string, const char*>& replacements) const {
  const ks_parse::ParsedExpression& expression = parsed();
  const std::string_view text = text_;
  std::string result;
  result.reserve(text.size());
  std::size_t copied = 0;
  for (const ks_parse::NameOccurrence& name : expression.names) {
    const auto found = replacements.find(name.canonical);
    if (found == replacements.end() || found->second == nullptr) continue;
    result.append(text.substr(copied, name.begin - copied));
    result.append(found->second);
    copied = name.end;
  }
  result.append(text.substr(copied));
  char* copy = static_cast<char*>(hbMalloc(result.size() + 1));
  if (copy == nullptr) throw std::bad_alloc();
  std::memcpy(copy, result.c_str(), result.size() + 1);
  return copy;
}

bool MParseTree::getContainsNumericValues() const {
  return parsed().hasNumber;
}

void MParseTree::translateToMathML(std::string& out) const {
  ks_parse::writeMathMLFormula(text_, parsed(), out);
}

void MParseTree::mathMLSteps(std::vector<MParseStep>& out) const {
  ks_parse::writeMathMLSteps(text_, parsed(), out);
}
