// Expressions: the innermost parenthesised group first, then the operators level by level, each
// compiled pair replaced in the text by a reference `?index` to its result.
#include "compiler/compiler_core.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace compiler {

namespace {

constexpr size_t kMaxExpressionText = 255;  // a rewritten text this long no longer fits a line

struct OperatorLevel {
    const char* spellings[2];
    const char* entryName;
};
constexpr OperatorLevel kLevels[13] = {
    {{"^", nullptr}, "^"},   {{"/", nullptr}, "/"},   {{"*", nullptr}, "*"},  {{"+", nullptr}, "+"},
    {{"-", nullptr}, "-"},   {{">=", "=>"}, ">="},    {{"<=", "=<"}, "<="},   {{">", nullptr}, ">"},
    {{"<", nullptr}, "<"},   {{"=", nullptr}, "=="},  {{"!", nullptr}, "!"},  {{"&", nullptr}, "&"},
    {{"|", nullptr}, "|"},
};

// For each character, the levels (one bit each) that have a spelling beginning with it.
constexpr std::array<uint16_t, 256> kLevelsStartingWith = [] {
    std::array<uint16_t, 256> table{};
    for (int level = 0; level < 13; ++level)
        for (const char* spelling : kLevels[level].spellings)
            if (spelling) table[static_cast<unsigned char>(spelling[0])] |= static_cast<uint16_t>(1u << level);
    return table;
}();

constexpr std::array<bool, 256> kOperatorChars = [] {
    std::array<bool, 256> table{};
    for (char c : std::string_view("^/*+-><=!&|")) table[static_cast<unsigned char>(c)] = true;
    return table;
}();
bool isOperatorChar(char c) { return kOperatorChars[static_cast<unsigned char>(c)]; }

// The characters the expression scans react to: quotes, parentheses, commas and operators. Every
// other character leaves a scan's state as it is, so the scans step over runs of them at once.
constexpr std::array<bool, 256> kSyntaxChars = [] {
    std::array<bool, 256> table = kOperatorChars;
    for (char c : std::string_view("\"(),")) table[static_cast<unsigned char>(c)] = true;
    return table;
}();
bool isPlain(char c) { return !kSyntaxChars[static_cast<unsigned char>(c)]; }
// Characters after which a '-' is a sign rather than a subtraction (the same set).
bool isSignContext(char c) { return isOperatorChar(c); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "?" and the operand index in decimal (indexes are positive), written into a buffer.
struct Reference {
    char text[16];
    size_t size = 0;
    explicit Reference(const Operand& operand) {
        char digits[12];
        int n = 0;
        for (uint32_t value = static_cast<uint32_t>(operand.index); n == 0 || value > 0; value /= 10)
            digits[n++] = static_cast<char>('0' + value % 10);
        text[size++] = '?';
        while (n > 0) text[size++] = digits[--n];
    }
    std::string_view view() const { return {text, size}; }
};

// A number in the text read as strtoll / strtod read it, without building a string for it.
long long readInteger(std::string_view digits) {
    if (!digits.empty() && digits.size() <= 18) {  // plain digits (the common case) cannot overflow here
        long long value = 0;
        bool plain = true;
        for (char c : digits) {
            plain = plain && c >= '0' && c <= '9';
            value = value * 10 + (c - '0');
        }
        if (plain) return value;
    }
    char buffer[64];
    if (digits.size() < sizeof buffer) {
        digits.copy(buffer, digits.size());
        buffer[digits.size()] = '\0';
        return std::strtoll(buffer, nullptr, 10);
    }
    return std::strtoll(std::string(digits).c_str(), nullptr, 10);
}
double readReal(std::string_view text) {
    char buffer[64];
    if (text.size() < sizeof buffer) {
        text.copy(buffer, text.size());
        buffer[text.size()] = '\0';
        return std::strtod(buffer, nullptr);
    }
    return std::strtod(std::string(text).c_str(), nullptr);
}

// Position of the ')' closing the '(' at `open`, skipping quoted texts; npos when unbalanced.
size_t matchingParenthesis(std::string_view text, size_t open) {
    int depth = 0;
    bool quoted = false;
    for (size_t p = open; p < text.size(); ++p) {
        char c = text[p];
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '(') ++depth;
        if (c == ')' && --depth == 0) return p;
    }
    return std::string::npos;
}

// Finds the next operator of a level at or after `from`, outside quotes and parentheses, never at
// position 0. Sets `length` to the spelling's length.
size_t findOperator(std::string_view text, int level, size_t from, size_t& length) {
    // After a replacement the scan goes on behind the new reference, where the text is outside
    // quotes and parentheses (the operator just compiled was); a level's first scan starts at 0.
    bool quoted = false;
    int depth = 0;
    for (size_t p = from > 1 ? from : 0; p < text.size(); ++p) {
        char c = text[p];
        if (isPlain(c)) continue;
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '(') ++depth;
        if (c == ')') --depth;
        if (depth > 0 || p < from || p == 0) continue;
        for (const char* spelling : kLevels[level].spellings) {
            if (!spelling || c != spelling[0] || (spelling[1] && (p + 1 >= text.size() || text[p + 1] != spelling[1])))
                continue;
            if (level == 4) {
                size_t q = p;
                while (q > 0 && text[q - 1] == ' ') --q;
                if (q > 0 && isSignContext(text[q - 1])) break;  // a sign, not a subtraction
            }
            length = std::strlen(spelling);
            return p;
        }
    }
    return std::string::npos;
}

