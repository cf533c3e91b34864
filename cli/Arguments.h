// SPDX-License-Identifier: MIT
// Command-line options of a subcommand: "--name value", "--name=value", "-k value", "-kvalue",
// flags, repeated options, and "--" ending the options. Unknown options are usage errors.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace norvex::cli {

struct OptionDef {
  std::string name;    // long name without the dashes
  char shortName = 0;  // 0 when there is none
  bool takesValue = false;
};

class Arguments {
 public:
  Arguments(const std::vector<std::string>& args, const std::vector<OptionDef>& options);

  bool has(const std::string& name) const { return options_.count(name) != 0; }
  // The last value given for the option, or fallback.
  std::string value(const std::string& name, const std::string& fallback = {}) const;
  std::vector<std::string> values(const std::string& name) const;
  const std::vector<std::string>& positional() const { return positional_; }

 private:
  std::map<std::string, std::vector<std::string>> options_;
  std::vector<std::string> positional_;
};

// The options every subcommand that talks to a reader takes.
std::vector<OptionDef> readerOptions(std::vector<OptionDef> more);

}  // namespace norvex::cli
