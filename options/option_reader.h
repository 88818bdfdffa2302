#pragma once
#include <functional>
#include <string>
#include <vector>

// Reads a program's options from a table of the options it takes, one row
// each. A long option takes its value as "--name VALUE" or "--name=VALUE"; a
// short one ("-q") stands alone. Mistakes are said as "--name needs a value",
// "--name takes no value", "--name is given twice" and "unknown option 'X'".

// Takes an option's value; when the value will not do, returns false and says
// why in complaint, which follows the option's name in the message
// ("wants a count from 0 to 4096, not '-1'").
using ValueReader = std::function<bool(const std::string& value, std::string* complaint)>;

struct Option {
  std::string name;        // "--port"
  std::string short_name;  // "-q"; empty when there is none
  bool takes_value = false;
  bool once = false;  // saying it twice is a mistake, not a change of mind
  ValueReader take;   // given "" when the option takes no value
};

// Sets *set when given.
Option Flag(const std::string& name, const std::string& short_name, bool* set);
// Keeps the value as given; an empty value counts as none.
Option Value(const std::string& name, std::string* set);
// A value that read turns into what the program keeps.
Option Value(const std::string& name, ValueReader read);
// The same option, refused when given a second time.
Option Once(Option option);

// Reads args by the table and stops at the first mistake, said in error.
// What is no option goes to operands: an argument that does not begin with
// "-", a lone "-", and everything after "--". Without operands every argument
// has to be an option. When the mistake is an argument the table does not
// know, that argument is also put in unknown, where one is given.
bool ReadOptions(const std::vector<std::string>& args, const std::vector<Option>& table,
                 std::vector<std::string>* operands, std::string* error,
                 std::string* unknown = nullptr);
