#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Runs a program with arguments and collects what it printed and its status.
struct ProgramRun {
    int exitStatus = -1;  // 1000 + the signal number when a signal ended it
    std::string out;
    std::string err;
};

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& scratchDir);

// Starts a program with its standard output and error going to the given files (created
// or truncated) and returns at once.
pid_t startProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& outPath, const std::string& errPath);
// The same with standard input read from `inPath` (empty: the caller's own).
pid_t startProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& inPath, const std::string& outPath,
                   const std::string& errPath);
// Waits for a started program; returns its status as ProgramRun::exitStatus gives it.
int waitForProgram(pid_t pid);
