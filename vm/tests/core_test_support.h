// Shared by the core instruction tests: a console that records what reaches it, and running a
// hand-assembled program to its end.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "vm/assembler.h"
#include "vm/machine.h"
#include "vm/tests/vm_test_support.h"

namespace vm::testing {

// Records every call as one line: "print <text>|<stay>|<opaque>|<wrap>", "erase <x> <length>",
// "cursor <x>". The cursor moves one unit per character.
class RecordingConsole : public Console {
public:
    std::vector<std::string> calls;
    int x = 0;

    void print(const std::string& text, bool stayOnLine, bool opaque, bool wrap) override {
        calls.push_back("print " + text + "|" + flag(stayOnLine) + flag(opaque) + flag(wrap));
        x = stayOnLine ? x + static_cast<int>(text.size()) : 0;
    }
    void erase(int startX, int length) override {
        calls.push_back("erase " + std::to_string(startX) + " " + std::to_string(length));
    }
    int cursorX() const override { return x; }
    void setCursorX(int newX) override {
        x = newX;
        calls.push_back("cursor " + std::to_string(newX));
    }
    // Only the printed texts, in order.
    std::vector<std::string> printed() const {
        std::vector<std::string> out;
        for (const std::string& c : calls) {
            if (c.rfind("print ", 0) == 0) out.push_back(c.substr(6, c.rfind('|') - 6));
        }
        return out;
    }

private:
    static std::string flag(bool on) { return on ? "1" : "0"; }
};

struct RunOptions {
    bool standalone = false;
    Console* console = nullptr;
    int maxSlices = 1000;
};

// Loads the program, runs it until it ends and returns the machine for inspection.
inline std::unique_ptr<Machine> run(const assembly::Assembler& a, RunOptions options = {}) {
    auto m = machineWith(a.build());
    m->standaloneRun = options.standalone;
    m->console = options.console;
    runToEnd(*m, options.maxSlices);
    return m;
}

inline int32_t intVarValue(const Machine& m, int k) { return m.cells[kIntVarBase + k].i; }
inline float realVarValue(const Machine& m, int k) { return m.cells[kRealVarBase + k].f; }
inline std::string strVarValue(const Machine& m, int k) { return text(m.cells[kStringVarBase + k]); }

}  // namespace vm::testing
