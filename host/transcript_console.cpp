#include "host/transcript_console.h"

#include <unistd.h>

namespace host {

TranscriptConsole::~TranscriptConsole() {
    finish();
}

bool TranscriptConsole::openFile(const std::string &path, std::string &error) {
    path_ = path;
    file_ = std::fopen((path + ".zvtmp").c_str(), "wb");
    if (!file_)
        error = "cannot write the console transcript " + path;
    return file_ != nullptr;
}

void TranscriptConsole::emit(const std::string &bytes) {
    std::FILE *out = file_ ? file_ : stdout;
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fflush(out);
}

void TranscriptConsole::print(const std::string &text, bool stayOnLine, bool, bool) {
    size_t x = static_cast<size_t>(cursorX_);
    if (line_.size() < x)
        line_.resize(x, ' ');
    line_.replace(x, std::min(text.size(), line_.size() - x), text);
    cursorX_ = static_cast<int>(x + text.size());
    if (!stayOnLine) {
        emit(line_ + "\n");
        line_.clear();
        cursorX_ = 0;
    }
}

void TranscriptConsole::erase(int startX, int length) {
    if (startX < 0 || length <= 0 || static_cast<size_t>(startX) >= line_.size())
        return;
    size_t end = std::min(line_.size(), static_cast<size_t>(startX) + static_cast<size_t>(length));
    if (end == line_.size())
        line_.resize(static_cast<size_t>(startX));
    else
        line_.replace(static_cast<size_t>(startX), end - startX, end - startX, ' ');
}

bool TranscriptConsole::finish() {
    if (finished_)
        return true;
    finished_ = true;
    if (!line_.empty())
        emit(line_);
    line_.clear();
    if (!file_)
        return true;
    bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    std::string temporary = path_ + ".zvtmp";
    // The old transcript is removed before the new one takes its name: ext4 writes a file renamed
    // over another one out to disk at once, which costs a short run more than the run itself. The
    // transcript is output each run makes afresh, and the new one is complete before the old goes.
    if (ok)
        ::unlink(path_.c_str());
    if (!ok || std::rename(temporary.c_str(), path_.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace host
