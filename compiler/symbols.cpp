// Operand indexes, the symbol and constant tables, labels, DATA items and the two output streams.
#include "compiler/compiler_core.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace compiler {

std::string trimmed(std::string_view text) { return std::string(trimmedView(text)); }

SymbolKey::SymbolKey(std::string_view name, int scope, bool array) {
    const char tail[4] = {'\0', static_cast<char>(scope & 0xff), static_cast<char>((scope >> 8) & 0xff), '['};
    size_t tailSize = array ? 4 : 3;
    if (name.size() + tailSize <= sizeof short_) {
        std::memcpy(short_, name.data(), name.size());
        std::memcpy(short_ + name.size(), tail, tailSize);
        size_ = static_cast<uint32_t>(name.size() + tailSize);
    } else {
        long_.assign(name);
        long_.append(tail, tailSize);
    }
}

Compiler::Compiler(const Vocabulary& vocabulary, const LanguageFile& language)
    : vocabulary_(vocabulary), language_(language) {
    for (int k = 0; k < 12; ++k) {
        int entry = vocabulary_.firstCommand(kStructureKeywords[k]);
        keywordCodes_[k] = entry >= 0 ? vocabulary_.commands()[entry].code : -1;
    }
    assignmentEntry_ = vocabulary_.firstCommand("=");
    elementStoreEntry_ = vocabulary_.firstCommand("@=");
    auto groupOf = [&](std::string_view name) {
        int entry = vocabulary_.firstCommand(name);
        return entry < 0 ? -1 : vocabulary_.commands()[entry].group;
    };
    exitFunctionGroup_ = groupOf("exitfunction");
    assignmentGroup_ = groupOf("=");
    readGroup_ = groupOf("read");
    inputGroup_ = groupOf("input");
    std::fill(&operatorEntries_[0][0][0], &operatorEntries_[0][0][0] + 13 * 3 * 3, kEntryNotChosen);
}

const std::string& Compiler::message(int key) const {
    const std::string& own = language_.text(LanguageFile::Compiler, key);
    // A language file without this key still gives a readable message.
    return own.empty() ? LanguageFile::builtIn().text(LanguageFile::Compiler, key) : own;
}

bool Compiler::fail(int key) { return failText(message(key)); }

bool Compiler::failText(const std::string& text) {
    if (error_.empty()) {
        error_ = text.empty() ? message(29) : text;
        errorLine_ = line_;
    }
    return false;
}

void Compiler::reserveFor(size_t sourceBytes, size_t lineCount) {
    // About two and a half bytes of code per byte of source: room for four, so a program rarely
    // outgrows it. A small program's code grows by copying, which costs it less than the room.
    size_t words = std::min<size_t>(std::max<size_t>(8192, sourceBytes), size_t(1) << 24);
    code_.reserve(words);
    // A run of words per line at most: the line table is made once at its size, not grown by copying.
    lines_.reserve(std::min<size_t>(lineCount + 1, size_t(1) << 24));
}

void Compiler::emitInstruction(int32_t code, const Operand* operands, size_t count) {
    if (typeOnly_) return;
    emitWord(code);
    for (size_t k = 0; k < count; ++k) {
        const Operand& operand = operands[k];
        if (operand.type == 'a') {
            // The label's fixup is the word it actually lands in, whatever was emitted before.
            LabelEntry& label = labels_[operand.index - kLabel];
            bool data = code == 31;
            label.fixups.push_back({code_.size(), data});
        }
        emitWord(operand.index);
    }
}

char Compiler::typeOfIndex(int32_t index) {
    static constexpr struct {
        int32_t from, to;
        char type;
    } kRanges[] = {{kIntTemp, kRealTemp, 'l'},      {kRealTemp, kStringTemp, 'f'}, {kStringTemp, kIntVar, 's'},
                   {kIntVar, kRealVar, 'l'},        {kRealVar, kStringVar, 'f'},   {kStringVar, kIntConst, 's'},
                   {kIntConst, kRealConst, 'l'},    {kRealConst, kStringConst, 'f'},
                   {kStringConst, kDataItem, 's'}};
    for (const auto& range : kRanges)
        if (index >= range.from && index < range.to) return range.type;
    return 'x';
}

