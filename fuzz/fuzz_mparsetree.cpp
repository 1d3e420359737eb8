// Fuzzes the expression parse tree.  Any text either fails with the parse
// error or parses; a parsed text must list its names, translate into a
// form that parses again and translates to itself, and rename its names
// into a text that parses again with exactly the renamed names.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "hb/hb.hpp"
#include "ks_utils/MParseTree.hpp"
#include "obk/Exception.hpp"

namespace {

// Parses text; false on the parse error, abort() on any other failure.
bool parses(MParseTree& tree) {
  try {
    tree.init(true);
    return true;
  } catch (const ErrorIdException& e) {
    if (e.getIdentifier() != "ks:ParseError") std::abort();
    return false;
  }
}

std::vector<std::string> tokensOf(const MParseTree& tree, bool distinct) {
  kstrVector<std::string> out;
  tree.parsePLExpression(out, {}, distinct);
  return {out.begin(), out.end()};
}

void checkTranslation(const MParseTree& tree) {
  std::string mathml;
  tree.translateToMathML(mathml);
  MParseTree again(mathml.c_str());
  if (!parses(again)) std::abort();
  std::string twice;
  again.translateToMathML(twice);
  if (twice != mathml) std::abort();
}

// Renames the first distinct names: a swap of the first two, then a
// bracketed name and a qualified one.
void checkSubstitution(const MParseTree& tree) {
  const std::vector<std::string> distinct = tokensOf(tree, true);
  static const char* const kFixed[] = {"[a b]", "c.d", "x"};
  kstrMap<std::string, const char*> map;
  if (distinct.size() >= 2) {
    map[distinct[0]] = distinct[1].c_str();
    map[distinct[1]] = distinct[0].c_str();
  }
  for (std::size_t i = 2; i < distinct.size() && i < 5; ++i) {
    map[distinct[i]] = kFixed[i - 2];
  }
  char* renamed = tree.traverseSubstitute(map);
  MParseTree again(renamed);
  hbFree(renamed);
  if (!parses(again)) std::abort();
  std::vector<std::string> expected = tokensOf(tree, false);
  for (std::string& token : expected) {
    const auto found = map.find(token);
    if (found != map.end()) token = found->second;
  }
  if (tokensOf(again, false) != expected) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  MParseTree tree(text.c_str());
  if (!parses(tree)) return 0;
  tree.getContainsNumericValues();
  checkTranslation(tree);
  checkSubstitution(tree);
  return 0;
}
