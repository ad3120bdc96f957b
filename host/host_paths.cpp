#include "host/host_paths.h"

#include "platform/files.h"

namespace host {

HostPaths hostPathsFor(const std::string &startDirectory, const std::string &executablePath,
                       const std::string &temporaryFolder, const std::string &configFolder) {
    HostPaths p;
    p.startDirectory = startDirectory;
    p.executablePath = executablePath;
    p.executableFolder = platform::folderOf(executablePath);
    p.temporaryFolder = temporaryFolder;
    p.workFile1 = temporaryFolder + "/workfile.tmp";
    p.workFile2 = temporaryFolder + "/workfil2.tmp";
    p.waveWorkFile = temporaryFolder + "/workfile.wav";
    p.configFolder = configFolder;
    p.runDirectory = startDirectory;
    return p;
}

HostPaths fixHostPaths() {
    std::string temporary = platform::temporaryFolder();
    // Without a private temporary folder the work files fall back to the start directory's.
    if (temporary.empty())
        temporary = platform::currentDirectory();
    return hostPathsFor(platform::currentDirectory(), platform::executablePath(), temporary, platform::configFolder());
}

} // namespace host