// Start of the left operand of the operator at `op`.
size_t leftOperandStart(std::string_view text, size_t op) {
    bool quoted = false;
    int depth = 0;
    size_t p = op;
    while (p > 0) {
        char c = text[p - 1];
        if (isPlain(c)) {
            --p;
            continue;
        }
        if (c == '"') quoted = !quoted;
        if (!quoted) {
            if (c == ')') ++depth;
            if (c == '(') --depth;
            if (depth <= 0 && c != '(' && c != ')') {
                if (c == '-') {
                    // A '-' before a digit with nothing but blanks before it is the operand's sign.
                    bool sign = isDigit(p < text.size() ? text[p] : 0);
                    for (size_t q = 0; sign && q + 1 < p; ++q) sign = text[q] == ' ';
                    if (!sign) return p;
                } else if (isOperatorChar(c)) {
                    return p;
                }
            }
        }
        --p;
    }
    return 0;
}

// End (exclusive) of the right operand that starts at `start`.
size_t rightOperandEnd(std::string_view text, size_t start) {
    size_t p = start;
    while (p < text.size() && text[p] == ' ') ++p;
    if (p < text.size() && text[p] == '-') ++p;  // a sign directly after the operator
    bool quoted = false;
    int depth = 0;
    for (; p < text.size(); ++p) {
        char c = text[p];
        if (isPlain(c)) continue;
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '(') ++depth;
        if (c == ')') --depth;
        if (depth <= 0 && isOperatorChar(c)) break;
    }
    return p;
}

// True when the text is not empty and holds only digits, and (when allowed) signs and points.
bool onlyNumberChars(std::string_view text, bool signs, bool points) {
    for (char c : text) {
        if (c >= '0' && c <= '9') continue;
        if (signs && (c == '+' || c == '-')) continue;
        if (points && c == '.') continue;
        return false;
    }
    return !text.empty();
}

}  // namespace

namespace {
int typeSlotOf(char type) { return type == 'l' ? 0 : type == 'f' ? 1 : 2; }
}  // namespace

// An operator's entry depends only on its level and its operands' types: chosen when a compile
// first meets that combination (a short program meets a few of the 117).
int Compiler::operatorEntry(int level, int a, int b) {
    int& chosen = operatorEntries_[level][a][b];
    if (chosen != kEntryNotChosen) return chosen;
    const char letters[3] = {'l', 'f', 's'};
    const char types[2] = {letters[a], letters[b]};
    chosen = -1;
    for (int j : vocabulary_.functionsNamed(kLevels[level].entryName))
        if (vocabulary_.functions()[j].signature.substr(1) == std::string_view(types, 2)) {
            chosen = j;
            break;
        }
    return chosen;
}

