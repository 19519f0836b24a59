#include "program_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <stdexcept>

#include "scratch_files.h"

pid_t startProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& outPath, const std::string& errPath) {
    return startProgram(program, arguments, "", outPath, errPath);
}

pid_t startProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& inPath, const std::string& outPath,
                   const std::string& errPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!inPath.empty()) posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) throw std::runtime_error("cannot start " + program);
    return pid;
}

int waitForProgram(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& scratchDir) {
    const std::string outPath = scratchDir + "/.stdout", errPath = scratchDir + "/.stderr";
    ProgramRun run;
    run.exitStatus = waitForProgram(startProgram(program, arguments, outPath, errPath));
    run.out = readFile(outPath);
    run.err = readFile(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return run;
}
