#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <regex>
#include <set>
#include <string>

#include "ks_utils/Uuid.hpp"
#include "ks_utils/Version.hpp"
#include "obk/Exception.hpp"

namespace {

const std::regex kCanonical(
    "[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}");

TEST(KStrUuid, FreshUuidsAreCanonicalAndDistinct) {
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    KStrUuid uuid;
    EXPECT_TRUE(std::regex_match(uuid.getText(), kCanonical)) << uuid.getText();
    seen.insert(uuid.getText());
  }
  EXPECT_EQ(seen.size(), 200u);
}

TEST(KStrUuid, FromTextNormalisesAndRoundTrips) {
  const char* forms[] = {"0123ABCD-4567-89ab-CDEF-0123456789ab",
                         "{0123abcd-4567-89ab-cdef-0123456789ab}",
                         "0123abcd456789abcdef0123456789ab"};
  for (const char* form : forms) {
    SCOPED_TRACE(form);
    KStrUuid uuid(form);
    EXPECT_EQ(uuid.getText(), "0123abcd-4567-89ab-cdef-0123456789ab");
    EXPECT_EQ(KStrUuid(uuid.getText()), uuid);
  }
}

TEST(KStrUuid, BadTextThrowsWithTheId) {
  const char* bad[] = {"", "not-a-uuid", "0123abcd-4567-89ab-cdef-0123456789", nullptr};
  for (const char* text : bad) {
    SCOPED_TRACE(text ? text : "(null)");
    try {
      KStrUuid uuid(text);
      ADD_FAILURE() << "accepted " << uuid.getText();
    } catch (const ErrorIdException& e) {
      EXPECT_EQ(e.getIdentifier(), "Kestrion:InvalidUUID");
    }
  }
}

bool isValidIdentifierShape(const std::string& id) {
  if (id.empty() || !std::isalpha(static_cast<unsigned char>(id[0]))) return false;
  for (char c : id)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return id.size() <= 63;
}

TEST(KStrUuid, IdentifiersFromUuidsAreValidAndNeverRepeat) {
  std::set<std::string> seen;
  for (int i = 0; i < 500; ++i) {
    std::string id = "old content";
    std::string& result = createValidPELLAMIdFromUuidString(id);
    EXPECT_EQ(&result, &id);
    ASSERT_EQ(id.size(), 33u);
    EXPECT_EQ(id[0], 'x');
    EXPECT_TRUE(std::regex_match(id, std::regex("x[0-9a-f]{32}"))) << id;
    EXPECT_TRUE(isValidIdentifierShape(id));
    seen.insert(id);
  }
  EXPECT_EQ(seen.size(), 500u);
}

TEST(KStrUuid, SeedMakesTheSequenceRepeatable) {
  std::string a1, a2, b1, b2;
  setUuidSeedForTesting(42);
  createValidPELLAMIdFromUuidString(a1);
  createValidPELLAMIdFromUuidString(a2);
  setUuidSeedForTesting(42);
  createValidPELLAMIdFromUuidString(b1);
  createValidPELLAMIdFromUuidString(b2);
  setUuidSeedForTesting(43);
  std::string c1;
  createValidPELLAMIdFromUuidString(c1);
  clearUuidSeedForTesting();
  EXPECT_EQ(a1, b1);
  EXPECT_EQ(a2, b2);
  EXPECT_NE(a1, a2);
  EXPECT_NE(a1, c1);
  std::string fresh;
  createValidPELLAMIdFromUuidString(fresh);
  EXPECT_NE(fresh, a1);
  EXPECT_NE(fresh, a2);
}

// Fresh UUIDs are random ones (version 4, the RFC variant), and a process
// made by fork draws other UUIDs than its parent.
TEST(KStrUuid, FreshUuidsAreVersionFourAndAForkedChildDrawsItsOwn) {
  for (int i = 0; i < 100; ++i) {
    const KStrUuid uuid;
    EXPECT_EQ(uuid.getValue().version(), boost::uuids::uuid::version_random_number_based);
    EXPECT_EQ(uuid.getValue().variant(), boost::uuids::uuid::variant_rfc_4122);
  }
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string id;
    createValidPELLAMIdFromUuidString(id);
    const ssize_t written = write(fds[1], id.data(), id.size());
    _exit(written == static_cast<ssize_t>(id.size()) ? 0 : 1);
  }
  std::string parent;
  createValidPELLAMIdFromUuidString(parent);
  std::string fromChild(33, '\0');
  ASSERT_EQ(read(fds[0], fromChild.data(), fromChild.size()), 33);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  close(fds[0]);
  close(fds[1]);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(fromChild[0], 'x');
  EXPECT_NE(fromChild, parent);
}

TEST(Version, ProductVersion) {
  EXPECT_DOUBLE_EQ(GetKestrionVersion(), 3.0);
  EXPECT_STREQ(GetKestrionVersionString(), "3.0.0");
  const KestrionVersion v = getVersionFromString(GetKestrionVersionString());
  EXPECT_EQ(v, (KestrionVersion{3, 0.0, 0.0}));
}

struct VersionCase {
  const char* text;
  KestrionVersion expected;
};

const KestrionVersion kNone{-1, -1.0, -1.0};

TEST(Version, ParsingTable) {
  const VersionCase cases[] = {
      {"3.0.0", {3, 0.0, 0.0}},  {"2.1.3", {2, 1.0, 3.0}},
      {"2.1", {2, 1.0, 0.0}},    {"2", {2, 0.0, 0.0}},
      {" 1.10.2 ", {1, 10.0, 2.0}}, {"2.1.", {2, 1.0, 0.0}},
      {"0.0.0", {0, 0.0, 0.0}},  {"", kNone},
      {"abc", kNone},            {"1.2.3.4", kNone},
      {"1..2", kNone},           {".5", kNone},
      {"-1.0", kNone},           {"1.x", kNone},
      {"99999999999999", kNone},
  };
  for (const VersionCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(getVersionFromString(c.text), c.expected);
    EXPECT_EQ(getVersionFromString(std::string(c.text)), c.expected);
  }
  EXPECT_EQ(getVersionFromString(static_cast<const char*>(nullptr)), kNone);
}

TEST(Version, ComparesFieldsInOrder) {
  const KestrionVersion ordered[] = {
      kNone, {0, 0.0, 0.0}, {1, 9.0, 9.0}, {2, 0.0, 5.0}, {2, 1.0, 0.0},
      {2, 1.0, 3.0}, {2, 2.0, 0.0}, {3, 0.0, 0.0}};
  const size_t n = sizeof(ordered) / sizeof(ordered[0]);
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = 0; j < n; ++j) {
      SCOPED_TRACE(::testing::Message() << i << " vs " << j);
      EXPECT_EQ(ordered[i] < ordered[j], i < j);
      EXPECT_EQ(ordered[i] == ordered[j], i == j);
    }
  }
  EXPECT_LT(getVersionFromString("2.1.9"), getVersionFromString("2.2"));
  EXPECT_GT(getVersionFromString("10.0"), getVersionFromString("9.9.9"));
}

}  // namespace