bool Compiler::splitParameters(std::string_view text, ParameterList& out) {
    out.count = 0;
    if (trimmedView(text).empty()) return true;
    bool quoted = false;
    int depth = 0;
    size_t start = 0;
    for (size_t p = 0; p <= text.size(); ++p) {
        if (p < text.size() && isPlain(text[p])) continue;
        char c = p < text.size() ? text[p] : ',';
        if (c == '"' && p < text.size()) quoted = !quoted;
        if (quoted && p < text.size()) continue;
        if (c == '(') ++depth;
        if (c == ')') --depth;
        if (c == ',' && (depth <= 0 || p == text.size())) {
            if (static_cast<int>(out.count) == kMaxParameters) return fail(25);
            out.push(trimmedView(text.substr(start, p - start)));
            start = p + 1;
        }
    }
    return true;
}

bool Compiler::splitParameters(std::string_view text, std::vector<std::string>& out) {
    ParameterList parts;
    bool ok = splitParameters(text, parts);
    out.clear();
    for (size_t k = 0; k < parts.count; ++k) out.emplace_back(parts[k]);
    return ok;
}

std::string Compiler::typeList(std::string_view letters) const {
    if (letters.empty()) return message(13);
    std::string out;
    for (char letter : letters) {
        if (!out.empty()) out += ", ";
        out += message(letter == 'l' ? 6 : letter == 'f' ? 7 : 8);
    }
    return out;
}

bool Compiler::noFittingFunction(std::string_view name) {
    const auto& named = vocabulary_.functionsNamed(name);
    if (named.empty()) return failText(message(9) + " " + std::string(name) + " " + message(10));
    if (name == "@") return failText(message(11) + " " + message(16));
    std::string_view signature = vocabulary_.functions()[named.back()].signature;
    return failText(message(11) + " " + std::string(name) + " " + message(12) + " " +
                    typeList(signature.empty() ? "" : std::string_view(signature).substr(1)));
}

Operand Compiler::convert(Operand operand, char to) {
    if (operand.type == to) return operand;
    Operand converted = allocateTemporary(to);
    if (converted.type == 'x') return converted;
    emitInstruction(to == 'f' ? 155 : 154, {converted, operand});
    return converted;
}

Operand Compiler::compileExpression(std::string_view original) {
    // The text is read in place; only a group's replacement by its reference needs a copy to write to.
    std::string_view text = original;
    std::string rewritten;
    for (;;) {
        if (text.size() >= kMaxExpressionText) {
            fail(43);
            return {};
        }
        bool quoted = false;
        int depth = 0, deepest = 0;
        size_t group = std::string::npos;
        for (size_t p = 0; p < text.size(); ++p) {
            char c = text[p];
            if (isPlain(c)) continue;
            if (c == '"') quoted = !quoted;
            if (quoted) continue;
            if (c == '(' && p > 0 && isNameChar(text[p - 1])) {
                size_t close = matchingParenthesis(text, p);
                if (close == std::string::npos) {
                    fail(23);
                    return {};
                }
                p = close;  // a call's or element's own parentheses do not group
                continue;
            }
            if (c == '(' && ++depth > deepest) deepest = depth, group = p;
            if (c == ')' && --depth < 0) break;
        }
        if (depth != 0) {
            fail(23);
            return {};
        }
        if (group == std::string::npos) return compileOperatorExpression(text);
        size_t close = matchingParenthesis(text, group);
        Operand inner = compileOperatorExpression(text.substr(group + 1, close - group - 1));
        if (inner.type == 'x') return inner;
        if (text.data() != rewritten.data()) rewritten.assign(text);
        rewritten.replace(group, close - group + 1, Reference(inner).view());
        text = rewritten;
    }
}

