#include "platform/recording.h"

#include <cstdlib>
#include <sstream>

#include "platform/files.h"

namespace platform {

constexpr const char *kRecordingHeader = "zorvane-recording 1";

Recorder::~Recorder() {
    finish();
}

bool Recorder::open(const std::string &path, std::string &error) {
    path_ = path;
    file_ = std::fopen((path + ".zvtmp").c_str(), "wb");
    if (!file_) {
        error = "cannot write the recording " + path;
        return false;
    }
    std::fprintf(file_, "%s\n", kRecordingHeader);
    return true;
}

void Recorder::flushRun() {
    if (!file_ || !runKind_)
        return;
    if (runKind_ == 'c')
        std::fprintf(file_, "c %u %llu\n", runValue_, static_cast<unsigned long long>(runCount_));
    else
        std::fprintf(file_, "n %llu\n", static_cast<unsigned long long>(runCount_));
    runKind_ = 0;
    runCount_ = 0;
}

void Recorder::clock(uint32_t millis) {
    if (runKind_ == 'c' && runValue_ == millis) {
        ++runCount_;
        return;
    }
    flushRun();
    runKind_ = 'c';
    runValue_ = millis;
    runCount_ = 1;
}

void Recorder::noEvent() {
    if (runKind_ == 'n') {
        ++runCount_;
        return;
    }
    flushRun();
    runKind_ = 'n';
    runCount_ = 1;
}

void Recorder::event(const Event &e) {
    flushRun();
    if (file_)
        std::fprintf(file_, "e %s %d %d\n", eventTypeName(e.type), e.a, e.b);
}

bool Recorder::finish() {
    if (!file_)
        return false;
    flushRun();
    bool ok = std::fflush(file_) == 0;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    std::string temporary = path_ + ".zvtmp";
    if (!ok || std::rename(temporary.c_str(), path_.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool Replay::load(const std::string &path, std::string &error) {
    std::string text;
    if (!readFile(path, text)) {
        error = "cannot read the recording " + path;
        return false;
    }
    return parse(text, path, error);
}

bool Replay::parse(const std::string &text, const std::string &fileName, std::string &error) {
    entries_.clear();
    next_ = usedOfNext_ = 0;
    std::istringstream lines(text);
    std::string line;
    int lineNumber = 0;
    auto fail = [&](const std::string &message) {
        error = fileName + ":" + std::to_string(lineNumber) + ": " + message;
        return false;
    };
    while (std::getline(lines, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (lineNumber == 1) {
            if (line != kRecordingHeader)
                return fail("not a zorvane recording");
            continue;
        }
        std::istringstream words(line);
        std::string kind, rest;
        if (!(words >> kind))
            continue;
        Entry entry{kind[0]};
        if (kind == "c") {
            unsigned long long value, count;
            if (!(words >> value >> count) || value > UINT32_MAX || count == 0)
                return fail("bad clock entry");
            entry.value = static_cast<uint32_t>(value);
            entry.count = count;
        } else if (kind == "n") {
            unsigned long long count;
            if (!(words >> count) || count == 0)
                return fail("bad no-event entry");
            entry.count = count;
        } else if (kind == "e") {
            std::string type;
            if (!(words >> type >> entry.event.a >> entry.event.b))
                return fail("bad event entry");
            entry.event.type = eventTypeFromName(type);
            if (entry.event.type == EventType::None)
                return fail("unknown event '" + type + "'");
            if ((entry.event.type == EventType::KeyDown || entry.event.type == EventType::KeyUp) &&
                (entry.event.a < 0 || entry.event.a >= kKeyCount))
                return fail("scan code out of range");
        } else {
            return fail("unknown entry '" + kind + "'");
        }
        if (words >> rest)
            return fail("unexpected '" + rest + "'");
        entries_.push_back(entry);
    }
    if (lineNumber == 0)
        return fail("not a zorvane recording");
    return true;
}

void Replay::consume() {
    if (++usedOfNext_ >= entries_[next_].count) {
        ++next_;
        usedOfNext_ = 0;
    }
}

bool Replay::clock(uint32_t &millis) {
    // Polls recorded before this reading were taken by a run that is no longer in step; skip them
    // rather than stall, so a diverging replay still ends.
    while (next_ < entries_.size() && entries_[next_].kind == 'n') {
        ++next_;
        usedOfNext_ = 0;
    }
    if (next_ >= entries_.size() || entries_[next_].kind != 'c')
        return false;
    millis = entries_[next_].value;
    consume();
    return true;
}

int Replay::poll(Event &event) {
    if (next_ >= entries_.size())
        return -1;
    const Entry &entry = entries_[next_];
    if (entry.kind == 'e') {
        event = entry.event;
        consume();
        return 1;
    }
    if (entry.kind == 'n')
        consume();
    return 0;
}

} // namespace platform
