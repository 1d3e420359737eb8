#include "expressions/MathExpression.hpp"

#include <cstdint>
#include <memory>

#include <hb/hb.hpp>
#include <ks_utils/MParseTree.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <obk/Exception.hpp>

#include "core/HostBoundary.hpp"

namespace kstr {

namespace {

uint64_t acceptEveryToken(const std::string&) { return 1; }

}  // namespace

MathExpression::MathExpression(const std::string& text) { init(text); }

MathExpression::MathExpression(const MathExpression& other) = default;
MathExpression& MathExpression::operator=(const MathExpression& other) = default;
MathExpression::~MathExpression() = default;

void MathExpression::init(const std::string& text) {
  clearAllCollisionTokens();
  text_ = text;
  symbolMap_.clear();
  parseTree_.reset();
  if (text_.empty()) return;

  STDStringHelpers::trimWhitespace(text_);
  parseTree_.reset(new MParseTree(text_.c_str()));
  try {
    parseTree_->init(true);
  } catch (const ::Exception&) {
    // A syntax error: the text stays, without parse tree and tokens.
    parseTree_.reset();
    return;
  }

  kstrVector<std::string> tokens;
  parseTree_->parsePLExpression(tokens, &acceptEveryToken, true);
  for (const std::string& token : tokens) symbolMap_.emplace(token, nullptr);
}

boost::shared_ptr<const MParseTree> MathExpression::getParseTree() const {
  return parseTree_;
}

std::string MathExpression::getExpressionString() const { return text_; }

bool MathExpression::containsToken(const std::string& token) const {
  return symbolMap_.count(token) != 0;
}

void MathExpression::fillSetWithTokens(TokenSet& tokens, bool allTokens) const {
  for (const auto& entry : symbolMap_) {
    if (allTokens || getSymbolResolutionStatus(entry) != host_function) {
      tokens.insert(tokens.end(), entry.first);
    }
  }
}

bool MathExpression::doAllTokensResolve() const {
  if (!isSyntacticallyValid()) return false;
  for (const auto& entry : symbolMap_) {
    if (getSymbolResolutionStatus(entry) == unresolved) return false;
  }
  return true;
}

void MathExpression::getUnresolvedTokens(TokenSet& tokens) const {
  for (const auto& entry : symbolMap_) {
    if (getSymbolResolutionStatus(entry) == unresolved) tokens.insert(tokens.end(), entry.first);
  }
}

void MathExpression::getSymbolComponentMap(ConstComponentMap& out) const {
  for (const auto& [token, component] : symbolMap_) out.emplace(token, component);
}

void MathExpression::getSymbolComponentMap(ComponentMap& out) const {
  for (const auto& [token, component] : symbolMap_) out.emplace(token, component);
}

bool MathExpression::isComponentUsed(const KelborComponent* component) const {
  for (const auto& entry : symbolMap_) {
    if (entry.second == component) return true;
  }
  return false;
}

void MathExpression::setResolvedComponent(const std::string& token,
                                          KelborComponent* component) {
  symbolMap_[token] = component;
}

KelborComponent* MathExpression::getResolvedComponent(const std::string& token) const {
  const auto found = symbolMap_.find(token);
  return found == symbolMap_.end() ? nullptr : found->second;
}

void MathExpression::substitute(const SubstitutionMap& substitutions) {
  if (!parseTree_) return;

  // The replacement texts are the caller's strings; they outlive the call.
  kstrMap<std::string, const char*> replacements;
  for (const auto& [oldToken, newText] : substitutions) {
    replacements.emplace_hint(replacements.end(), oldToken, newText.c_str());
  }
  const HostText rewritten(parseTree_->traverseSubstitute(replacements));
  init(rewritten ? std::string(rewritten.get()) : std::string());
}

}  // namespace kstr
