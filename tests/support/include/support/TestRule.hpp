// A rule-like expression-based component with one math expression, for
// tests of name resolution and change propagation before the real rule
// class exists.  It follows the rule's listening, propagation and rename
// steps and records what it was told.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>
#include <ks_utils/Identifiers.hpp>

#include "expressions/MathExpression.hpp"
#include "reactions/BRule.hpp"

class TestRule : public BRule {
 public:
  explicit TestRule(const std::string& text) : expression_(boost::make_shared<kstr::MathExpression>(text)) {}

  std::string text() const { return expression_->getExpressionString(); }
  ExpressionPtr expression() const { return expression_; }
  KelborComponent* resolved(const std::string& token) const {
    return expression_->getResolvedComponent(token);
  }
  bool collides(const std::string& token) const { return expression_->containsCollisionToken(token); }

  // Replaces the text while deferring notifications, as an edit does.
  void setText(const std::string& text) {
    const bool previous = deferNotification(true);
    detachListenerSupport();
    expression_ = boost::make_shared<kstr::MathExpression>(text);
    resolveTokensInExpressionAndListen(expression_);
    deferNotification(previous);
  }

  std::vector<std::string> told;  // one entry per propagation call
  int updateEvents = 0;

  void setParent(KelborComponent* parent) override {
    KelborComponent::setParent(parent);
    detachListenerSupport();
    resolveTokensInExpressionAndListen(expression_);
    sendJavaUpdateEvents();
  }
  void detachListenerSupport() override {
    std::set<std::string> tokens;
    expression_->fillSetWithTokens(tokens, true);
    resolveSymbolsAndListen(tokens, {});
  }
  void debugPrint(std::ostream& out) const override { expression_->debugPrint(out); }
  void removeDependentState() override { detachListenerSupport(); }
  void sendJavaUpdateEvents() override {
    ++updateEvents;
    if (getSendJavaEvents()) sendJavaExpressionEvents({expression_});
  }
  void updateAllExpressionsForComponentRemoved(const KelborComponent* c) override {
    told.push_back("removed " + c->getName());
    updateExpressionForComponentRemoved(expression_, c);
  }
  void updateAllExpressionsForComponentNameChange(const KelborComponent* c, const std::string& bn,
                                                  const std::string& qn) override {
    told.push_back("nameChange " + bn);
    updateExpressionForComponentNameChange(expression_, c, bn, qn);
  }
  void updateAllExpressionsForParentComponentRename(const KelborComponent* parent,
                                                    const KelborComponent* c,
                                                    const std::string& parentName,
                                                    const std::string& oldQn,
                                                    const std::string& newQn) override {
    told.push_back("parentRename " + oldQn);
    updateExpressionForParentComponentRename(expression_, parent, c, parentName, oldQn, newQn,
                                             nullptr);
  }
  void updateAllExpressionsForComponentAdded(const KelborComponent* c) override {
    told.push_back("added " + c->getName());
    updateExpressionForComponentAdded(expression_, c, nullptr);
  }
  std::set<size_t> updateExpressionsForRename(const KelborComponent* c, const std::string& newName,
                                              const std::set<size_t>& positions) override {
    told.push_back("rename " + c->getName());
    std::set<size_t> result;
    if (!expression_->isComponentUsed(c)) return result;
    std::string oldShort = c->getName();
    bracketNameIfNotValidIdentifier(oldShort);
    std::string oldQualified;
    c->fillPartiallyQualifiedName(oldQualified);
    std::string newShort = newName;
    bracketNameIfNotValidIdentifier(newShort);
    std::string newQualified =
        oldQualified.substr(0, oldQualified.size() - oldShort.size()) + newShort;
    ComponentVectorPtr others = resolveSymbolWithCollisions(newShort);
    const bool collides = others && !others->empty();
    SubstitutionMap map;
    const uint64_t answer = renameHelper(c, oldShort, oldQualified, newShort, newQualified, collides,
                                         positions.count(0) > 0, expression_.get(), map);
    expression_->substitute(map);
    resolveTokensInExpressionAndListen(expression_);
    sendJavaUpdateEvents();
    if (answer == 1) result.insert(0);
    if (answer == 4294967295ull) result.insert(4294967295ull);
    return result;
  }

 private:
  ExpressionPtr expression_;
};
