#pragma once

#include <string>
#include <vector>

// Runs a program with arguments and collects what it printed and its status.
struct ProgramRun {
    int exitStatus = -1;
    std::string out;
    std::string err;
};

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& scratchDir);
