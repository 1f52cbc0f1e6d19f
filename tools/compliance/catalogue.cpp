// catalogue.cpp - which area each suite of contract checks belongs to, and the catalogue's text.
#include "catalogue.h"

#include <map>
#include <sstream>

namespace compliance {

const std::vector<std::string>& Areas() {
  static const std::vector<std::string> areas{"cards",   "parameters", "live",
                                              "capture", "snap",       "staticmem"};
  return areas;
}

std::string AreaOf(const std::string& suite) {
  // Every suite in checks/ must be named here; the checks program refuses to run otherwise.
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
  const auto found = areas.find(suite);
  return found == areas.end() ? std::string() : found->second;
}

std::string FormatCatalogue(const Libraries& libraries, const std::vector<Check>& checks) {
  std::string text = "video " + libraries.video + "\nvidex " + libraries.videx + "\nsimulator " +
                     (libraries.simulator ? "yes" : "no") + "\n";
  for (const Check& check : checks) {
    text += "check " + check.area + " " + check.name + " " + check.testName + "\n";
  }
  return text;
}

bool ParseCatalogue(const std::string& text, Libraries* libraries, std::vector<Check>* checks) {
  std::istringstream lines(text);
  bool video = false, videx = false, simulator = false;
  for (std::string line; std::getline(lines, line);) {
    const size_t space = line.find(' ');
    if (space == std::string::npos) return false;
    const std::string key = line.substr(0, space), value = line.substr(space + 1);
    if (key == "video") {
      libraries->video = value;
      video = true;
    } else if (key == "videx") {
      libraries->videx = value;
      videx = true;
    } else if (key == "simulator") {
      libraries->simulator = value == "yes";
      simulator = true;
    } else if (key == "check") {
      std::istringstream fields(value);
      Check check;
      if (!(fields >> check.area >> check.name >> check.testName)) return false;
      checks->push_back(std::move(check));
    } else {
      return false;
    }
  }
  return video && videx && simulator && !checks->empty();
}

}  // namespace compliance