Operand Compiler::compileOperatorExpression(std::string_view original) {
    std::string_view trimmedText = trimmedView(original);
    // Most texts hold one or two operators: note once which levels' spellings begin somewhere.
    unsigned levels = 0;
    for (size_t p = 1; p < trimmedText.size(); ++p) levels |= kLevelsStartingWith[static_cast<unsigned char>(trimmedText[p])];
    if (levels == 0) return compileOperand(trimmedText);
    // Each compiled pair is replaced by its reference: from here on the text is a copy.
    std::string text(trimmedText);
    bool anyOperator = false;
    Operand last;
    for (int level = 0; level < 13; ++level) {
        if ((levels >> level & 1) == 0) continue;
        size_t from = 1, length = 0;
        for (size_t op; (op = findOperator(text, level, from, length)) != std::string::npos;) {
            anyOperator = true;
            for (size_t k = 0; k < length; ++k) text[op + k] = ' ';
            size_t leftStart = leftOperandStart(text, op);
            size_t rightEnd = rightOperandEnd(text, op + length);
            std::string_view left = trimmedView(std::string_view(text).substr(leftStart, op - leftStart));
            std::string_view right = trimmedView(std::string_view(text).substr(op + length, rightEnd - op - length));
            if (left.empty() || right.empty()) {
                fail(22);
                return {};
            }
            Operand a = compileOperand(left);
            if (a.type == 'x') return a;
            Operand b = compileOperand(right);
            if (b.type == 'x') return b;
            const char* name = kLevels[level].entryName;
            int chosen = operatorEntry(level, typeSlotOf(a.type), typeSlotOf(b.type));
            if (chosen < 0) {
                noFittingFunction(name);
                return {};
            }
            const VocabularyEntry& entry = vocabulary_.functions()[chosen];
            Operand result = allocateTemporary(entry.signature[0]);
            if (result.type == 'x') return result;
            emitInstruction(entry.code, {result, a, b});
            Reference ref(result);
            text.replace(leftStart, rightEnd - leftStart, ref.view());
            if (text.size() >= kMaxExpressionText) {
                fail(43);
                return {};
            }
            from = leftStart + ref.size;
            last = result;
        }
    }
    return anyOperator ? last : compileOperand(text);
}

Operand Compiler::compileOperand(std::string_view raw) {
    std::string_view text = trimmedView(raw);
    if (text.empty()) {
        fail(22);
        return {};
    }
    // A reference to a value compiled before.
    if (text[0] == '?' && onlyNumberChars(text.substr(1), false, false)) {
        int32_t index = 0;
        if (text.size() <= 6)
            for (char c : text.substr(1)) index = index * 10 + (c - '0');
        if (text.size() > 6 || typeOfIndex(index) == 'x') {
            fail(22);  // written by hand: no value was compiled there
            return {};
        }
        return {typeOfIndex(index), index};
    }
    // A call or an array element.
    bool quoted = false;
    for (size_t p = 0; p < text.size(); ++p) {
        char c = text[p];
        if (isPlain(c)) continue;
        if (c == '"') quoted = !quoted;
        if (quoted || c != '(' || p == 0 || !isNameChar(text[p - 1])) continue;
        std::string_view name = trimmedView(text.substr(0, p));
        std::string_view arguments = text.substr(p + 1, text.size() - p - 2);
        int function = findFunction(name);
        if (function >= 0) return compileUserCall(function, std::string(arguments));
        return compileCall(name, arguments);
    }
    if (onlyNumberChars(text, true, false))
        return integerConstant(static_cast<int32_t>(readInteger(text.substr(text[0] == '+' ? 1 : 0))));
    if (onlyNumberChars(text, true, true) && std::count(text.begin(), text.end(), '.') == 1)
        return realConstant(static_cast<float>(readReal(text)));
    if (text.size() > 1 && text.front() == '"' && text.back() == '"') {
        if (text.size() - 2 > 255) {
            fail(20);
            return {};
        }
        return stringConstant(std::string(text.substr(1, text.size() - 2)));
    }
    bool name = true;
    for (char c : text) name = name && isIdentifierChar(c);
    if (!name) {
        fail(22);
        return {};
    }
    return resolveName(text);
}

