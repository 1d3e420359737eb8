// The `kestrion` command as a user runs it: one row per way of calling it,
// each with the exit status it must give, its standard output read as the
// job promises (the display, CSV, the three validation lists, the usage
// text) and what standard error must (or must not) say.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string contentOf(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The folder of this process's files (the fixtures below and what the jobs
// write), removed when the process ends.
struct Scratch {
  fs::path dir = fs::path(testing::TempDir()) / ("kestrion-" + std::to_string(getpid()));
  Scratch() { fs::create_directories(dir); }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
};

const fs::path& scratch() {
  static const Scratch made;
  return made.dir;
}

// Runs the command with the arguments; its outputs go through files so that
// neither pipe can fill.
Result runKestrion(const std::vector<std::string>& args) {
  const fs::path out = scratch() / "stdout.txt";
  const fs::path err = scratch() / "stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> words{KESTRION_BINARY};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  Result result;
  if (posix_spawn(&pid, KESTRION_BINARY, &actions, nullptr, argv.data(), environ) == 0) {
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = contentOf(out);
  result.err = contentOf(err);
  return result;
}

std::string l2v1(const std::string& lists) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<sbml xmlns=\"http://www.sbml.org/sbml/level2\" level=\"2\" version=\"1\">\n<model id=\"m\">\n" + lists +
         "</model>\n</sbml>\n";
}

std::string math(const std::string& content) {
  return "<math xmlns=\"http://www.w3.org/1998/Math/MathML\">" + content + "</math>";
}

// Writes a fixture file once; returns its path.
std::string fixture(const std::string& name, const std::string& content) {
  const fs::path path = scratch() / name;
  if (!fs::exists(path)) std::ofstream(path, std::ios::binary) << content;
  return path.string();
}

const std::string kEnzyme = KESTRION_BUNDLED_EXAMPLE;

// A model whose read warns twice (a function definition, a stoichiometry
// given as math): A -> B.
std::string warningFile() {
  return fixture("warns.xml", l2v1("<listOfFunctionDefinitions><functionDefinition id=\"f\">" +
                                   math("<lambda><bvar><ci>x</ci></bvar><ci>x</ci></lambda>") +
                                   "</functionDefinition></listOfFunctionDefinitions>"
                                   "<listOfCompartments><compartment id=\"c\"/></listOfCompartments>"
                                   "<listOfSpecies><species id=\"A\" compartment=\"c\" initialAmount=\"1\"/>"
                                   "<species id=\"B\" compartment=\"c\" initialAmount=\"0\"/></listOfSpecies>"
                                   "<listOfReactions><reaction id=\"r\"><listOfReactants>"
                                   "<speciesReference species=\"A\"/></listOfReactants><listOfProducts>"
                                   "<speciesReference species=\"B\"><stoichiometryMath>" + math("<cn>2</cn>") +
                                   "</stoichiometryMath></speciesReference></listOfProducts></reaction>"
                                   "</listOfReactions>"));
}

// A readable file that libSBML's consistency check calls invalid (a unit
// that is not defined).
std::string invalidFile() {
  return fixture("invalid.xml", l2v1("<listOfCompartments><compartment id=\"c\"/></listOfCompartments>"
                                     "<listOfParameters><parameter id=\"p\" value=\"1\" units=\"nosuchunit\"/>"
                                     "</listOfParameters>"));
}

std::string notXmlFile() { return fixture("notxml.xml", "this is not XML\n"); }

std::string htmlFile() {
  return fixture("page.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html xmlns=\"http://www.w3.org/1999/xhtml\">"
                             "<head><title>Model</title></head><body><p>Not a model</p></body></html>\n");
}

// The bundled example without its XML declaration.
std::string noDeclarationFile() {
  const std::string text = contentOf(kEnzyme);
  return fixture("nodeclaration.xml", text.substr(text.find('\n') + 1));
}

// --- reading standard output as each job promises ------------------------------

using Csv = std::map<std::pair<std::string, std::string>, double>;

// The CSV of --stoichiometry: its header, then species,reaction,value rows
// whose value is a number; anything else fails the test.
Csv parseCsv(const std::string& out) {
  std::istringstream lines(out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "species,reaction,value");
  Csv rows;
  while (std::getline(lines, line)) {
    const size_t first = line.find(',');
    const size_t second = line.find(',', first + 1);
    EXPECT_TRUE(first != std::string::npos && second != std::string::npos &&
                line.find(',', second + 1) == std::string::npos)
        << "not a CSV row: " << line;
    if (second == std::string::npos) continue;
    const std::string value = line.substr(second + 1);
    char* end = nullptr;
    const double number = std::strtod(value.c_str(), &end);
    EXPECT_TRUE(!value.empty() && *end == '\0') << "not a number: " << line;
    rows[{line.substr(0, first), line.substr(first + 1, second - first - 1)}] = number;
  }
  return rows;
}

