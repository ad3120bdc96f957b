// The compiler on long programs: the generated program of bench/run-programs.sh (assignments,
// one-line ifs, text appends with str$, prints over 1,500 variables) compiled in memory.
//
//   BM_CompileGenerated/N   compileSource() of N lines, vocabulary and texts already loaded
//   BM_VocabularyLoad       reading the built-in vocabulary once (paid by every compile process)
#include <benchmark/benchmark.h>

#include <string>

#include "compiler/compiler.h"
#include "compiler/vocabulary.h"

namespace {

// The same lines as run-programs.sh's `generate`, so the figures compare with its process times.
std::string generatedProgram(int lines) {
    std::string text;
    text.reserve(static_cast<size_t>(lines) * 20);
    for (int i = 0; i < lines; ++i) {
        std::string v = "v" + std::to_string(i % 1500);
        std::string n = std::to_string(i % 1000);
        if (i % 4 == 0)
            text += v + "=" + v + "+" + n + "*2-1\n";
        else if (i % 4 == 1)
            text += "if " + v + ">" + n + " then " + v + "=0\n";
        else if (i % 40 == 2)
            text += "s$=\"t" + n + "\"+str$(" + v + ")\n";
        else if (i % 4 == 2)
            text += "s$=s$+str$(" + v + ")\n";
        else
            text += "print " + v + "\n";
    }
    return text;
}

void BM_CompileGenerated(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    const std::string source = generatedProgram(lines);
    compiler::CompileResult first = compiler::compileSource(source, "generated.qxa");
    if (!first.ok) {
        state.SkipWithError(("the generated program does not compile: " + first.message).c_str());
        return;
    }
    for (auto _ : state) {
        compiler::CompileResult result = compiler::compileSource(source, "generated.qxa");
        benchmark::DoNotOptimize(result.image.data());
    }
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines) * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
    state.counters["image_bytes"] = static_cast<double>(first.image.size());
}
BENCHMARK(BM_CompileGenerated)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_VocabularyLoad(benchmark::State& state) {
    for (auto _ : state) {
        compiler::Vocabulary vocabulary = compiler::Vocabulary::load("");
        benchmark::DoNotOptimize(vocabulary.commands().data());
    }
}
BENCHMARK(BM_VocabularyLoad)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