Operand Compiler::compileCall(std::string_view name, std::string_view arguments) {
    const auto& functions = vocabulary_.functions();
    std::string_view callName = name, callArguments = arguments;
    std::string elementArguments;  // an element read passes the array's name before the indexes
    std::span<const int> named = vocabulary_.functionsNamed(name);
    if (named.empty()) {
        // Not a function: an element of the array of that name.
        int arrayRead = vocabulary_.arrayReadFunction();
        if (arrayRead < 0) {
            noFittingFunction(name);
            return {};
        }
        callName = functions[arrayRead].name;
        elementArguments.reserve(name.size() + 1 + arguments.size());
        elementArguments.append(name).append(1, ',').append(arguments);
        callArguments = elementArguments;
        arrayFlag_ = true;
        named = vocabulary_.functionsLike(arrayRead);
    }
    int first = named.front(), working = first;
    if (expectedType_) {
        int last = first;
        for (int j = first; j < functions[first].runEnd; ++j) {
            last = j;
            if (!functions[j].signature.empty() && functions[j].signature[0] == expectedType_) {
                working = j;
                break;
            }
            working = -1;
        }
        if (working < 0) working = last;
    }
    ParameterList parameters;
    if (!splitParameters(callArguments, parameters)) return {};
    // The arguments' type letters so far; one more is written behind them while it is tried.
    char typeLetters[kMaxParameters + 1];
    size_t typeCount = 0;
    Operand operands[kMaxParameters + 1];  // the result, then the arguments
    size_t operandCount = 1;
    char outerExpected = expectedType_;
    for (size_t k = 0; k < parameters.count; ++k) {
        std::string_view workingSignature = functions[working].signature;
        expectedType_ = k + 1 < workingSignature.size() ? workingSignature[k + 1] : 0;
        Operand argument = compileExpression(parameters[k]);
        if (argument.type == 'l' || argument.type == 'f') {
            bool fits = false;
            typeLetters[typeCount] = argument.type;
            std::string_view wanted(typeLetters, typeCount + 1);
            for (int j = working; !fits && j < functions[working].runEnd; ++j)
                fits = functions[j].signature.compare(1, wanted.size(), wanted) == 0 &&
                       functions[j].signature.size() > wanted.size();
            if (!fits) argument = convert(argument, argument.type == 'l' ? 'f' : 'l');
        }
        typeLetters[typeCount++] = argument.type;
        operands[operandCount++] = argument;
    }
    expectedType_ = outerExpected;
    const std::string_view types(typeLetters, typeCount);
    int chosen = -1;
    for (int j : named)
        if (std::string_view(functions[j].signature).substr(1) == types) {
            chosen = j;
            break;
        }
    if (chosen < 0) {
        noFittingFunction(callName);
        return {};
    }
    operands[0] = allocateTemporary(functions[chosen].signature[0]);
    if (operands[0].type == 'x') return operands[0];
    emitInstruction(functions[chosen].code, operands, operandCount);
    return operands[0];
}

Operand Compiler::compileUserCall(int function, const std::string& arguments) {
    const UserFunction& called = functions_[function];
    std::string text = called.name + "," + std::to_string(called.parameters.size());
    if (!trimmed(arguments).empty()) text += "," + arguments;
    std::vector<std::string> parts;
    if (!splitParameters(text, parts)) return {};
    Operand label = labelReference(called.name, -1);
    if (label.type == 'x') {
        fail(4);
        return {};
    }
    std::vector<Operand> operands{label, {}, integerConstant(static_cast<int32_t>(called.parameters.size()))};
    if (operands[2].type == 'x') return {};
    std::string types;
    char outerExpected = expectedType_;
    expectedType_ = 0;
    for (size_t k = 2; k < parts.size(); ++k) {
        Operand argument = compileExpression(std::move(parts[k]));
        types += argument.type;
        operands.push_back(argument);
    }
    expectedType_ = outerExpected;
    if (types != called.parameters) {
        fail(17);
        return {};
    }
    operands[1] = allocateTemporary(called.result);
    if (operands[1].type == 'x') return operands[1];
    emitInstruction(21, operands);
    return operands[1];
}

}  // namespace compiler
