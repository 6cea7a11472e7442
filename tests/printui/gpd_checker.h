// A GPD reader of our own, for the tests: it checks a model description against the GPD
// language as Microsoft documents it for Unidrv, so that a misspelt keyword, a stray
// brace or a default that names no option fails a test here and not on a customer's
// Windows.
//
// What it checks:
// - syntax: entries "*Keyword: value", bodies in balanced braces, quoted strings with
//   <hex> bytes, command arguments %d{...} on the standard variables, "*%" comments;
// - every keyword is one the GPD language knows where it stands (root, feature, option,
//   command, *switch/*case), spelt and cased as documented;
// - the required root entries: *GPDSpecVersion "1.0" first of all, *GPDFileName (the
//   file's own name), *ModelName, *MasterUnits, *PrinterType; the *Include of the
//   system's standard names (StdNames.gpd), which every =NAME macro needs;
// - the features the driver's user interface needs (PaperSize, Resolution, InputBin,
//   Orientation); every *DefaultOption names an option of its feature; every feature and
//   option has a display name; paper sizes fit their page; resolutions fit the master
//   units; the commands Unidrv requires are there, with *Order where one is needed and
//   no two features sharing a sequence number;
// - our own rule: every command that sends bytes is explained by a "*%" comment right
//   above it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace gpd {

struct Problem {
    int line = 0;  // 0 for the file as a whole
    std::string message;
};

// The problems of a GPD file's text; none for a sound file. fileName is the name the
// file ships under (checked against *GPDFileName).
std::vector<Problem> Check(std::string_view text, std::string_view fileName);

// "line 12: ..." lines, for test messages.
std::string Describe(const std::vector<Problem>& problems);

}  // namespace gpd
