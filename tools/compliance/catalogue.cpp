// catalogue.cpp - which area each suite of contract checks belongs to.
#include "catalogue.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace compliance {

namespace {

// GoogleTest suite -> area. Every suite in checks/ must be named here.
const std::map<std::string, std::string>& SuiteAreas() {
  static const std::map<std::string, std::string> areas{
      {"Cards", "cards"},
      {"Params", "parameters"},
      {"Faults", "parameters"},
      {"Live", "live"},
      {"Exit", "live"},
      {"Capture", "capture"},
      {"ReadBack", "capture"},
      {"TransformKnownPixels", "capture"},
      {"TransformStoredMode", "capture"},
      {"TransformWideRows", "capture"},
      {"TransformBadArguments", "capture"},
      {"Snap", "snap"},
      {"ReservationTest", "staticmem"},
      {"LockRangeTest", "staticmem"},
      {"ContentsTest", "staticmem"},
      {"SecondProcessTest", "staticmem"},
      {"ThreadedTest", "staticmem"},
  };
  return areas;
}

}  // namespace

const std::vector<std::string>& Areas() {
  static const std::vector<std::string> areas{"cards",   "parameters", "live",
                                              "capture", "snap",       "staticmem"};
  return areas;
}

std::vector<Check> Catalogue(std::string* error) {
  std::map<std::string, std::vector<Check>> byArea;
  std::set<std::string> names;
  const testing::UnitTest& unit = *testing::UnitTest::GetInstance();
  for (int s = 0; s < unit.total_test_suite_count(); ++s) {
    const testing::TestSuite& suite = *unit.GetTestSuite(s);
    const auto area = SuiteAreas().find(suite.name());
    if (area == SuiteAreas().end()) {
      *error = std::string("the check suite ") + suite.name() + " belongs to no area";
      return {};
    }
    for (int t = 0; t < suite.total_test_count(); ++t) {
      const testing::TestInfo& test = *suite.GetTestInfo(t);
      Check check{area->second, area->second + "." + test.name(),
                  std::string(suite.name()) + "." + test.name()};
      if (!names.insert(check.name).second) {
        *error = "two checks are named " + check.name;
        return {};
      }
      byArea[check.area].push_back(std::move(check));
    }
  }
  std::vector<Check> checks;
  for (const std::string& area : Areas()) {
    for (Check& check : byArea[area]) checks.push_back(std::move(check));
  }
  return checks;
}

}  // namespace compliance