static int typeSlot(char type) { return type == 'l' ? 0 : type == 'f' ? 1 : 2; }

void Compiler::resetTemporaries() {
    // Each user function has its own block of temporaries; function numbers past 19 share the last.
    int function = scope_ > 19 ? 19 : scope_;
    const int32_t bases[3] = {kIntTemp, kRealTemp, kStringTemp};
    for (int t = 0; t < 3; ++t) {
        nextTemp_[t] = bases[t] + kTempsPerFunction * function;
        tempLimit_[t] = nextTemp_[t] + (scope_ == 0 ? kTempsPerMain : kTempsPerFunction);
    }
}

Operand Compiler::allocateTemporary(char type) {
    int t = typeSlot(type);
    if (typeOnly_) return {type, (t == 0 ? kIntTemp : t == 1 ? kRealTemp : kStringTemp)};
    if (nextTemp_[t] >= tempLimit_[t]) {
        // Past its block a temporary would overwrite another function's values or other cells.
        fail(kMsgTooManyTemporaries);
        return {};
    }
    return {type, nextTemp_[t]++};
}

Operand Compiler::integerConstant(int32_t value) {
    if (typeOnly_) return {'l', kIntConst};
    auto found = intConstantIndex_.find(value);
    if (found != intConstantIndex_.end()) return {'l', found->second};
    if (static_cast<int>(intConstants_.size()) >= kConstantsPerType) {
        fail(18);
        return {};
    }
    int32_t index = kIntConst + static_cast<int32_t>(intConstants_.size());
    intConstants_.push_back(value);
    intConstantIndex_.emplace(value, index);
    return {'l', index};
}

Operand Compiler::realConstant(float value) {
    if (typeOnly_) return {'f', kRealConst};
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    auto found = realConstantIndex_.find(bits);
    if (found != realConstantIndex_.end()) return {'f', found->second};
    if (static_cast<int>(realConstants_.size()) >= kConstantsPerType) {
        fail(19);
        return {};
    }
    int32_t index = kRealConst + static_cast<int32_t>(realConstants_.size());
    realConstants_.push_back(bits);
    realConstantIndex_.emplace(bits, index);
    return {'f', index};
}

Operand Compiler::stringConstant(std::string text) {
    if (typeOnly_) return {'s', kStringConst};
    if (static_cast<int>(stringConstants_.size()) >= kConstantsPerType) {
        fail(21);
        return {};
    }
    stringConstants_.push_back(std::move(text));
    return {'s', kStringConst + static_cast<int32_t>(stringConstants_.size()) - 1};
}

Operand Compiler::resolveName(std::string_view name) {
    char type = 'l';  // a # anywhere makes a real, else a $ a text
    for (char c : name) {
        if (c == '#') {
            type = 'f';
            break;
        }
        if (c == '$') type = 's';
    }
    int t = typeSlot(type);
    bool array = arrayFlag_;
    arrayFlag_ = false;
    const int32_t base = t == 0 ? kIntVar : t == 1 ? kRealVar : kStringVar;
    if (typeOnly_) return {type, base};
    const VariableTable& index = variableIndex_[t];
    int32_t found = index.find(name, scope_, array, variables_[t]);
    if (found >= 0) return {type, base + found};
    if (array && scope_ != 0) {
        // A function sees the main program's arrays it does not have itself.
        found = index.find(name, 0, true, variables_[t]);
        if (found >= 0) return {type, base + found};
    }
    if (static_cast<int>(variables_[t].size()) >= kVariablesPerType) {
        fail(1 + t);
        return {};
    }
    int32_t operand = base + static_cast<int32_t>(variables_[t].size());
    variables_[t].push_back({std::string(name), scope_, array, line_});
    variableIndex_[t].addLast(variables_[t]);
    return {type, operand};
}

