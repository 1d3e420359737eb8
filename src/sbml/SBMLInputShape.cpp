// Measuring the nesting of an SBML text before it is parsed.
#include "sbml/SBMLInputShape.hpp"

#include <algorithm>
#include <array>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <ks_utils/Errors.hpp>

#include "model/MessageCatalog.hpp"

using Code = kstr::MessageCode;

namespace kstr::sbml {

namespace {

bool endsWith(const std::string& text, std::string_view end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class ShapeScanner {
 public:
  explicit ShapeScanner(std::string_view text) : text_(text) {}

  InputShape run() {
    shape_.measured = true;
    while (at_ < text_.size() && !shape_.tooDeepLine && !shape_.tooDeepMathLine) {
      // Text between markup only counts its lines.
      const size_t open = text_.find('<', at_);
      const size_t stop = open == std::string_view::npos ? text_.size() : open;
      countLines(at_, stop);
      at_ = stop;
      if (at_ < text_.size()) markup();
    }
    return shape_;
  }

 private:
  bool startsWith(std::string_view prefix) const { return text_.substr(at_, prefix.size()) == prefix; }

  // Moves past the next occurrence of end (or to the end of the text).
  void skipPast(std::string_view end) {
    const size_t found = text_.find(end, at_);
    const size_t stop = found == std::string_view::npos ? text_.size() : found + end.size();
    countLines(at_, stop);
    at_ = stop;
  }

  void countLines(size_t from, size_t to) {
    line_ += static_cast<size_t>(std::count(text_.begin() + from, text_.begin() + to, '\n'));
  }

  static bool endsName(char c) {
    static constexpr std::array<bool, 256> ends = [] {
      std::array<bool, 256> table{};
      for (const unsigned char e : {' ', '\t', '\r', '\n', '/', '>'}) table[e] = true;
      return table;
    }();
    return ends[static_cast<unsigned char>(c)];
  }

  // The offset of the '>' that closes the markup starting at at_, outside
  // quoted values (and, in a declaration, outside its internal subset);
  // the line breaks before it are added to lines.  One pass: only the
  // characters that matter stop the scan.
  size_t closingBracket(bool declaration, size_t& lines) const {
    static constexpr std::array<bool, 256> stops = [] {
      std::array<bool, 256> table{};
      for (const unsigned char c : {'"', '\'', '>', '[', ']', '\n'}) table[c] = true;
      return table;
    }();
    const char* const data = text_.data();
    const size_t size = text_.size();
    char quote = 0;
    int subset = 0;
    for (size_t i = at_ + 1; i < size; ++i) {
      const char c = data[i];
      if (!stops[static_cast<unsigned char>(c)]) continue;
      if (c == '\n') {
        ++lines;
      } else if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (declaration && (c == '[' || c == ']')) {
        subset += c == '[' ? 1 : -1;
      } else if (c == '>' && subset <= 0) {
        return i;
      }
    }
    return size;
  }

  void markup() {
    if (startsWith("<!--")) return skipPast("-->");
    if (startsWith("<![CDATA[")) return skipPast("]]>");
    if (startsWith("<?")) return skipPast("?>");
    const bool declaration = startsWith("<!");
    const size_t tagLine = line_;
    const size_t close = closingBracket(declaration, line_);
    const bool endTag = !declaration && startsWith("</");
    const bool empty = close < text_.size() && text_[close - 1] == '/';
    // Only a start tag's name matters.
    const std::string_view name = declaration || endTag ? std::string_view() : localName();
    at_ = close < text_.size() ? close + 1 : close;
    if (declaration) return;
    if (endTag) return leave();
    enter(name, empty, tagLine);
  }

  // The name of the tag at at_ without its prefix.
  std::string_view localName() const {
    size_t begin = at_ + 1;
    if (begin < text_.size() && text_[begin] == '/') ++begin;
    size_t end = begin;
    while (end < text_.size() && !endsName(text_[end])) ++end;
    std::string_view name = text_.substr(begin, end - begin);
    const size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
  }

  void enter(std::string_view name, bool empty, size_t tagLine) {
    if (!math_.empty()) {
      ++math_.back().children;
      ++mathElements_;
      if (empty) math_.back().deepest = std::max<size_t>(math_.back().deepest, 1);
    }
    if (empty) return;
    shape_.deepestNesting = std::max(shape_.deepestNesting, depth_ + 1);
    if (++depth_ > kMaxElementNesting) {
      // Inside a formula it is the formula that is too deep.
      if (math_.empty()) {
        shape_.tooDeepLine = tagLine;
      } else {
        shape_.tooDeepMathLine = mathLine_;
      }
    }
    if (!math_.empty()) {
      math_.push_back(MathFrame{});
    } else if (name == "math") {
      math_.push_back(MathFrame{});
      mathElements_ = 0;
      mathLine_ = tagLine;
    }
  }

  void leave() {
    if (depth_) --depth_;
    if (math_.empty()) return;
    // An element is as deep as its deepest child and one level more for
    // each child: libSBML gives an operator of n operands n - 1 nested
    // nodes.
    const size_t levels = std::max<size_t>(math_.back().children + math_.back().deepest, 1);
    math_.pop_back();
    if (!math_.empty()) {
      math_.back().deepest = std::max(math_.back().deepest, levels);
      return;
    }
    shape_.deepestMathLevels = std::max(shape_.deepestMathLevels, levels);
    if (levels > kMaxMathLevels) shape_.tooDeepMathLine = mathLine_;
    if (mathElements_ > shape_.largestMathElements) {
      shape_.largestMathElements = mathElements_;
      shape_.largestMathLine = mathLine_;
    }
  }

  struct MathFrame {
    size_t children = 0;
    size_t deepest = 0;
  };

  std::string_view text_;
  size_t at_ = 0;
  size_t line_ = 1;
  size_t depth_ = 0;
  std::vector<MathFrame> math_;  // the open elements of the open formula
  size_t mathElements_ = 0;
  size_t mathLine_ = 0;
  InputShape shape_;
};

}  // namespace

InputShape measureInputShape(std::string_view text) { return ShapeScanner(text).run(); }

InputShape measureReadArgument(const std::string& argument, bool isText) {
  if (isText) return measureInputShape(argument);
  for (const char* compressed : {".gz", ".zip", ".bz2"}) {
    if (endsWith(argument, compressed)) return InputShape{};
  }
  std::error_code error;
  if (!std::filesystem::is_regular_file(argument, error)) return InputShape{};
  std::string text;
  try {
    std::ifstream file(argument, std::ios::binary);
    if (!file) return InputShape{};
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  } catch (const std::exception&) {
    return InputShape{};  // unreadable: libSBML's read says so
  }
  return measureInputShape(text);
}

void refuseTooDeep(const InputShape& shape) {
  if (shape.tooDeepLine) {
    kstr_error("Kestrion:SBML_NESTING_TOO_DEEP", kstr::code(Code::KS_SBML_NESTING_TOO_DEEP),
               static_cast<int>(kMaxElementNesting), static_cast<int>(shape.tooDeepLine));
  }
  if (shape.tooDeepMathLine) {
    kstr_error("Kestrion:SBML_MATH_TOO_DEEP", kstr::code(Code::KS_SBML_MATH_TOO_DEEP),
               static_cast<int>(shape.tooDeepMathLine), static_cast<int>(kMaxElementNesting),
               static_cast<int>(kMaxMathLevels));
  }
}

}  // namespace kstr::sbml
