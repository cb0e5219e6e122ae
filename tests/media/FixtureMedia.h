// Where the generated test media is: the folder CTest fills before the tests that need it, made
// here on first use when a test binary runs on its own.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <sys/stat.h>

#include "fixtures/FixtureGenerator.h"

namespace kavro::test {

inline const std::string& FixtureFolder() {
  static const std::string folder = KAVRO_FIXTURE_DIR;
  static std::once_flag generated;
  std::call_once(generated, [] {
    struct stat info;
    if (stat((folder + "/fixtures.txt").c_str(), &info) == 0) return;
    std::string error;
    if (!kavro::fixtures::GenerateFixtures(folder, error)) ADD_FAILURE() << "test media: " << error;
  });
  return folder;
}

inline std::string Fixture(const std::string& name) {
  return FixtureFolder() + "/" + name;
}

// A folder of its own for the outputs of one test.
inline std::string OutputFolder() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(test->test_suite_name()) + "_" + test->name();
  for (char& c : name)
    if (c == '/') c = '_'; // parameterised tests have slashes in their names
  const std::string folder = KAVRO_TEST_OUTPUT + name;
  mkdir(folder.c_str(), 0755);
  return folder + "/";
}

} // namespace kavro::test