Operand Compiler::labelReference(std::string_view name, int scope) {
    if (typeOnly_) return {'a', kLabel};
    SymbolKey key(name, scope);
    auto found = labelIndex_.find(key.view());
    if (found != labelIndex_.end()) return {'a', kLabel + found->second};
    if (static_cast<int>(labels_.size()) >= kMaxLabels) return {};
    labels_.push_back({std::string(name), scope, line_, {}});
    labelIndex_.emplace(key.text(), static_cast<int>(labels_.size()) - 1);
    return {'a', kLabel + static_cast<int32_t>(labels_.size()) - 1};
}

bool Compiler::defineLabel(std::string_view name, int scope, int32_t position) {
    auto inserted = labelDefinitions_.try_emplace(SymbolKey(name, scope).text(),
                                                  LabelDefinition{position, static_cast<int32_t>(data_.size())});
    return inserted.second;
}

// A sign, digits and at most one decimal point: DATA items are written values, never expressions.
static bool isNumberLiteral(std::string_view text) {
    size_t p = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    bool digit = false;
    int dots = 0;
    for (; p < text.size(); ++p) {
        if (text[p] >= '0' && text[p] <= '9')
            digit = true;
        else if (text[p] == '.')
            ++dots;
        else
            return false;
    }
    return digit && dots <= 1;
}

bool Compiler::addDataItem(std::string_view literalView) {
    const std::string literal(literalView);  // strtoll and strtod read up to a zero byte
    DataItem item{'x', 0, {}};
    if (literal.size() >= 2 && literal.front() == '"' && literal.back() == '"') {
        item = {'s', 0, literal.substr(1, literal.size() - 2)};
        if (item.text.size() > 255) item.text.resize(255);
    } else if (isNumberLiteral(literal)) {
        size_t dots = std::count(literal.begin(), literal.end(), '.');
        if (dots == 0) {
            item = {'l', static_cast<int32_t>(std::strtoll(literal.c_str(), nullptr, 10)), {}};
        } else if (dots == 1) {
            float value = static_cast<float>(std::strtod(literal.c_str(), nullptr));
            item.type = 'f';
            std::memcpy(&item.value, &value, 4);
        }
    }
    if (item.type == 'x') return fail(36);
    if (static_cast<int>(data_.size()) >= kMaxDataItems) return fail(35);
    data_.push_back(std::move(item));
    return true;
}

bool Compiler::finish(int lastLine, bool fileCompile) {
    auto failAt = [&](int key, int line) {
        std::string text = message(key);
        if (fileCompile) text += " " + message(47) + " " + std::to_string(line);
        error_.clear();
        line_ = line;
        return failText(text);
    };
    for (const LabelEntry& label : labels_) {
        auto definition = labelDefinitions_.find(SymbolKey(label.name, label.scope).view());
        if (definition == labelDefinitions_.end()) return failAt(48, label.firstLine);
        for (const LabelFixup& fixup : label.fixups)
            code_[fixup.position] = fixup.data ? kDataItem + definition->second.dataPosition
                                               : kCodePosition + definition->second.codePosition;
    }
    for (int t = 0; t < 3; ++t)
        for (const VariableSymbol& symbol : variables_[t])
            if (symbol.array && !dims_.count(SymbolKey(symbol.name, symbol.scope).view())) return failAt(49, symbol.line);
    if (!structures_.empty()) return failAt(50, lastLine);
    emitWord(0);
    return true;
}

CompiledProgram Compiler::program() const {
    CompiledProgram out;
    out.code = code_;
    out.lines = lines_;
    out.intConstants = intConstants_;
    out.realConstants = realConstants_;
    out.stringConstants = stringConstants_;
    out.data = data_;
    for (int t = 0; t < 3; ++t)
        for (const VariableSymbol& symbol : variables_[t]) out.owners[t].push_back(static_cast<int16_t>(symbol.scope));
    return out;
}

CompiledProgram Compiler::takeProgram() {
    CompiledProgram out;
    out.code = std::move(code_);
    out.lines = std::move(lines_);
    out.intConstants = std::move(intConstants_);
    out.realConstants = std::move(realConstants_);
    out.stringConstants = std::move(stringConstants_);
    out.data = std::move(data_);
    for (int t = 0; t < 3; ++t)
        for (const VariableSymbol& symbol : variables_[t]) out.owners[t].push_back(static_cast<int16_t>(symbol.scope));
    return out;
}

}  // namespace compiler
