// The interpreter's dispatch path: whole slices of small loops through the real handler table.
//
//   empty loop:      top: loop top                                  (code 6)
//   arithmetic loop: top: i = i + 1; t = i < n; if t else done; loop top    (81, 115, 1, 6)
//
// Each benchmark iteration runs one timed slice. "dispatch/s" counts trips through the loop (the
// interpreter's instruction count); "loops/s" counts passes through the arithmetic loop's body.
#include <benchmark/benchmark.h>

#include <chrono>

#include "platform/platform.h"
#include "vm/assembler.h"
#include "vm/machine.h"

using namespace vm;
using namespace vm::assembly;

namespace {

// Stand-ins with the core instructions' operand layout, used only when the core families are not
// registered in this build.
void loopJump(Machine& m) { m.pc = &m.program.code[m.pc[0].target]; }
void addInt(Machine& m) {
    const Op* p = m.pc;
    p[0].cell->i = static_cast<int32_t>(static_cast<uint32_t>(p[1].cell->i) + static_cast<uint32_t>(p[2].cell->i));
    m.pc = p + 3;
}
void lessInt(Machine& m) {
    const Op* p = m.pc;
    p[0].cell->i = p[1].cell->i < p[2].cell->i;
    m.pc = p + 3;
}
void ifJump(Machine& m) {
    const Op* p = m.pc;
    m.pc = p[0].cell->i == 0 ? &m.program.code[p[1].target] : p + 2;
}

std::unique_ptr<Machine> machineFor(const Assembler& a) {
    auto m = createMachine();
    const std::pair<int, Handler> standIns[] = {{6, &loopJump}, {81, &addInt}, {115, &lessInt}, {1, &ifJump}};
    for (auto [code, handler] : standIns)
        if (!hasHandler(*m, code)) setHandler(*m, code, handler);
    std::vector<uint8_t> image = a.build();
    if (!loadImage(*m, image.data(), image.size())) return nullptr;
    resetForRun(*m);
    runSlice(*m);  // the first slice after a reset only clears the end flag
    return m;
}

Assembler emptyLoop() {
    Assembler a;
    a.label("top").op(6, {codePos("top")});
    return a;
}

Assembler arithmeticLoop() {
    Assembler a;
    a.label("top").op(81, {intVar(0), intVar(0), intConst(1)});
    a.op(115, {intTemp(0), intVar(0), intConst(2000000000)});
    a.op(1, {intTemp(0), codePos("done")});
    a.op(6, {codePos("top")});
    a.label("done");
    return a;
}

void runSlices(benchmark::State& state, const Assembler& program) {
    auto m = machineFor(program);
    if (!m) {
        state.SkipWithError("the program did not load");
        return;
    }
    uint64_t before = m->instructionsExecuted;
    int32_t loopsBefore = m->cells[kIntVarBase].i;
    for (auto _ : state) {
        runSlice(*m);
        if (m->quitPosted) {
            state.SkipWithError("the program ended");
            return;
        }
    }
    // Dispatches: an instruction run together with the one before it on the fast path counts once.
    state.counters["dispatch/s"] =
        benchmark::Counter(static_cast<double>(m->instructionsExecuted - before), benchmark::Counter::kIsRate);
    if (m->cells[kIntVarBase].i != loopsBefore)
        state.counters["loops/s"] =
            benchmark::Counter(static_cast<double>(m->cells[kIntVarBase].i - loopsBefore), benchmark::Counter::kIsRate);
}

void BM_EmptyLoop(benchmark::State& state) { runSlices(state, emptyLoop()); }
void BM_ArithmeticLoop(benchmark::State& state) { runSlices(state, arithmeticLoop()); }

// A platform whose clock is the wall clock, to measure how far a timed slice overruns 33 ms.
class WallClock : public platform::Platform {
public:
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::string backendName() const override { return "bench"; }
    bool headless() const override { return true; }
    uint32_t millis() override {
        return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - start)
                                         .count());
    }
    void addInstructions(uint64_t) override {}
    void waitUntil(uint32_t) override {}
    bool pollEvent(platform::Event&) override { return false; }
    bool keyDown(int) override { return false; }
    int mouseX() const override { return 0; }
    int mouseY() const override { return 0; }
    int mouseButtons() const override { return 0; }
    void postQuit() override {}
    bool quitPosted() const override { return false; }
    bool setClipboardText(const std::string&) override { return true; }
    std::string clipboardText() override { return {}; }
    void present(const uint32_t*) override {}
    uint64_t framesPresented() const override { return 0; }
    bool messageBox(const std::string&, const std::string&, platform::MessageIcon) override { return true; }
    void setTitle(const std::string&) override {}
};

// Wall time of one timed slice of the arithmetic loop (the budget is 33 ms).
void BM_TimedSliceLength(benchmark::State& state) {
    auto m = machineFor(arithmeticLoop());
    WallClock clock;
    m->platform = &clock;
    for (auto _ : state) runSlice(*m);
    state.SetLabel("slice wall time; budget 33 ms");
}

}  // namespace

BENCHMARK(BM_EmptyLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArithmeticLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimedSliceLength)->Unit(benchmark::kMillisecond)->Iterations(30);

BENCHMARK_MAIN();
