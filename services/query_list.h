// The query list: one shared list of 512 entries through which the enumeration commands (display
// modes, cards, fonts, game controllers, files, drives, limbs) hand their results to the program,
// and the common commands that clear it and read its entries. It lives for the whole process and is
// emptied at every program start.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vm {
struct Machine;
}

namespace services {

class QueryList {
  public:
    static constexpr int kCapacity = 512;

    struct Entry {
        int32_t values[4] = {-1, -1, -1, -1};
        std::string text; // at most 255 characters
    };

    QueryList() = default;

    // Every value -1, every text empty, count 0, the three flags false.
    void clear();
    // Starts a new result: the count goes back to 0 and the flags are set as the filler says.
    void begin(bool hasValues, bool hasText);
    // Adds an entry after the last one; false (and nothing added) when the list is full.
    bool add(const std::string &text, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0);
    // The enumeration succeeded: entries may be read.
    void setFilled(bool filled) { filled_ = filled; }

    int count() const { return count_; }
    bool filled() const { return filled_; }
    bool hasValues() const { return hasValues_; }
    bool hasText() const { return hasText_; }
    // Entry 1 is the first; an entry never written since the last clear() reads as -1 and "".
    const Entry &entry(int number) const;

  private:
    // Entries are made as fillers first reach them: most programs never fill the list, and making
    // all 512 at every start would bring six pages into memory for nothing. count_ <= size().
    std::vector<Entry> entries_;
    int count_ = 0;
    bool filled_ = false;
    bool hasValues_ = false;
    bool hasText_ = false;
};

// The process's query list.
QueryList &queryList();

// Installs the list's commands and empties the list at every program start.
void registerQueryListCommands(vm::Machine &m);

} // namespace services
