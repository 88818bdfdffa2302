#pragma once
#include <cstddef>
#include <string_view>

// The page's files, built into the program so that nothing is fetched from
// elsewhere.
struct PageFile {
  const char* path;  // "/", "/page.js"
  const char* type;  // its Content-Type
  std::string_view body;
};

extern const PageFile kPageFiles[];
extern const std::size_t kPageFileCount;
