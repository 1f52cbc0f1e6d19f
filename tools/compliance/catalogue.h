// catalogue.h - the contract checks compiled into this program, by area of the capture library.
#pragma once

#include <string>
#include <vector>

namespace compliance {

// One contract check: its area, the name shown ("area.Check") and the GoogleTest name that runs
// it ("Suite.Check").
struct Check {
  std::string area;
  std::string name;
  std::string testName;
};

// The areas in the order they are run and listed.
const std::vector<std::string>& Areas();

// Every registered check, grouped by area in the order of Areas(). A test suite that belongs to
// no area, or two checks of one area with the same name, is a mistake in this program: `error`
// then says which and the list is empty.
std::vector<Check> Catalogue(std::string* error);

}  // namespace compliance
