// Windows-style program paths on the host file system.
//
// Programs write paths the way Windows users do: "gfx\Logo.BMP", "C:\Games\Data\level1.txt",
// "..\music". The mapper turns each into a host path:
//  - backslashes and slashes both separate folders;
//  - a drive letter ("C:") maps onto a configurable folder (every drive defaults to the drive root,
//    itself "/" unless $ZORVANE_DRIVE_ROOT names another folder);
//  - each component that does not exist as written matches an existing entry of its folder without
//    regard to letter case (the first in byte order when several match, so the choice is stable);
//  - components that match nothing stay as written, so new files are created with the program's case;
//  - "." is dropped and ".." goes up, never above the drive's folder (for drive paths) or "/".
#pragma once

#include <map>
#include <string>

namespace platform {

class PathMapper {
  public:
    PathMapper();

    void setDriveRoot(const std::string &folder) { driveRoot_ = folder; }
    void setDrive(char letter, const std::string &folder);
    std::string driveFolder(char letter) const;

    // Maps `path` (relative ones against `currentDir`, a host path) to a host path.
    std::string map(const std::string &path, const std::string &currentDir) const;

  private:
    std::string driveRoot_;
    std::map<char, std::string> drives_;
};

// The entry of `folder` whose name equals `name` without regard to case; empty when none.
std::string findCaseInsensitive(const std::string &folder, const std::string &name);

} // namespace platform
