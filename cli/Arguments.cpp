// SPDX-License-Identifier: MIT
#include "cli/Arguments.h"

#include <algorithm>

#include "cli/CliError.h"

namespace norvex::cli {

namespace {

const OptionDef& findOption(const std::vector<OptionDef>& options, const std::string& word) {
  auto it = std::find_if(options.begin(), options.end(), [&word](const OptionDef& option) {
    return word.starts_with("--") ? option.name == word.substr(2)
                                  : word.size() == 2 && option.shortName == word[1];
  });
  if (it == options.end()) usageError("unknown option " + word);
  return *it;
}

}  // namespace

Arguments::Arguments(const std::vector<std::string>& args, const std::vector<OptionDef>& options) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string word = args[i];
    if (word == "--") {
      positional_.insert(positional_.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                         args.end());
      return;
    }
    // A negative number ("-5") is an argument, not an option: no option name starts with a digit.
    if (word.size() < 2 || word[0] != '-' || (word[1] >= '0' && word[1] <= '9')) {
      positional_.push_back(word);
      continue;
    }
    std::string inlineValue;
    bool hasInline = false;
    if (word.starts_with("--") && word.find('=') != std::string::npos) {
      inlineValue = word.substr(word.find('=') + 1);
      word = word.substr(0, word.find('='));
      hasInline = true;
    } else if (!word.starts_with("--") && word.size() > 2) {
      inlineValue = word.substr(2);
      word = word.substr(0, 2);
      hasInline = true;
    }
    const OptionDef& option = findOption(options, word);
    if (!option.takesValue) {
      if (hasInline) usageError("option --" + option.name + " takes no value");
      options_[option.name].push_back({});
    } else if (hasInline) {
      options_[option.name].push_back(inlineValue);
    } else {
      if (i + 1 >= args.size()) usageError("option --" + option.name + " needs a value");
      options_[option.name].push_back(args[++i]);
    }
  }
}

std::string Arguments::value(const std::string& name, const std::string& fallback) const {
  auto it = options_.find(name);
  return it == options_.end() ? fallback : it->second.back();
}

std::vector<std::string> Arguments::values(const std::string& name) const {
  auto it = options_.find(name);
  return it == options_.end() ? std::vector<std::string>{} : it->second;
}

std::vector<OptionDef> readerOptions(std::vector<OptionDef> more) {
  more.push_back({"reader", 'r', true});
  more.push_back({"product", 0, true});
  more.push_back({"help", 'h', false});
  return more;
}

}  // namespace norvex::cli