const Csv kEnzymeStoichiometry = {
    {{"E", "binding"}, -1}, {{"S", "binding"}, -1}, {{"ES", "binding"}, 1},
    {{"E", "catalysis"}, 1}, {{"ES", "catalysis"}, -1}, {{"P", "catalysis"}, 1}};

struct Lists {
  std::vector<std::string> fatals, errors, warnings;
};

// The three lists of --validate: a title line each, in order, then one
// line per entry, indented by two blanks ("message : line").
Lists parseLists(const std::string& out) {
  Lists lists;
  std::vector<std::string>* current = nullptr;
  const std::map<std::string, std::vector<std::string>*> titles = {
      {"Fatal errors:", &lists.fatals}, {"Errors:", &lists.errors}, {"Warnings:", &lists.warnings}};
  std::vector<std::string> seen;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    if (titles.count(line)) {
      current = titles.at(line);
      seen.push_back(line);
      continue;
    }
    EXPECT_TRUE(current && line.size() > 2 && line.rfind("  ", 0) == 0 && line[2] != ' ')
        << "not a list entry: " << line;
    if (current) current->push_back(line.substr(2));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"Fatal errors:", "Errors:", "Warnings:"}));
  return lists;
}

// The show job: the model's display first, the verification last.
void expectDisplay(const std::string& out, const std::string& model) {
  EXPECT_EQ(out.find("\n   Kestrion Model - " + model + " \n"), 0u) << out.substr(0, 200);
  EXPECT_NE(out.find("     Reactions:         2\n"), std::string::npos);
  const std::string last = "\nThe model verified.\n";
  EXPECT_TRUE(out.size() >= last.size() && out.compare(out.size() - last.size(), last.size(), last) == 0)
      << out.substr(out.size() > 200 ? out.size() - 200 : 0);
}

void expectUsage(const std::string& out) { EXPECT_EQ(out.rfind("usage: kestrion", 0), 0u) << out; }

// --- the table ------------------------------------------------------------------------

