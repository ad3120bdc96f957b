// The folders and work files the host fixes at start-up.
#pragma once

#include <string>

namespace host {

struct HostPaths {
    std::string startDirectory;   // the current directory when the process started
    std::string executablePath;   // full path of the running executable
    std::string executableFolder; // its folder (SETUP.INI and QX.LOG live here)
    std::string temporaryFolder;  // per-user folder under $TMPDIR
    std::string workFile1;        // scratch files of the 3D, image and sound families
    std::string workFile2;
    std::string waveWorkFile; // deleted at exit
    std::string configFolder; // win.ini and the registry file
    std::string runDirectory; // the current directory once the display is set up
};

// Forms the paths of this process (creating the temporary folder when missing).
HostPaths fixHostPaths();
// The same below explicit folders (tests).
HostPaths hostPathsFor(const std::string &startDirectory, const std::string &executablePath,
                       const std::string &temporaryFolder, const std::string &configFolder);

} // namespace host
