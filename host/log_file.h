// QX.LOG in the executable folder: the error log and the interpreter's trace, written in debug mode.
//
// Sections and keys:
//   [ERRORLOG]           RUNTIMEERROR ON d/m/y AT h:m = the composed runtime error message
//                        ENGINEERROR ON d/m/y AT h:m  = the display device's failure text
//   [ZORVANELOOPMIDDLE]  PC<position> = <command code>, one entry per code position reached
//
// Writing a key again replaces it, so two errors logged in the same minute leave one entry. The
// trace is collected in memory and written at the end of every slice and at shutdown (not once per
// instruction: a file rewrite per instruction would make debug runs unusably slow; the file ends up
// the same). Write failures lose entries silently, as the log is only a diagnostic.
#pragma once

#include <ctime>
#include <map>
#include <string>

#include "platform/profile.h"

namespace host {

constexpr const char *kErrorLogSection = "ERRORLOG";
constexpr const char *kTraceSection = "ZORVANELOOPMIDDLE";

class LogFile {
  public:
    explicit LogFile(std::string path) : path_(std::move(path)) {}

    const std::string &path() const { return path_; }
    void setEnabled(bool debugMode) { enabled_ = debugMode; }
    bool enabled() const { return enabled_; }

    // `when` is a UTC time; 0 = now.
    void logRuntimeError(const std::string &message, std::time_t when = 0);
    void logEngineError(const std::string &text, std::time_t when = 0);
    void trace(int position, int code);
    // Writes collected trace entries; true when there was nothing to write or the write succeeded.
    bool flushTrace();

    static std::string errorKey(const char *kind, std::time_t when);

  private:
    void write(const std::string &section, const std::string &key, const std::string &value);
    std::string path_;
    bool enabled_ = false;
    std::map<int, int> pendingTrace_;
    std::map<int, int> writtenTrace_;
};

} // namespace host
