#include "expressions/ExpressionBasedComponent.hpp"

#include <algorithm>

#include <ks_utils/Identifiers.hpp>

#include "core/ExpressionEvents.hpp"
#include "expressions/Expression.hpp"
#include "expressions/NameHelpers.hpp"
#include "expressions/SymbolTable.hpp"
#include "model/Kelbor.hpp"

using kstr::bracketedNameOf;
using kstr::qualifiedNameOf;

ExpressionBasedComponent::ExpressionBasedComponent() = default;

ExpressionBasedComponent::ExpressionBasedComponent(const ExpressionBasedComponent& other)
    : KelborComponent(other),
      deferring_(other.deferring_),
      queue_(other.queue_),
      active_(other.active_) {}

ExpressionBasedComponent& ExpressionBasedComponent::operator=(
    const ExpressionBasedComponent& other) {
  if (this != &other) {
    KelborComponent::operator=(other);
    deferring_ = other.deferring_;
    queue_ = other.queue_;
    active_ = other.active_;
  }
  return *this;
}

ExpressionBasedComponent::~ExpressionBasedComponent() {
  // Queued notifications are dropped without running, newest first.
  while (!queue_.empty()) queue_.pop_back();
}

boost::shared_ptr<SavedExpressions> ExpressionBasedComponent::saveExpressions() const {
  boost::shared_ptr<SavedExpressions> saved(new SavedExpressions);
  saved->texts = getExpressionTexts();
  return saved;
}

void ExpressionBasedComponent::restoreExpressions(const SavedExpressions& saved) {
  restoreExpressionTexts(saved.texts);
}

Kelbor* ExpressionBasedComponent::getLiveModel() const {
  boost::shared_ptr<ModelGlobalData> data = getModelGlobalData();
  return data && !data->beingDestroyed ? data->model : nullptr;
}

// --- resolution forwarders -----------------------------------------------------

KelborComponent* ExpressionBasedComponent::resolveSymbol(const std::string& name) {
  Kelbor* model = getLiveModel();
  return model ? model->resolveSymbol(name, this) : nullptr;
}

KelborComponent* ExpressionBasedComponent::resolveSymbolAndListen(const std::string& name) {
  Kelbor* model = getLiveModel();
  return model ? model->resolveSymbolAndListen(name, this) : nullptr;
}

ExpressionBasedComponent::ComponentVectorPtr ExpressionBasedComponent::resolveSymbolsAndListen(
    const std::set<std::string>& release, const std::set<std::string>& resolve) {
  Kelbor* model = getLiveModel();
  return model ? model->resolveSymbolsAndListen(release, resolve, this) : ComponentVectorPtr();
}

ExpressionBasedComponent::ComponentVectorPtr ExpressionBasedComponent::resolveSymbolWithCollisions(
    const std::string& name) {
  Kelbor* model = getLiveModel();
  return model ? model->resolveSymbolWithCollisions(name, this) : ComponentVectorPtr();
}

KelborComponent* ExpressionBasedComponent::reResolveSymbolAndListen(const std::string& oldName,
                                                                    const std::string& newName) {
  Kelbor* model = getLiveModel();
  return model ? model->reResolveSymbolAndListen(oldName, newName, this) : nullptr;
}

bool ExpressionBasedComponent::isComponentVisible(const KelborComponent* component) const {
  if (component->getEnumType() != kstr::parameter) return true;
  // A parameter without a parent is taken as visible.
  const KelborComponent* parent = component->getParent();
  return !(parent && parent->getEnumType() == kstr::kineticlaw);
}

// --- Active ------------------------------------------------------------------------------

void ExpressionBasedComponent::setActive(bool active) {
  if (active == active_) return;
  active_ = active;
  setModelCompileNeeded();
  sendJavaUpdateEvents();
}

// --- collisions and token resolution -------------------------------------------------

void ExpressionBasedComponent::applyCollisionRule(const ExpressionPtr& expression,
                                                  const std::string& token, bool quiet) {
  ComponentVectorPtr candidates = resolveSymbolWithCollisions(token);
  if (candidates) markCollision(expression, token, candidates->size(), quiet);
}

void ExpressionBasedComponent::markCollision(const ExpressionPtr& expression, const std::string& token,
                                             size_t candidates, bool quiet) {
  if (!expression->containsToken(token)) return;
  const bool collides = candidates >= 2;
  if (collides == expression->containsCollisionToken(token)) return;
  if (collides) {
    expression->addCollisionToken(token);
  } else {
    expression->removeCollisionToken(token);
  }
  if (!quiet) sendJavaUpdateEvents();
}

