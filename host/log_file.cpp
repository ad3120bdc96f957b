#include "host/log_file.h"

#include <cstdio>

namespace host {

std::string LogFile::errorKey(const char *kind, std::time_t when) {
    if (when == 0)
        when = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&when, &utc);
    char key[96];
    std::snprintf(key, sizeof key, "%s ON %d/%d/%d AT %d:%d", kind, utc.tm_mday, utc.tm_mon + 1, utc.tm_year + 1900,
                  utc.tm_hour, utc.tm_min);
    return key;
}

void LogFile::write(const std::string &section, const std::string &key, const std::string &value) {
    platform::writeProfileString(path_, section, key, value);
}

void LogFile::logRuntimeError(const std::string &message, std::time_t when) {
    if (enabled_)
        write(kErrorLogSection, errorKey("RUNTIMEERROR", when), message);
}

void LogFile::logEngineError(const std::string &text, std::time_t when) {
    if (enabled_)
        write(kErrorLogSection, errorKey("ENGINEERROR", when), text);
}

void LogFile::trace(int position, int code) {
    if (!enabled_)
        return;
    auto written = writtenTrace_.find(position);
    if (written == writtenTrace_.end() || written->second != code)
        pendingTrace_[position] = code;
}

bool LogFile::flushTrace() {
    if (pendingTrace_.empty())
        return true;
    platform::ProfileFile file(path_);
    if (file.load() == platform::ProfileFile::LoadStatus::Unreadable) {
        pendingTrace_.clear();
        return false;
    }
    for (const auto &[position, code] : pendingTrace_)
        file.set(kTraceSection, "PC" + std::to_string(position), std::to_string(code));
    bool ok = file.save();
    // Entries are written once either way: a log that cannot be written loses them.
    for (const auto &[position, code] : pendingTrace_)
        writtenTrace_[position] = code;
    pendingTrace_.clear();
    return ok;
}

} // namespace host