struct Case {
  const char* name;
  std::function<std::vector<std::string>()> args;
  int status;
  std::function<void(const Result&)> check;  // standard output (and more)
  std::vector<std::string> errSays = {};     // texts standard error holds
  std::vector<std::string> errNever = {};    // texts it must not hold
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

void expectEmptyOut(const Result& r) { EXPECT_EQ(r.out, ""); }

const Case kCases[] = {
    {"DefaultFile", [] { return std::vector<std::string>{}; }, 0,
     [](const Result& r) {
       expectDisplay(r.out, "enzyme");
       EXPECT_EQ(r.err, "");
     }},
    {"NamedFile", [] { return std::vector<std::string>{kEnzyme}; }, 0,
     [](const Result& r) { expectDisplay(r.out, "enzyme"); }},
    {"FileWithoutXmlDeclaration", [] { return std::vector<std::string>{noDeclarationFile()}; }, 0,
     [](const Result& r) { expectDisplay(r.out, "enzyme"); }},
    {"Stoichiometry", [] { return std::vector<std::string>{kEnzyme, "--stoichiometry"}; }, 0,
     [](const Result& r) { EXPECT_EQ(parseCsv(r.out), kEnzymeStoichiometry); }},
    {"StoichiometryLeavesTheWarningsToStandardError",
     [] { return std::vector<std::string>{warningFile(), "--stoichiometry"}; }, 0,
     [](const Result& r) { EXPECT_EQ(parseCsv(r.out), (Csv{{{"A", "r"}, -1}, {{"B", "r"}, 1}})); },
     {"function definitions", "Stoichiometry Math is not supported"}},
    {"WriteGivesAFileThatReadsTheSame",
     [] { return std::vector<std::string>{kEnzyme, "--write", (scratch() / "written.xml").string()}; }, 0,
     [](const Result& r) {
       expectEmptyOut(r);
       const Result again = runKestrion({(scratch() / "written.xml").string(), "--stoichiometry"});
       EXPECT_EQ(again.status, 0) << again.err;
       EXPECT_EQ(parseCsv(again.out), kEnzymeStoichiometry);
     }},
    {"ValidateValidFile", [] { return std::vector<std::string>{kEnzyme, "--validate"}; }, 0,
     [](const Result& r) {
       const Lists lists = parseLists(r.out);
       EXPECT_EQ(lists.fatals.size() + lists.errors.size(), 0u);
       EXPECT_FALSE(lists.warnings.empty());
     }},
    {"ValidateInvalidFile", [] { return std::vector<std::string>{invalidFile(), "--validate"}; }, 1,
     [](const Result& r) {
       const Lists lists = parseLists(r.out);
       EXPECT_TRUE(lists.fatals.empty());
       ASSERT_FALSE(lists.errors.empty());
       EXPECT_NE(lists.errors.at(0).find("nosuchunit"), std::string::npos) << lists.errors.at(0);
     }},
    {"ValidateTextThatIsNotXml", [] { return std::vector<std::string>{notXmlFile(), "--validate"}; }, 1,
     [](const Result& r) { EXPECT_FALSE(parseLists(r.out).fatals.empty()); }},
    {"ValidateMissingFile", [] { return std::vector<std::string>{"/no/such/file.xml", "--validate"}; }, 1,
     [](const Result& r) {
       EXPECT_EQ(parseLists(r.out).fatals, (std::vector<std::string>{"A hard error occurred."}));
     }},
    {"MissingFile", [] { return std::vector<std::string>{"/no/such/file.xml"}; }, 1, expectEmptyOut,
     {"SBML:HardReadError", "/no/such/file.xml"}},
    {"Directory", [] { return std::vector<std::string>{scratch().string()}; }, 1, expectEmptyOut,
     {"SBML:HardReadError"}},
    {"TextThatIsNotXml", [] { return std::vector<std::string>{notXmlFile()}; }, 1, expectEmptyOut,
     {"The following error(s) was reported by libSBML", "Kestrion:FatalSBMLReadError"}},
    {"XmlThatIsNotSbml", [] { return std::vector<std::string>{htmlFile()}; }, 1, expectEmptyOut,
     {"must conform to the XML Schema", "Kestrion:FatalSBMLReadError"}},
    {"ReadListsTheConsistencyErrors", [] { return std::vector<std::string>{invalidFile()}; }, 0,
     [](const Result& r) { EXPECT_NE(r.out.find("Kestrion Model - m"), std::string::npos); },
     {"This SBML file is invalid", "nosuchunit"}},
    {"SkipCheckReadsWithoutTheConsistencyCheck",
     [] { return std::vector<std::string>{invalidFile(), "--skip-check"}; }, 0,
     [](const Result& r) { EXPECT_NE(r.out.find("Kestrion Model - m"), std::string::npos); }, {},
     {"This SBML file is invalid"}},
    {"SkipCheckWithStoichiometry",
     [] { return std::vector<std::string>{kEnzyme, "--stoichiometry", "--skip-check"}; }, 0,
     [](const Result& r) { EXPECT_EQ(parseCsv(r.out), kEnzymeStoichiometry); }},
    {"UnknownOptionIsNamed", [] { return std::vector<std::string>{kEnzyme, "--stoichiometri"}; }, 2, expectEmptyOut,
     {"unknown option '--stoichiometri'"}},
    {"WriteWithoutOut", [] { return std::vector<std::string>{kEnzyme, "--write"}; }, 2, expectEmptyOut,
     {"--write needs OUT"}},
    {"TwoJobsAreRefused", [] { return std::vector<std::string>{kEnzyme, "--stoichiometry", "--validate"}; }, 2,
     expectEmptyOut, {"one job at a time", "--stoichiometry", "--validate"}},
    {"TwoFilesAreRefused", [] { return std::vector<std::string>{kEnzyme, kEnzyme}; }, 2, expectEmptyOut,
     {"one FILE at a time"}},
    {"SkipCheckDoesNotApplyToValidate",
     [] { return std::vector<std::string>{kEnzyme, "--validate", "--skip-check"}; }, 2, expectEmptyOut,
     {"--skip-check"}},
    {"ShortHelp", [] { return std::vector<std::string>{"-h"}; }, 0, [](const Result& r) { expectUsage(r.out); }},
    {"LongHelp", [] { return std::vector<std::string>{"--help"}; }, 0, [](const Result& r) { expectUsage(r.out); }},
    {"Classes", [] { return std::vector<std::string>{"--classes"}; }, 0,
     [](const Result& r) { EXPECT_NE(r.out.find("\nKestrion.Model"), std::string::npos); }},
};

class KestrionCommandTest : public testing::TestWithParam<Case> {};

TEST_P(KestrionCommandTest, ExitStatusAndOutputs) {
  const Case& c = GetParam();
  const Result r = runKestrion(c.args());
  EXPECT_EQ(r.status, c.status) << "standard error:\n" << r.err;
  c.check(r);
  for (const std::string& text : c.errSays) EXPECT_NE(r.err.find(text), std::string::npos) << text << " in:\n" << r.err;
  for (const std::string& text : c.errNever) EXPECT_EQ(r.err.find(text), std::string::npos) << text << " in:\n" << r.err;
}

// The cases are numbered; CTest names each by its PrintTo name.
INSTANTIATE_TEST_SUITE_P(Jobs, KestrionCommandTest, testing::ValuesIn(kCases));

}  // namespace