void ExpressionBasedComponent::handleCollisionScenario(ExpressionPtr expression,
                                                       const std::string& token, bool quiet) {
  applyCollisionRule(expression, token, quiet);
}

void ExpressionBasedComponent::resolveTokensInExpressionAndListen(ExpressionPtr expression) {
  std::set<std::string> tokens;
  expression->fillSetWithTokens(tokens, true);
  resolveTokensAndListen(expression, tokens);
}

void ExpressionBasedComponent::resolveTokensAndListen(const ExpressionPtr& expression,
                                                      const std::set<std::string>& tokens) {
  Kelbor* model = getLiveModel();
  // One lookup per token binds it and counts its candidates, in the scope
  // resolveSymbolAndListen and resolveSymbolWithCollisions take: a
  // reaction's own for a reaction, the model's otherwise.  The collision
  // marks follow once every token is bound.
  const bool reactionScope = getEnumType() == kstr::reaction;
  std::vector<std::pair<bool, size_t>> counts;
  counts.reserve(tokens.size());
  for (const std::string& token : tokens) {
    KelborComponent* found = nullptr;
    size_t candidates = 0;
    const bool counted =
        model && model->resolveSymbolListenAndCount(token, this, reactionScope, found, candidates);
    expression->setResolvedComponent(token, found);
    counts.emplace_back(counted, candidates);
  }
  auto count = counts.begin();
  for (const std::string& token : tokens) {
    if (count->first) markCollision(expression, token, count->second, deferring_);
    ++count;
  }
}

void ExpressionBasedComponent::resolveTokensInExpression(ExpressionPtr expression) {
  std::set<std::string> tokens;
  expression->fillSetWithTokens(tokens, true);
  const bool inModel = getLiveModel() != nullptr;
  for (const std::string& token : tokens) {
    expression->setResolvedComponent(token, inModel ? resolveSymbol(token) : nullptr);
  }
}

void ExpressionBasedComponent::attachListenersForExpression(const ExpressionPtr& expression) {
  kstr::Expression::ComponentMap map;
  expression->getSymbolComponentMap(map);
  for (const auto& [token, component] : map) {
    if (component) {
      component->addListener(this);
    } else {
      resolveSymbolAndListen(token);
    }
  }
}

void ExpressionBasedComponent::releaseListeners(const std::vector<ExpressionPtr>& expressions) {
  releaseListenersExcept(expressions, {});
}

void ExpressionBasedComponent::releaseListenersExcept(const std::vector<ExpressionPtr>& expressions,
                                                      const std::vector<ExpressionPtr>& kept) {
  Kelbor* model = getLiveModel();
  if (!model) return;
  SymbolTable& table = *model->getSymbolTable();
  for (const ExpressionPtr& expression : expressions) {
    if (!expression) continue;
    kstr::Expression::ComponentMap map;
    expression->getSymbolComponentMap(map);
    for (const auto& [token, component] : map) releaseBinding(table, token, component, kept);
  }
}

void ExpressionBasedComponent::releaseBindingsExcept(const std::vector<std::string>& names,
                                                     KelborComponent* component,
                                                     const std::vector<ExpressionPtr>& kept) {
  Kelbor* model = getLiveModel();
  if (!model) return;
  SymbolTable& table = *model->getSymbolTable();
  for (const std::string& name : names) releaseBinding(table, name, component, kept);
}

void ExpressionBasedComponent::releaseBinding(SymbolTable& table, const std::string& token,
                                              KelborComponent* component,
                                              const std::vector<ExpressionPtr>& kept) {
  // The kept expressions are asked about the token and the binding (they
  // answer from their own maps), so releasing a short rate beside a long
  // equation costs what the rate holds, not what the equation holds.
  const auto keeps = [&kept](const auto& holds) {
    return std::any_of(kept.begin(), kept.end(),
                       [&holds](const ExpressionPtr& other) { return other && holds(*other); });
  };
  // What the token is bound to, not what its name denotes now: the name may
  // have come to denote another component (a default name that moved) or
  // none.  A component already out of the table keeps its listeners, as its
  // removal left them.
  if (component && table.containsComponent(component) && component->getListeners().count(this) != 0 &&
      !keeps([component](const kstr::Expression& other) { return other.isComponentUsed(component); })) {
    component->removeListener(this);
  }
  if (!keeps([&token](const kstr::Expression& other) { return other.containsToken(token); })) {
    table.removePendingListener(token, this);
  }
}

