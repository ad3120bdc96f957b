// Shared by the interpreter's unit tests: a scripted platform and a few tiny instructions at codes
// the core families leave free, installed straight into the table so they never clash with them.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "vm/assembler.h"
#include "vm/machine.h"

namespace vm::testing {

class FakePlatform : public platform::Platform {
public:
    uint32_t clock = 0;
    uint64_t instructions = 0;
    uint64_t instructionsPerMs = 0;  // 0: the clock moves only when a test moves it
    bool keys[platform::kKeyCount] = {};
    bool quit = false;
    bool clipboardWorks = true;
    std::string clipboard;

    std::string backendName() const override { return "fake"; }
    bool headless() const override { return true; }
    uint32_t millis() override { return clock; }
    void addInstructions(uint64_t count) override {
        instructions += count;
        if (instructionsPerMs) clock = static_cast<uint32_t>(instructions / instructionsPerMs);
    }
    void waitUntil(uint32_t deadline) override { clock = deadline > clock ? deadline : clock; }
    bool pollEvent(platform::Event&) override { return false; }
    bool keyDown(int scanCode) override { return scanCode >= 0 && scanCode < platform::kKeyCount && keys[scanCode]; }
    int mouseX() const override { return 0; }
    int mouseY() const override { return 0; }
    int mouseButtons() const override { return 0; }
    void postQuit() override { quit = true; }
    bool quitPosted() const override { return quit; }
    bool setClipboardText(const std::string& text) override {
        if (!clipboardWorks) return false;
        clipboard = text;
        return true;
    }
    std::string clipboardText() override { return clipboard; }
    void present(const uint32_t*) override {}
    uint64_t framesPresented() const override { return 0; }
    bool messageBox(const std::string&, const std::string&, platform::MessageIcon) override { return true; }
    void setTitle(const std::string&) override {}
};

// Test instructions (operands in brackets):
enum TestCode {
    kSet = 9701,         // [int d, int a]        d = a
    kAdd = 9702,         // [int d, int a]        d = d + a
    kJumpIfLess = 9703,  // [int a, int b, t]     jump to t when a < b
    kJump = 9704,        // [t]                   jump to t
    kRaise = 9705,       // [int code]            raise(code), then move past the operand
    kRaiseLate = 9706,   // [int code]            move past the operand, then raise(code)
    kThrow = 9707,       // []                    throws
    kYield = 9708,       // []                    ends the slice
    kCount = 9709,       // []                    counts executions in cell 0; ends the slice at 5000
    kRecoverable = 9710, // [int code]            raiseRecoverable(code)
    kEnd = 9711,         // []                    ends the program normally
};

void installTestInstructions(Machine& m);

// A machine with the test instructions and the image loaded and reset (fails the test otherwise).
std::unique_ptr<Machine> machineWith(const std::vector<uint8_t>& image);

// Runs slices until the program posts its quit message (at most `maxSlices`); returns the slices run.
int runToEnd(Machine& m, int maxSlices = 1000);

}  // namespace vm::testing
