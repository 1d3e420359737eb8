// Formula translation between SBML math trees and model formulas.
#include "sbml/SBMLExpressionObject.hpp"

#include <sbml/math/ASTNode.h>

#include <ks_utils/Identifiers.hpp>
#include <ks_utils/MParseTree.hpp>

#include "core/KelborComponent.hpp"
#include "host/Host.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "reactions/BReaction.hpp"
#include "sbml/SBMLComponent.hpp"
#include "sbml/SBMLConversionContext.hpp"
#include "sbml/SBMLMathText.hpp"

using Code = kstr::MessageCode;

namespace {

// The model name of an SBML id: a local parameter first, then the species,
// compartments and parameters read so far.  Empty when nothing has the id.
std::string modelNameOf(SBMLConversionContext& context, const std::string& id,
                        const SBMLExpressionObject::LocalNames* localNames) {
  if (localNames) {
    auto it = localNames->find(id);
    if (it != localNames->end()) {
      std::string name = it->second;
      return bracketNameIfNotValidIdentifier(name);
    }
  }
  const SBMLConversionContext::Converters* kinds = context.findConverters(id);
  if (!kinds) return std::string();
  SBMLComponent* converter = kinds->species ? kinds->species : kinds->compartment ? kinds->compartment : kinds->parameter;
  KelborComponent* component = converter ? converter->getComponent() : nullptr;
  return component ? kstr::sbml::formulaNameOf(*component) : std::string();
}

template <class Scope>
ASTNode* mathOf(const std::string& formula, Kelbor* model, Scope* scope, const std::string& where,
                const MParseTree* parsed = nullptr) {
  const auto idOf = [model, scope](const std::string& name) -> const char* {
    KelborComponent* component = model ? model->resolveSymbol(name, scope) : nullptr;
    return component ? component->getID() : nullptr;
  };
  const auto noForm = [&where](const std::string& function) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:SBMLFunctionWithoutMathML",
                  kstr::code(Code::KS_SBML_FUNCTION_WITHOUT_MATHML), function.c_str(), where.c_str());
  };
  return kstr::sbml::mathOfHostFormula(formula, idOf, noForm, parsed);
}

}  // namespace

std::string SBMLExpressionObject::formulaFromMath(SBMLConversionContext& context, const ASTNode& math,
                                                  const LocalNames* localNames) {
  return kstr::sbml::hostFormulaOf(
      math, [&context, localNames](const std::string& id) { return modelNameOf(context, id, localNames); });
}

ASTNode* SBMLExpressionObject::mathFromFormula(const std::string& formula, Kelbor* model,
                                               ExpressionBasedComponent* scope, const std::string& where) {
  return mathOf(formula, model, scope, where);
}

ASTNode* SBMLExpressionObject::mathFromRate(const std::string& formula, Kelbor* model, BReaction* scope,
                                            const std::string& where) {
  // The rate's own parse serves when it is of this text.
  const boost::shared_ptr<const MParseTree> parsed = scope ? scope->getReactionRateParseTree() : nullptr;
  return mathOf(formula, model, scope, where, parsed.get());
}
