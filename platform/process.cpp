#include "platform/process.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>    // open for the output files
#include <sys/wait.h> // waitpid
#include <thread>
#include <unistd.h> // fork, exec

#include "platform/files.h"

namespace platform {

ProcessResult runProcess(const std::vector<std::string> &arguments, const std::string &workingFolder,
                         const std::vector<std::string> &environment, int timeoutSeconds) {
    ProcessResult result;
    if (arguments.empty())
        return result;
    std::string folder = temporaryFolder();
    if (folder.empty())
        folder = "/tmp";
    std::string stem = folder + "/process-" + std::to_string(::getpid()) + "-" +
                       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    std::string outPath = stem + ".out", errPath = stem + ".err";

    std::vector<char *> argv;
    for (const auto &a : arguments)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);

    pid_t child = ::fork();
    if (child < 0)
        return result;
    if (child == 0) {
        int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0)
            ::_exit(127);
        if (!workingFolder.empty() && ::chdir(workingFolder.c_str()) != 0)
            ::_exit(127);
        for (const auto &entry : environment)
            ::putenv(const_cast<char *>(entry.c_str()));
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    for (;;) {
        pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child)
            break;
        if (done < 0)
            return result;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    readFile(outPath, result.out);
    readFile(errPath, result.err);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return result;
}

} // namespace platform
