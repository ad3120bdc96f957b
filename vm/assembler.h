// A small assembler that writes complete ProgramImage bytes from a readable description, so that the
// interpreter, its instructions and the tools can be tested without the compiler.
//
//   using namespace vm::assembly;
//   Assembler a;
//   a.line(1).op(151, {intVar(0), intConst(0)});            // i = 0
//   a.line(2).label("top").op(81, {intVar(0), intVar(0), intConst(1)});
//   a.op(115, {intTemp(0), intVar(0), intConst(10)});
//   a.op(9, {intTemp(0), codePos("done")}).op(6, {codePos("top")});
//   a.label("done");
//   std::vector<uint8_t> image = a.build();                  // the final 0 word is appended
//
// Constants are pooled (one cell per distinct value), variable counts follow the highest variable
// used unless set, owners default to the main program. build() throws std::invalid_argument for an
// unknown label and std::length_error when a cell range overflows.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace vm::assembly {

// Operand index bases of the image format.
constexpr int32_t kCellWordBase = 10000;
constexpr int32_t kDataWordBase = 25000;
constexpr int32_t kLabelWordBase = 35000;
constexpr int32_t kCodeWordBase = 37000;

struct Operand {
    enum class Kind { Word, IntConst, RealConst, StringConst, Label };
    Kind kind = Kind::Word;
    int32_t word = 0;  // Word: the value stored as is
    int32_t intValue = 0;
    float realValue = 0;
    std::string text;  // string constant or label name

    Operand(int32_t plainWord) : word(plainWord) {}  // a plain number: command code, function number...
    Operand(Kind k) : kind(k) {}
};

Operand intTemp(int k);   // cell 0 + k
Operand realTemp(int k);  // cell 1000 + k
Operand strTemp(int k);   // cell 2000 + k
Operand intVar(int k);    // cell 3000 + k
Operand realVar(int k);   // cell 5000 + k
Operand strVar(int k);    // cell 7000 + k
Operand cell(int n);      // any cell by number
Operand intConst(int32_t value);
Operand realConst(float value);
Operand strConst(const std::string& value);
Operand codePos(const std::string& label);  // the code position of a label
Operand codeAt(int index);                  // the code position of a word index
Operand dataPos(int position);              // a DATA position (restore target)
Operand raw(int32_t word);                  // any stored word

enum class VarKind { Int = 0, Real = 1, String = 2 };

class Assembler {
public:
    // Line number given to the words that follow.
    Assembler& line(int sourceLine);
    // Names the position of the next code word.
    Assembler& label(const std::string& name);
    // One instruction: the command code and its operand words.
    Assembler& op(int32_t code, std::initializer_list<Operand> operands = {});
    // Code words without a command (a function header's parameter list, hostile tests...).
    Assembler& words(std::initializer_list<Operand> operands);
    Assembler& word(const Operand& operand);

    Assembler& dataInt(int32_t value);
    Assembler& dataReal(float value);
    Assembler& dataString(const std::string& value);

    // Declares variable counts (header words 8 to 10); at least the highest variable used + 1.
    Assembler& variables(int ints, int reals, int strings);
    Assembler& owner(VarKind kind, int variable, int16_t function);

    // false: build() does not append the final 0 word.
    Assembler& endWithZero(bool on);

    int position() const { return static_cast<int>(code_.size()); }

    std::vector<uint8_t> build() const;

private:
    struct DataItem {
        char type;
        int32_t word;
        std::string text;
    };
    struct CodeWord {
        Operand operand;
        int line;
    };
    std::vector<CodeWord> code_;
    std::map<std::string, int> labels_;
    std::vector<DataItem> data_;
    int line_ = 0;
    int declared_[3] = {0, 0, 0};
    std::map<int, int16_t> owners_[3];
    bool endWithZero_ = true;
};

// Little-endian word access to image bytes, for tests that patch an image.
int32_t readWord(const std::vector<uint8_t>& bytes, size_t wordIndex);
void writeWord(std::vector<uint8_t>& bytes, size_t wordIndex, int32_t value);

}  // namespace vm::assembly
