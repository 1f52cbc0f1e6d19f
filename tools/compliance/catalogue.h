// catalogue.h - the contract checks by area of the capture library, and the libraries they run
// against, as the checks program tells the runner.
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

// The libraries the loader gave the checks program, and whether both are the simulator's.
struct Libraries {
  std::string video;
  std::string videx;
  bool simulator = false;
};

// The areas in the order they are run and listed.
const std::vector<std::string>& Areas();

// The area of a GoogleTest suite of checks, or an empty text for a suite that has none.
std::string AreaOf(const std::string& suite);

// The catalogue as text, one item a line ("video PATH", "videx PATH", "simulator yes|no",
// "check AREA NAME TEST"), and back. ParseCatalogue returns false for a text that is not one.
std::string FormatCatalogue(const Libraries& libraries, const std::vector<Check>& checks);
bool ParseCatalogue(const std::string& text, Libraries* libraries, std::vector<Check>* checks);

}  // namespace compliance
