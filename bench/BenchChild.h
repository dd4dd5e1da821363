#pragma once
// Timing a command-line tool against our own code in the same run: one run of a command as a
// child process, its output thrown away, with the processor and wall time it took.
#include <string>
#include <vector>

struct TChildCost {
  double Processor = 0;  // user and system seconds of the child
  double Wall = 0;
};

// False when the command could not start or failed.
bool RunChild(std::vector<std::string> arguments, TChildCost& cost);

// The wall clock in seconds from an arbitrary start.
double WallSeconds();
// The processor seconds of this process, all its threads, from an arbitrary start.
double ProcessSeconds();