void ExpressionBasedComponent::detachListenersForExpression(const ExpressionPtr& expression,
                                                            const std::vector<ExpressionPtr>& kept) {
  releaseListenersExcept({expression}, kept);
}

// --- deferral ------------------------------------------------------------------------------

void ExpressionBasedComponent::queueNotification(boost::function<void()> notification) {
  queue_.push_back(std::move(notification));
}

bool ExpressionBasedComponent::deferNotification(bool defer) {
  const bool previous = deferring_;
  deferring_ = defer;
  if (previous && !defer) {
    while (!queue_.empty()) {
      // Each notification leaves the queue before it runs, so one that
      // raises is not replayed again at the next close.
      boost::function<void()> next = std::move(queue_.front());
      queue_.pop_front();
      next();
    }
  }
  return previous;
}

// --- desktop events -------------------------------------------------------------------------

bool ExpressionBasedComponent::getSendJavaEvents() const {
  Kelbor* model = getLiveModel();
  return model && model->getSendExpressionEvents(getEnumType());
}

void ExpressionBasedComponent::sendJavaExpressionEvents(const std::vector<ExpressionPtr>& expressions) {
  sendExpressionBatch(expressions, false);
}

void ExpressionBasedComponent::sendJavaDeleteEvents(const std::vector<ExpressionPtr>& expressions) {
  sendExpressionBatch(expressions, true);
}

// --- updates on component changes -------------------------------------------------------------

bool ExpressionBasedComponent::updateExpressionForComponentAdded(ExpressionPtr expression,
                                                                 const KelborComponent* added,
                                                                 UpdateRecord* record) {
  if (record) record->first = false;
  const std::string bn = bracketedNameOf(added);
  const std::string qn = qualifiedNameOf(added);
  if (!expression->isSyntacticallyValid()) {
    // The text is left as it is, but the names it holds that the added
    // component answers resolve again and listen: a rule whose right side
    // does not parse keeps following its variable through renames.
    for (const std::string* token : {&qn, &bn}) {
      if (!expression->containsToken(*token)) continue;
      const KelborComponent* previous = expression->getResolvedComponent(*token);
      expression->setResolvedComponent(*token,
                                       reResolveSymbolAndListen(previous ? qualifiedNameOf(previous) : "", *token));
    }
    return false;
  }
  bool updated = false;
  // The collision rule runs quietly here; the events are sent explicitly.
  if (qn != bn && expression->containsToken(qn)) {
    expression->setResolvedComponent(qn, reResolveSymbolAndListen(qn, qn));
    handleCollisionScenario(expression, qn, true);
    sendJavaUpdateEvents();
    updated = true;
  }
  if (!expression->containsToken(bn)) return updated;

  KelborComponent* previous = expression->getResolvedComponent(bn);
  KelborComponent* now = resolveSymbol(bn);
  if (!previous && now) {
    expression->setResolvedComponent(bn, reResolveSymbolAndListen("", bn));
    updated = true;
  } else if (previous && now) {
    expression->setResolvedComponent(bn, reResolveSymbolAndListen(qualifiedNameOf(previous), bn));
    updated = true;
  } else if (previous && !now) {
    // The bare name became ambiguous: name the previous holder by its
    // qualified name.
    const std::string p = bracketedNameOf(previous);
    const std::string q = qualifiedNameOf(previous);
    kstr::Expression::SubstitutionMap map;
    map[p] = q;
    expression->substitute(map);
    resolveTokensInExpressionAndListen(expression);
    updated = true;
    if (record) *record = {true, {p, q}};
  }
  handleCollisionScenario(expression, bn, true);
  sendJavaUpdateEvents();
  return updated;
}

void ExpressionBasedComponent::updateExpressionForComponentRemoved(ExpressionPtr expression,
                                                                   const KelborComponent* removed) {
  // A kinetic-law parameter of another reaction is seen only through a
  // qualified token bound to it; that binding must not outlive it.
  if (!isComponentVisible(removed) && !expression->isComponentUsed(removed)) return;
  const std::string bn = bracketedNameOf(removed);
  if (deferring_) {
    // The names are taken now: the component may be gone when this runs.
    // The replay is a virtual call, so a subclass's override sees it.
    queueNotification([this, expression, removed, bn] { applyComponentRemoved(expression, removed, bn); });
    return;
  }
  applyComponentRemoved(expression, removed, bn);
}

