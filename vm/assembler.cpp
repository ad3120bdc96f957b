#include "vm/assembler.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "vm/machine.h"

namespace vm::assembly {

namespace {

Operand cellOperand(int cellNumber) { return Operand(kCellWordBase + cellNumber); }

void appendWord(std::vector<uint8_t>& out, int32_t value) {
    uint32_t u = static_cast<uint32_t>(value);
    for (int b = 0; b < 4; ++b) out.push_back(static_cast<uint8_t>(u >> (8 * b)));
}

int32_t floatBits(float f) {
    int32_t w;
    std::memcpy(&w, &f, 4);
    return w;
}

// Bytes appended zero-padded to whole words.
void appendPadded(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes, size_t words) {
    size_t start = out.size();
    out.insert(out.end(), bytes.begin(), bytes.end());
    out.resize(start + words * 4, 0);
}

}  // namespace

Operand intTemp(int k) { return cellOperand(kIntTempBase + k); }
Operand realTemp(int k) { return cellOperand(kRealTempBase + k); }
Operand strTemp(int k) { return cellOperand(kStringTempBase + k); }
Operand intVar(int k) { return cellOperand(kIntVarBase + k); }
Operand realVar(int k) { return cellOperand(kRealVarBase + k); }
Operand strVar(int k) { return cellOperand(kStringVarBase + k); }
Operand cell(int n) { return cellOperand(n); }
Operand intConst(int32_t value) {
    Operand o(Operand::Kind::IntConst);
    o.intValue = value;
    return o;
}
Operand realConst(float value) {
    Operand o(Operand::Kind::RealConst);
    o.realValue = value;
    return o;
}
Operand strConst(const std::string& value) {
    Operand o(Operand::Kind::StringConst);
    o.text = value;
    return o;
}
Operand codePos(const std::string& label) {
    Operand o(Operand::Kind::Label);
    o.text = label;
    return o;
}
Operand codeAt(int index) { return Operand(kCodeWordBase + index); }
Operand dataPos(int position) { return Operand(kDataWordBase + position); }
Operand raw(int32_t word) { return Operand(word); }

Assembler& Assembler::line(int sourceLine) {
    line_ = sourceLine;
    return *this;
}

Assembler& Assembler::label(const std::string& name) {
    labels_[name] = position();
    return *this;
}

Assembler& Assembler::op(int32_t code, std::initializer_list<Operand> operands) {
    code_.push_back({Operand(code), line_});
    return words(operands);
}

Assembler& Assembler::words(std::initializer_list<Operand> operands) {
    for (const Operand& o : operands) word(o);
    return *this;
}

Assembler& Assembler::word(const Operand& operand) {
    code_.push_back({operand, line_});
    return *this;
}

Assembler& Assembler::dataInt(int32_t value) {
    data_.push_back({'l', value, {}});
    return *this;
}

Assembler& Assembler::dataReal(float value) {
    data_.push_back({'f', floatBits(value), {}});
    return *this;
}

Assembler& Assembler::dataString(const std::string& value) {
    data_.push_back({'s', 0, value});
    return *this;
}

Assembler& Assembler::variables(int ints, int reals, int strings) {
    declared_[0] = ints;
    declared_[1] = reals;
    declared_[2] = strings;
    return *this;
}

Assembler& Assembler::owner(VarKind kind, int variable, int16_t function) {
    owners_[static_cast<int>(kind)][variable] = function;
    return *this;
}

Assembler& Assembler::endWithZero(bool on) {
    endWithZero_ = on;
    return *this;
}

std::vector<uint8_t> Assembler::build() const {
    std::vector<CodeWord> code = code_;
    if (endWithZero_) code.push_back({Operand(0), code_.empty() ? line_ : code_.back().line});

    // Constant pools in order of first use, and the variables referenced.
    std::vector<int32_t> ints;
    std::vector<int32_t> reals;  // bit patterns
    std::vector<std::string> strings;
    auto slotOf = [](auto& pool, const auto& value) {
        auto it = std::find(pool.begin(), pool.end(), value);
        if (it != pool.end()) return static_cast<int>(it - pool.begin());
        pool.push_back(value);
        return static_cast<int>(pool.size() - 1);
    };
    int counts[3] = {declared_[0], declared_[1], declared_[2]};
    for (int k = 0; k < 3; ++k)
        if (!owners_[k].empty()) counts[k] = std::max(counts[k], owners_[k].rbegin()->first + 1);

    std::vector<int32_t> words;
    for (const CodeWord& w : code) {
        const Operand& o = w.operand;
        int32_t value = 0;
        switch (o.kind) {
            case Operand::Kind::Word:
                value = o.word;
                for (int k = 0; k < 3; ++k) {
                    int base = kCellWordBase + kIntVarBase + 2000 * k;
                    if (value >= base && value < base + 2000) counts[k] = std::max(counts[k], value - base + 1);
                }
                break;
            case Operand::Kind::IntConst:
                value = kCellWordBase + kIntConstBase + slotOf(ints, o.intValue);
                break;
            case Operand::Kind::RealConst:
                value = kCellWordBase + kRealConstBase + slotOf(reals, floatBits(o.realValue));
                break;
            case Operand::Kind::StringConst:
                value = kCellWordBase + kStringConstBase + slotOf(strings, o.text);
                break;
            case Operand::Kind::Label: {
                auto it = labels_.find(o.text);
                if (it == labels_.end()) throw std::invalid_argument("unknown label: " + o.text);
                value = kCodeWordBase + it->second;
                break;
            }
        }
        words.push_back(value);
    }
    if (ints.size() > 2000 || reals.size() > 2000 || strings.size() > 2000)
        throw std::length_error("more than 2000 constants of one kind");
    if (data_.size() > 10000) throw std::length_error("more than 10000 DATA items");

    std::vector<uint8_t> out(1024 * 4, 0);
    auto header = [&out](int index, int32_t value) {
        uint32_t u = static_cast<uint32_t>(value);
        for (int b = 0; b < 4; ++b) out[index * 4 + b] = static_cast<uint8_t>(u >> (8 * b));
    };
    auto wordCount = [&out] { return static_cast<int32_t>(out.size() / 4); };

    header(0, 1);
    header(1, 1024);
    for (int32_t v : ints) appendWord(out, v);
    header(2, wordCount());
    for (int32_t v : reals) appendWord(out, v);
    header(3, wordCount());
    header(4, static_cast<int32_t>(strings.size()));

    // The string area's length counts an empty string as 2 bytes although it is stored as one.
    std::vector<uint8_t> stringBytes;
    size_t counted = 0;
    for (const std::string& s : strings) {
        stringBytes.insert(stringBytes.end(), s.begin(), s.end());
        stringBytes.push_back(0);
        counted += s.empty() ? 2 : s.size() + 1;
    }
    appendPadded(out, stringBytes, counted / 4 + 1);
    header(5, wordCount());
    header(6, static_cast<int32_t>(data_.size()));

    std::vector<uint8_t> typeMap;
    for (const DataItem& d : data_) typeMap.push_back(static_cast<uint8_t>(d.type));
    appendPadded(out, typeMap, data_.size() / 4 + 1);
    for (const DataItem& d : data_) {
        if (d.type != 's') {
            appendWord(out, d.word);
            continue;
        }
        std::vector<uint8_t> bytes(d.text.begin(), d.text.end());
        appendPadded(out, bytes, (d.text.size() + 1) / 4 + 1);
    }

    int32_t ownerStart = wordCount();
    for (int k = 0; k < 3; ++k) {
        if (counts[k] > 2000) throw std::length_error("more than 2000 variables of one kind");
        appendWord(out, counts[k]);
        for (int v = 0; v < counts[k]; ++v) {
            auto it = owners_[k].find(v);
            appendWord(out, it == owners_[k].end() ? 0 : it->second);
        }
    }
    header(8, counts[0]);
    header(9, counts[1]);
    header(10, counts[2]);
    header(11, wordCount() - ownerStart);
    header(7, wordCount());

    for (int32_t w : words) appendWord(out, w);
    for (const CodeWord& w : code) appendWord(out, w.line);
    return out;
}

int32_t readWord(const std::vector<uint8_t>& bytes, size_t wordIndex) {
    uint32_t u = 0;
    for (int b = 0; b < 4; ++b) u |= static_cast<uint32_t>(bytes.at(wordIndex * 4 + b)) << (8 * b);
    return static_cast<int32_t>(u);
}

void writeWord(std::vector<uint8_t>& bytes, size_t wordIndex, int32_t value) {
    uint32_t u = static_cast<uint32_t>(value);
    for (int b = 0; b < 4; ++b) bytes.at(wordIndex * 4 + b) = static_cast<uint8_t>(u >> (8 * b));
}

}  // namespace vm::assembly
