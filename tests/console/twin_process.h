// Runs webapi-run as a process of its own and collects what it wrote and how it ended.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace webapitest::testing {

struct Finished {
  int status = -1;  // the exit status; -1 when it did not exit in time or was killed
  std::string out, err;
};

struct Launch {
  std::vector<std::string> arguments;       // after the program's name
  std::string input;                        // standard input, then its end
  std::map<std::string, std::string> environment;  // added to this process's own
  bool terminal = false;                    // standard error on a terminal (a pseudo-terminal)
  int signal = 0;                           // sent to the program 700 ms after its start
};

// Waits at most 60 seconds, then kills the program.
Finished RunProgram(const std::string& program, const Launch& launch);

}  // namespace webapitest::testing