void ExpressionBasedComponent::applyComponentRemoved(const ExpressionPtr& expression,
                                                     const KelborComponent* removed,
                                                     const std::string& removedBracketedName) {
  kstr::Expression::ComponentMap map;
  expression->getSymbolComponentMap(map);
  bool touched = false;
  // The collision rule runs quietly: this update sends one event at the end.
  for (const auto& [token, component] : map) {
    if (component == removed) {
      expression->setResolvedComponent(token, resolveSymbolAndListen(token));
      handleCollisionScenario(expression, token, true);
      touched = true;
    } else if (token == removedBracketedName) {
      if (!component) {
        // The bare name waited because several components held it; with
        // one of them gone it may denote a single one again.
        expression->setResolvedComponent(token, reResolveSymbolAndListen("", token));
      }
      handleCollisionScenario(expression, token, true);
      touched = true;
    }
  }
  if (touched) sendJavaUpdateEvents();
}

void ExpressionBasedComponent::updateExpressionForComponentNameChange(
    ExpressionPtr expression, const KelborComponent* component, const std::string& oldBracketedName,
    const std::string& oldQualifiedName) {
  if (!isComponentVisible(component)) return;
  if (deferring_) {
    // A virtual call with copies of both names, as for a removal.
    queueNotification([this, expression, oldBracketedName, oldQualifiedName] {
      applyComponentNameChange(expression, oldBracketedName, oldQualifiedName);
    });
    return;
  }
  applyComponentNameChange(expression, oldBracketedName, oldQualifiedName);
}

void ExpressionBasedComponent::applyComponentNameChange(const ExpressionPtr& expression,
                                                        const std::string& oldBracketedName,
                                                        const std::string& oldQualifiedName) {
  // The collision rule runs quietly: this update sends one event at the end.
  bool ran = false;
  if (expression->containsToken(oldBracketedName) &&
      !expression->getResolvedComponent(oldBracketedName)) {
    // The bare name waited because several components held it; with one of
    // them renamed it may denote a single one again.
    expression->setResolvedComponent(oldBracketedName,
                                     reResolveSymbolAndListen("", oldBracketedName));
    ran = true;
  }
  if (expression->containsCollisionToken(oldBracketedName)) {
    handleCollisionScenario(expression, oldBracketedName, true);
    ran = true;
  }
  if (expression->containsCollisionToken(oldQualifiedName)) {
    handleCollisionScenario(expression, oldQualifiedName, true);
    ran = true;
  }
  if (ran) sendJavaUpdateEvents();
}

bool ExpressionBasedComponent::updateExpressionForParentComponentRename(
    ExpressionPtr expression, const KelborComponent*, const KelborComponent* component,
    const std::string&, const std::string& oldToken, const std::string& newToken,
    UpdateRecord* record) {
  if (record) record->first = false;
  if (!expression->containsToken(oldToken) ||
      expression->getResolvedComponent(oldToken) != component) {
    return false;
  }
  kstr::Expression::SubstitutionMap map;
  map[oldToken] = newToken;
  expression->substitute(map);
  resolveTokensInExpressionAndListen(expression);
  if (record) *record = {true, {oldToken, newToken}};
  return true;
}

uint64_t ExpressionBasedComponent::renameHelper(const KelborComponent* component,
                                                const std::string& t1, const std::string& t2,
                                                const std::string& u, const std::string& v,
                                                bool f1, bool f2,
                                                const kstr::Expression* expression,
                                                SubstitutionMap& map) {
  const bool m1 = expression->containsToken(t1) && expression->getResolvedComponent(t1) == component;
  const bool m2 = expression->containsToken(t2) && expression->getResolvedComponent(t2) == component;
  if (m1) map.emplace(t1, f1 ? v : u);
  if (m2) map.emplace(t2, f2 ? u : v);
  if (m1 && f1 && m2) return 4294967295ull;
  if (m1 && f1) return 1;
  return 0;
}

void ExpressionBasedComponent::sendExpressionBatch(const std::vector<ExpressionPtr>& expressions,
                                                   bool deleted) {
  if (!getSendJavaEvents()) return;
  Kelbor* model = getLiveModel();
  ExpressionEventStateRecord batch(getOBI(), model, getEnumType(), active_, deleted);
  for (const ExpressionPtr& expression : expressions) {
    if (!expression) continue;
    kstr::Expression::ConstComponentMap tokens;
    expression->getSymbolComponentMap(tokens);
    buildExpressionEventState(getExpressionEventStateClass(), expression->getExpressionString(),
                              expression->isSyntacticallyValid(), tokens,
                              expression->getCollisionTokens(), batch);
  }
  postExpressionDirtyEvent(getExpressionDirtyEventClass(), batch,
                           model->getModelExpressionBasedComponentMessages(), model->getOBI());
  releaseJavaObjectVector(batch.states);
}
