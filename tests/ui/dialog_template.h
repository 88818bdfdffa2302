#pragma once
#include <windows.h>

#include <string>
#include <vector>

// A dialog template as the executable's resources hold it, read back from
// either form (the plain one and the extended one).
struct TemplateItem {
  DWORD style = 0;
  DWORD exStyle = 0;
  int x = 0, y = 0, width = 0, height = 0;
  int id = 0;
  std::string className;  // the predefined classes by name: "Button", "Edit", "Static"...
  std::string text;
};

struct DialogTemplate {
  bool extended = false;
  DWORD style = 0;
  DWORD exStyle = 0;
  int x = 0, y = 0, width = 0, height = 0;
  std::string caption;
  int pointSize = 0;
  int weight = 0;
  bool italic = false;
  std::string typeface;
  std::vector<TemplateItem> items;
};

// Reads template id from this executable's resources; false when it is not
// there or does not parse.
bool LoadDialogTemplate(int id, DialogTemplate* out);
