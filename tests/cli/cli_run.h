// Runs the command line in-process with captured streams.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli_app.h"

namespace sorvane::testing {

struct CliRun {
  int code = -1;
  std::string out, err;
};

inline CliRun RunCommand(std::vector<std::string> args) {
  args.insert(args.begin(), "sorvane");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  CliRun r;
  r.code = cli::RunCli(static_cast<int>(argv.size()), argv.data(), out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

// `args`, then the words of `line` (split at blanks, no quoting): a command line
// of a case table.
inline CliRun RunWords(std::vector<std::string> args, const std::string& line) {
  std::istringstream words(line);
  for (std::string w; words >> w;) args.push_back(w);
  return RunCommand(std::move(args));
}

}  // namespace sorvane::testing
