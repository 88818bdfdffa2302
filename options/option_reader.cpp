#include "options/option_reader.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace {

bool IsOperand(const std::string& arg) { return arg.empty() || arg[0] != '-' || arg == "-"; }

// Gives the option the value it is given with, "--name=value" or the argument
// after it.
bool Take(const Option& option, bool given_before, const std::optional<std::string>& inline_value,
          const std::vector<std::string>& args, std::size_t* i, std::string* complaint) {
  if (!option.takes_value && inline_value) {
    *complaint = "takes no value";
    return false;
  }
  if (option.once && given_before) {
    *complaint = "is given twice";
    return false;
  }
  std::string value;
  if (inline_value) {
    value = *inline_value;
  } else if (option.takes_value) {
    if (*i + 1 >= args.size()) {
      *complaint = "needs a value";
      return false;
    }
    value = args[++*i];
  }
  return option.take(value, complaint);
}

}  // namespace

Option Flag(const std::string& name, const std::string& short_name, bool* set) {
  return {name, short_name, false, false, [set](const std::string&, std::string*) {
            *set = true;
            return true;
          }};
}

Option Value(const std::string& name, std::string* set) {
  return Value(name, [set](const std::string& value, std::string* complaint) {
    if (value.empty()) {
      *complaint = "needs a value";
      return false;
    }
    *set = value;
    return true;
  });
}

Option Value(const std::string& name, ValueReader read) {
  return {name, "", true, false, std::move(read)};
}

Option Once(Option option) {
  option.once = true;
  return option;
}

bool ReadOptions(const std::vector<std::string>& args, const std::vector<Option>& table,
                 std::vector<std::string>* operands, std::string* error,
                 std::string* unknown) {
  std::vector<bool> given(table.size(), false);
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (operands != nullptr && (options_ended || IsOperand(arg))) {
      operands->push_back(arg);
      continue;
    }
    if (operands != nullptr && arg == "--") {
      options_ended = true;  // what follows are operands, even "-x"
      continue;
    }

    std::string name = arg;
    std::optional<std::string> inline_value;
    const std::size_t equals = arg.find('=');
    if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
      name = arg.substr(0, equals);
      inline_value = arg.substr(equals + 1);
    }
    const auto option = std::find_if(table.begin(), table.end(), [&name](const Option& row) {
      return name == row.name || (!row.short_name.empty() && name == row.short_name);
    });
    if (option == table.end()) {
      *error = "unknown option '" + arg + "'";
      if (unknown != nullptr) *unknown = arg;
      return false;
    }
    const std::size_t row = static_cast<std::size_t>(option - table.begin());
    std::string complaint;
    if (!Take(*option, given[row], inline_value, args, &i, &complaint)) {
      *error = option->name + " " + complaint;
      return false;
    }
    given[row] = true;
  }
  return true;
}
