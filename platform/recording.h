// Recording and replay of a run: every event the system took and every clock reading, in order.
//
//   zorvane-recording 1
//   c 1200 3          three clock readings of 1200 ms
//   n 5               five polls that found no event
//   e keydown 57 0    an event taken (type, a, b)
//
// A replayed run asks for the same readings and events in the same order, so it repeats the
// recorded run exactly; after the end of the recording the live back-end takes over.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {

class Recorder {
  public:
    ~Recorder();
    // Starts writing (to a temporary file beside `path`, renamed into place by finish()).
    bool open(const std::string &path, std::string &error);
    void clock(uint32_t millis);
    void noEvent();
    void event(const Event &event);
    // Flushes and renames the recording into place; also done by the destructor.
    bool finish();

  private:
    void flushRun();
    std::FILE *file_ = nullptr;
    std::string path_;
    char runKind_ = 0; // 'c' or 'n' while repeated entries are being counted
    uint32_t runValue_ = 0;
    uint64_t runCount_ = 0;
};

class Replay {
  public:
    // Reads the whole recording. False with a "file:line: message" error when it is malformed.
    bool load(const std::string &path, std::string &error);
    bool parse(const std::string &text, const std::string &fileName, std::string &error);

    // The next recorded clock reading; false when the recording holds no further readings before
    // its next event.
    bool clock(uint32_t &millis);
    // 1: an event was recorded here; 0: the poll found none; -1: nothing recorded any more.
    int poll(Event &event);
    bool finished() const { return next_ >= entries_.size(); }

  private:
    struct Entry {
        char kind; // 'c', 'n' or 'e'
        uint32_t value = 0;
        uint64_t count = 1;
        Event event;
    };
    std::vector<Entry> entries_;
    size_t next_ = 0;
    uint64_t usedOfNext_ = 0; // repetitions of entries_[next_] already consumed
    void consume();
};

} // namespace platform
