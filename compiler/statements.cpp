// Statements: labels, function headers, the special shapes (one-line if, for, dim, select),
// assignments, user function calls and vocabulary commands.
#include "compiler/compiler_core.h"

#include <algorithm>
#include <array>

namespace compiler {

namespace {

constexpr const char* kSelectVariable = "welldoneifyoufindthistempvarkaz";
constexpr int kMaxRewriteDepth = 200;  // statements rewritten into statements: bounded by the line length

// Words from..to joined by single blanks, appended to `out`.
void appendWords(const Words& words, size_t from, size_t to, std::string& out) {
    size_t start = out.size();
    for (size_t i = from; i < to && i < words.size(); ++i) {
        if (out.size() > start) out += ' ';
        out += words[i];
    }
}

std::string joinWords(const Words& words, size_t from, size_t to) {
    std::string out;
    appendWords(words, from, to, out);
    return out;
}

// Position of the first `c` outside quotes (and, when asked, outside parentheses); npos when none.
size_t findOutside(std::string_view text, char c, bool outsideParentheses) {
    bool quoted = false;
    int depth = 0;
    for (size_t p = 0; p < text.size(); ++p) {
        if (text[p] == '"') quoted = !quoted;
        if (quoted) continue;
        if (text[p] == '(') ++depth;
        if (text[p] == ')') --depth;
        if (text[p] == c && (!outsideParentheses || depth <= 0)) return p;
    }
    return std::string_view::npos;
}

// `(` directly after a letter, digit, $ or # outside quotes: the start of an element or call.
size_t findElementParenthesis(std::string_view text) {
    bool quoted = false;
    for (size_t p = 1; p < text.size(); ++p) {
        if (text[p - 1] == '"') quoted = !quoted;
        if (!quoted && text[p] == '(' && isNameChar(text[p - 1])) return p;
    }
    return std::string_view::npos;
}

// Outside quotes: <> becomes !, " and " becomes &, " or " becomes |.
std::string conditionWords(std::string text) {
    static constexpr struct {
        const char* from;
        const char* to;
    } kWords[] = {{"<>", "!"}, {" and ", "&"}, {" or ", "|"}};
    for (const auto& word : kWords) {
        if (text.find(word.from) == std::string::npos) continue;
        std::string out;
        out.reserve(text.size());
        bool quoted = false;
        size_t length = std::char_traits<char>::length(word.from);
        for (size_t p = 0; p < text.size();) {
            if (text[p] == '"') quoted = !quoted;
            if (!quoted && text.compare(p, length, word.from) == 0) {
                out += word.to;
                p += length;
            } else {
                out += text[p++];
            }
        }
        text = std::move(out);
    }
    return text;
}

std::string_view ltrimmed(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
    return text;
}

}  // namespace

namespace {

// Characters that neither end a word nor change the quoting: most of a statement.
constexpr std::array<bool, 256> kPlainWordChars = [] {
    std::array<bool, 256> plain{};
    for (int c = 33; c < 256; ++c) plain[c] = c != '"' && c != ':';
    return plain;
}();

}  // namespace

void splitWords(std::string_view statement, Words& out) {
    out.list.clear();
    out.cleaned.clear();
    bool quoted = false;
    size_t start = std::string_view::npos;  // start of the word being read
    bool control = false;                   // the word holds characters below 32 (dropped)
    auto finish = [&](size_t end) {
        if (start == std::string_view::npos) return;
        std::string_view word = statement.substr(start, end - start);
        start = std::string_view::npos;
        if (control) {
            // Only here does a word need storage of its own; `cleaned` never outgrows the statement.
            if (out.cleaned.capacity() < statement.size()) out.cleaned.reserve(statement.size());
            size_t from = out.cleaned.size();
            for (char c : word)
                if (static_cast<unsigned char>(c) >= 32) out.cleaned += c;
            word = std::string_view(out.cleaned).substr(from);
        }
        control = false;
        while (!word.empty() && word.back() == ' ') word.remove_suffix(1);
        if (!word.empty() && out.list.size() < 256) out.list.push_back(word.substr(0, 255));
    };
    for (size_t p = 0; p < statement.size(); ++p) {
        char c = statement[p];
        unsigned char u = static_cast<unsigned char>(c);
        if (!quoted && start != std::string_view::npos && kPlainWordChars[u]) {
            // Inside a word outside quotes: run to the next character that matters.
            while (p + 1 < statement.size() && kPlainWordChars[static_cast<unsigned char>(statement[p + 1])]) ++p;
            continue;
        }
        if (c == '"') quoted = !quoted;
        if (!quoted && u <= 32) {
            finish(p);
            continue;
        }
        if (!quoted && c == ':') finish(p);
        if (start == std::string_view::npos) start = p;
        if (u < 32) control = true;
    }
    finish(statement.size());
}

std::vector<std::string> splitWords(std::string_view statement) {
    Words words;
    splitWords(statement, words);
    return std::vector<std::string>(words.list.begin(), words.list.end());
}

struct Compiler::Match {
    enum Kind { NotCommand, Remark, OneLineIf, For, Dim, Select, Command } kind = NotCommand;
    int entry = -1;
    std::string parameters;
    std::string rest;
};

bool Compiler::matchStatement(const Words& words, Match& match) {
    const std::string_view first = words[0];
    auto laterWord = [&](const char* wanted) {
        for (size_t i = 1; i < words.size(); ++i)
            if (words[i] == wanted) return true;
        return false;
    };
    if (first == "rem" || first[0] == '`') return match.kind = Match::Remark, true;
    if (first == "if" && laterWord("then")) return match.kind = Match::OneLineIf, true;
    if (first == "for" && laterWord("to")) return match.kind = Match::For, true;
    if (first == "dim" && words.size() > 1 && findElementParenthesis(words[1]) != std::string::npos)
        return match.kind = Match::Dim, true;
    if (first == "select" || first == "case" || first == "endcase" || first == "endselect")
        return match.kind = Match::Select, true;

    Words undimWords;
    if (first == "undim") {
        undimWords.list = words.list;
        arrayFlag_ = true;
        if (undimWords.size() > 1) {
            size_t cut = 0;
            while (cut < undimWords[1].size() && isIdentifierChar(undimWords[1][cut])) ++cut;
            undimWords.list[1] = undimWords[1].substr(0, cut);
        }
        if (undimWords.size() > 2) undimWords.list.resize(2);
    }
    const Words& matched = first == "undim" ? undimWords : words;
    size_t n = std::min(matched.size(), vocabulary_.longestCommandWords());
    int entry = -1;
    for (; n > 0; --n) {
        if (n == 1) {
            entry = vocabulary_.firstCommand(matched[0]);
            break;
        }
        // The first n words as one name, in a buffer: names longer than 255 characters never match.
        char name[256];
        size_t length = 0;
        for (size_t i = 0; i < n && length <= 255; ++i) {
            if (i > 0) name[length++] = ' ';
            size_t take = std::min(matched[i].size(), sizeof name - length);
            matched[i].copy(name + length, take);
            length += matched[i].size();
        }
        if (length > 255) continue;
        entry = vocabulary_.firstCommand(std::string_view(name, length));
        if (entry >= 0) break;
    }
    if (entry < 0) return match.kind = Match::NotCommand, true;

    const auto& commands = vocabulary_.commands();
    std::string_view name = commands[entry].name;
    std::string_view signature = commands[entry].signature;
    bool compiled = signature.empty() || signature[0] != 'e';
    std::string& parameters = match.parameters;
    parameters.clear();
    appendWords(matched, n, matched.size(), parameters);
    const bool input = name == "input";
    if (name == "print" || name == "read") {
        bool quoted = false;
        int depth = 0;
        for (char& c : parameters) {
            if (c == '"') quoted = !quoted;
            if (quoted) continue;
            if (c == '(') ++depth;
            if (c == ')') --depth;
            if (depth > 0) continue;
            if (c == ':') break;
            if (c == ',') c = ';';
        }
    }
    size_t separator = std::string::npos;
    bool quoted = false;
    for (size_t p = 0; p < parameters.size() && separator == std::string::npos; ++p) {
        char c = parameters[p];
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == ':' || (c == ';' && compiled) || (c == ',' && compiled && input)) separator = p;
    }
    match.kind = Match::Command;
    match.entry = entry;
    if (separator != std::string::npos) {
        char c = parameters[separator];
        std::string& rest = match.rest;
        rest.assign(parameters, separator + 1);
        parameters.resize(separator);
        if (c != ':') {
            bool restIsStatement = ltrimmed(rest).substr(0, 1) == ":";
            if (restIsStatement) rest[rest.find(':')] = ' ';
            auto firstPrintc = [&](int from) {
                for (int j : vocabulary_.commandsNamed("printc"))
                    if (j >= from) return j;
                return -1;
            };
            if (name == "print" && c == ';') {
                int printc = firstPrintc(entry);
                if (printc >= 0) match.entry = printc;
                if (!restIsStatement && !trimmedView(rest).empty()) rest = "print " + rest;
            } else if (name == "input") {
                int printc = firstPrintc(0);
                if (printc >= 0) match.entry = printc;
                if (!restIsStatement) rest = "input " + rest;
            } else if (name == "read" && c == ';') {
                if (!restIsStatement) rest = "read " + rest;
            }
        }
    }
    return true;
}

bool Compiler::isLabelDefinition(std::string_view text, std::string& name) const {
    // Most statements are told at once: a label's line ends in ':' and blanks.
    size_t last = text.size();
    while (last > 0 && text[last - 1] == ' ') --last;
    if (last == 0 || text[last - 1] != ':') return false;
    size_t p = 0;
    while (p < text.size() && ((text[p] >= 'a' && text[p] <= 'z') || (text[p] >= '0' && text[p] <= '9') ||
                               text[p] == '_' || (text[p] >= 'A' && text[p] <= 'Z')))
        ++p;
    if (p == 0 || p >= text.size() || text[p] != ':') return false;
    for (size_t q = p + 1; q < text.size(); ++q)
        if (text[q] != ' ') return false;
    name = std::string(text.substr(0, p));
    return true;
}

bool Compiler::compileStatement(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
    if (text.empty()) return true;
    if (depth_ >= kMaxRewriteDepth) return fail(43);
    struct DepthGuard {
        int& depth;
        explicit DepthGuard(int& d) : depth(d) { ++depth; }
        ~DepthGuard() { --depth; }
    } guard(depth_);

    Words& words = scratch().words;
    splitWords(text, words);
    if (words.empty()) return true;
    arrayFlag_ = false;
    Match match;
    if (skipMode_) {
        // Only a remend that begins a statement ends the skip; nothing else compiles meanwhile.
        matchStatement(words, match);
        if (match.kind != Match::Command || vocabulary_.commands()[match.entry].code != 402) return true;
        skipMode_ = false;
        return compileRest(match.rest);
    }
    std::string label;
    if (isLabelDefinition(text, label)) {
        if (!defineLabel(label, scope_, static_cast<int32_t>(code_.size()))) return fail(26);
        return true;
    }
    if (text.compare(0, 9, "function ") == 0) return compileFunctionHeader(text);

    arrayFlag_ = false;
    if (!matchStatement(words, match)) return false;
    if (match.kind == Match::Remark) return true;
    if (match.kind == Match::Command && vocabulary_.commands()[match.entry].code == 401) {
        skipMode_ = true;
        return true;
    }
    resetTemporaries();
    switch (match.kind) {
        case Match::NotCommand:
            return compileNotACommand(text);
        case Match::OneLineIf:
            return compileOneLineIf(words) || fail(30);
        case Match::For:
            return compileFor(words) || fail(31);
        case Match::Dim:
            if (compileDim(text)) return true;
            error_.clear();
            return fail(32);
        case Match::Select:
            return compileSelect(words);
        case Match::Command:
            if (!compileCommand(match.entry, match.parameters)) return false;
            return compileRest(match.rest);
        case Match::Remark:
            break;
    }
    return true;
}

Compiler::StatementScratch& Compiler::scratch() {
    auto& levels = scratch_.levels;
    while (static_cast<int>(levels.size()) <= depth_) levels.push_back(std::make_unique<StatementScratch>());
    return *levels[depth_];
}

bool Compiler::compileRest(std::string_view rest) { return trimmedView(rest).empty() || compileStatement(rest); }

bool Compiler::compileNotACommand(std::string_view text) {
    size_t colon = findOutside(text, ':', false);
    std::string_view statement = text.substr(0, colon);
    std::string_view rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    size_t open = statement.find('('), close = statement.rfind(')');
    std::string_view name = trimmedView(statement.substr(0, open));
    int function = findFunction(name);
    if (function >= 0) {
        std::string arguments;
        if (open != std::string::npos)
            arguments = statement.substr(open + 1, close != std::string::npos && close > open ? close - open - 1
                                                                                              : std::string::npos);
        if (compileUserCall(function, arguments).type == 'x') return false;
        return compileRest(rest);
    }
    size_t equals = statement.find('=');
    if (equals != std::string::npos) {
        // The assignment's parameters "target,value" are written into this level's buffer.
        std::string& target = scratch().text;
        target.assign(statement.substr(0, equals));
        while (!target.empty() && static_cast<unsigned char>(target.back()) <= 32) target.pop_back();
        std::string_view value = statement.substr(equals + 1);
        bool blank = findOutside(target, ' ', true) != std::string::npos;
        if (!blank && !trimmedView(value).empty()) {
            bool elementStore = false;
            size_t element = findElementParenthesis(target);
            if (element != std::string::npos) {
                // The matching ')' of the element's '('.
                int depth = 0;
                bool quoted = false;
                size_t end = std::string::npos;
                for (size_t p = element; p < target.size(); ++p) {
                    if (target[p] == '"') quoted = !quoted;
                    if (quoted) continue;
                    if (target[p] == '(') ++depth;
                    if (target[p] == ')' && --depth == 0) {
                        end = p;
                        break;
                    }
                }
                target[element] = ',';
                if (end != std::string::npos) target[end] = ' ';
                arrayFlag_ = true;
                elementStore = true;
            }
            int entry = elementStore ? elementStoreEntry_ : assignmentEntry_;
            if (entry < 0) return fail(29);
            target += ',';
            target += value;
            if (!compileCommand(entry, target)) return false;
            return compileRest(rest);
        }
    }
    return fail(29);
}

// A value can be stored into a variable, or into an array element through the temporary that the
// element read just before filled. Anything else would overwrite a shared constant, or write through
// whatever element the temporary read last.
bool Compiler::isStorageTarget(const Operand& operand) const {
    if (typeOnly_ || (operand.index >= 13000 && operand.index < 19000)) return true;
    if (operand.index < 10000 || operand.index >= 13000) return false;
    for (int32_t indices = 1; indices <= 5; ++indices) {
        size_t length = 3 + static_cast<size_t>(indices);
        if (code_.size() < length) break;
        size_t start = code_.size() - length;
        int32_t command = code_[start];
        bool elementRead = command == 660 + indices || command == 665 + indices || command == 670 + indices;
        if (elementRead && code_[start + 1] == operand.index) return true;
    }
    return false;
}

bool Compiler::compileCommand(int entry, std::string_view parameterText) {
    while (!parameterText.empty() && static_cast<unsigned char>(parameterText.back()) <= 32)
        parameterText.remove_suffix(1);
    ParameterList parameters;
    if (!splitParameters(parameterText, parameters)) return false;
    const auto& commands = vocabulary_.commands();
    const VocabularyEntry& matched = commands[entry];
    const bool exitFunction = matched.group == exitFunctionGroup_;
    const bool storesIntoParameters = matched.group == readGroup_ || matched.group == inputGroup_;
    const bool assignment = matched.group == assignmentGroup_;
    // A text function left early without a value returns the empty text, not whatever its result
    // temporary held before.
    if (exitFunction && parameters.count == 0 && scope_ > 0 && scope_ <= static_cast<int>(functions_.size()) &&
        functions_[scope_ - 1].result == 's')
        parameters.push("\"\"");
    int32_t loopStart = static_cast<int32_t>(code_.size());
    char kind = matched.signature.empty() ? '0' : matched.signature[0];

    std::vector<Operand>& operands = scratch().operands;
    operands.clear();
    // The parameters' type letters so far; one more is written behind them while it is tried.
    char typeLetters[kMaxParameters + 1];
    size_t typeCount = 0;
    if (kind != 'e' && !(kind == '0' && parameters.count == 0)) {
        for (size_t k = 0; k < parameters.count; ++k) {
            std::string rewritten;  // a condition with its word operators turned into signs
            std::string_view parameter = parameters[k];
            if (matched.structureKeyword) parameter = rewritten = conditionWords(std::string(parameter));
            if (kind == 'a') {
                bool valid = !parameter.empty();
                for (char c : parameter)
                    valid = valid && ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_');
                if (!valid) return fail(24);
                Operand label = labelReference(parameter, scope_);
                if (label.type == 'x') return fail(33);
                operands.push_back(label);
                typeLetters[typeCount++] = 'a';
                continue;
            }
            Operand argument = compileExpression(parameter);
            if (exitFunction && argument.type != 'x' && !typeOnly_ && scope_ > 0 &&
                scope_ <= static_cast<int>(functions_.size())) {
                // An early return hands back a value of the function's result type: a number of the
                // other kind is converted as in an assignment; text for a number (or the reverse) is refused.
                char result = functions_[scope_ - 1].result;
                if (argument.type != result && (argument.type == 's' || result == 's')) return fail(59);
                if (argument.type != result) argument = convert(argument, result);
            }
            if (storesIntoParameters && argument.type != 'x' && !isStorageTarget(argument)) return fail(58);
            // An assignment stores into a variable; `5=3` would change every later 5 of the program.
            if (k == 0 && assignment && argument.type != 'x' && !typeOnly_ &&
                (argument.index < 13000 || argument.index >= 19000))
                return fail(29);
            if (argument.type == 'l' || argument.type == 'f') {
                typeLetters[typeCount] = argument.type;
                std::string_view wanted(typeLetters, typeCount + 1);
                bool fits = false;
                for (int j = entry; !fits && j < matched.runEnd; ++j) {
                    std::string_view signature = commands[j].signature;
                    fits = (!signature.empty() && (signature[0] == '0' || signature[0] == 'e')) ||
                           signature.compare(0, wanted.size(), wanted) == 0;
                }
                if (!fits) argument = convert(argument, argument.type == 'l' ? 'f' : 'l');
            }
            typeLetters[typeCount++] = argument.type;
            operands.push_back(argument);
        }
    }
    const std::string_view types(typeLetters, typeCount);
    if (types == "x") return false;
    int chosen = -1;
    for (int j : vocabulary_.commandsLike(entry)) {
        if (j < entry) continue;
        std::string_view signature = commands[j].signature;
        if (signature == types || (types.empty() && !signature.empty() && signature[0] == '0') ||
            (!signature.empty() && signature[0] == 'e')) {
            chosen = j;
            break;
        }
    }
    if (chosen < 0) {
        if (!error_.empty()) return false;
        std::string detail;
        if (matched.name == "=") {
            detail = message(14);
        } else if (matched.name == "@=") {
            detail = message(15);
        } else {
            std::string_view expected = matched.signature;
            if (!expected.empty() && (expected[0] == '0' || expected[0] == 'e' || expected[0] == 'a')) expected = "";
            detail = std::string(matched.name) + " " + message(12) + " " + typeList(expected);
        }
        return failText(message(37) + " " + detail);
    }
    const VocabularyEntry& command = commands[chosen];
    if (!command.signature.empty() && command.signature[0] == 'e') {
        if (command.name == "data")
            for (size_t k = 0; k < parameters.count; ++k)
                if (!addDataItem(parameters[k])) return false;
        return true;
    }
    // The first keyword with the command's code, as a look-up by code would find it.
    int keyword = -1;
    if (command.structureKeyword)
        for (int k = 0; k < 12 && keyword < 0; ++k)
            if (keywordCodes_[k] == command.code) keyword = k;
    if (keyword >= 0) {
        if (!applyStructureRules(keyword, static_cast<int32_t>(code_.size()), 0, loopStart, operands)) return false;
        if (keyword == 2 || keyword == 3 || keyword == 10) return true;  // endif, do and repeat emit nothing
    }
    emitInstruction(command.code, operands);
    if (command.code >= 22 && command.code <= 25) {
        scope_ = 0;
        resetTemporaries();
    }
    return true;
}

bool Compiler::compileOneLineIf(const Words& words) {
    size_t then = 1;
    while (words[then] != "then") ++then;
    size_t otherwise = then + 1;
    while (otherwise < words.size() && words[otherwise] != "else") ++otherwise;
    if (otherwise == then + 1) return false;
    // Each part is written into this level's buffer and compiled as a statement of the next level.
    std::string& part = scratch().text;
    part.assign("if ");
    appendWords(words, 1, then, part);
    if (!compileStatement(part)) return false;
    part.clear();
    appendWords(words, then + 1, otherwise, part);
    if (!compileStatement(part)) return false;
    if (otherwise + 1 < words.size()) {
        if (!compileStatement("else")) return false;
        part.clear();
        appendWords(words, otherwise + 1, words.size(), part);
        if (!compileStatement(part)) return false;
    }
    return compileStatement("endif");
}

bool Compiler::compileFor(const Words& words) {
    std::string text = joinWords(words, 1, words.size());
    size_t equals = text.find('=');
    if (equals == std::string::npos) return false;
    std::string variable = trimmed(text.substr(0, equals));
    // The loop instruction counts in the integer variable itself. A real variable or an array
    // element would be converted into a temporary first, so the loop would count the temporary
    // and never end: refuse them here instead.
    bool plainInteger = !variable.empty();
    for (char c : variable) plainInteger = plainInteger && isIdentifierChar(c) && c != '$' && c != '#';
    if (!plainInteger) return fail(57);
    std::string after = text.substr(equals + 1);
    size_t to = after.find(" to ");
    if (to == std::string::npos) return false;
    std::string start = trimmed(after.substr(0, to));
    std::string limits = after.substr(to + 4), rest;
    size_t colon = findOutside(limits, ':', false);
    if (colon != std::string::npos) {
        rest = limits.substr(colon + 1);
        limits.resize(colon);
    }
    std::string end = limits, step = "1";
    size_t stepAt = limits.find(" step");
    if (stepAt != std::string::npos) {
        end = limits.substr(0, stepAt);
        step = trimmed(limits.substr(stepAt + 5));
    }
    end = trimmed(end);
    if (!compileStatement("= " + variable + "," + start + "-" + step)) return false;
    if (!compileStatement("for " + variable + "," + end + "," + step)) return false;
    return compileRest(rest);
}

bool Compiler::compileDim(std::string_view text) {
    size_t colon = findOutside(text, ':', false);
    std::string statement(text.substr(0, colon));
    std::string rest = colon == std::string_view::npos ? "" : std::string(text.substr(colon + 1));
    size_t afterWord = 3;  // "dim"
    std::string body = statement.substr(afterWord);
    size_t open = body.find('('), close = body.rfind(')');
    if (open == std::string::npos) return false;
    std::string name = trimmed(body.substr(0, open));
    body[open] = ',';
    if (close != std::string::npos && close > open) body[close] = ' ';
    dims_.insert(SymbolKey(name, scope_).text());
    int entry = vocabulary_.firstCommand("dim");
    if (entry < 0) return false;
    arrayFlag_ = true;
    if (!compileCommand(entry, body)) return false;
    return compileRest(rest);
}

bool Compiler::compileSelect(const Words& words) {
    size_t colon = 0;
    while (colon < words.size() && words[colon] != ":") ++colon;
    std::string rest = joinWords(words, colon + 1, words.size());
    const std::string_view first = words[0];
    std::string variable = kSelectVariable;
    if (first == "select") {
        if (inSelect_ || colon != 2) return fail(51);
        inSelect_ = true;
        defaultSeen_ = false;
        selectExpression_ = words[1];
        if (!compileStatement(variable + "=0")) return false;
    } else if (first == "case") {
        if (!inSelect_) return fail(51);
        if (defaultSeen_) return fail(52);
        if (colon > 1 && words[1] == "default") {
            defaultSeen_ = true;
            if (!compileStatement("if " + variable + "=0")) return false;
        } else {
            std::string condition = "if ";
            std::string values(colon > 1 ? words[1] : std::string_view());
            size_t start = 0;
            bool firstClause = true;
            while (start <= values.size() && condition.size() <= 240) {
                size_t comma = values.find(',', start);
                std::string value = values.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                if (!firstClause) condition += " or ";
                condition += selectExpression_ + "=" + value;
                firstClause = false;
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
            if (!compileStatement(condition)) return false;
            if (!compileStatement(variable + "=1")) return false;
        }
    } else if (first == "endcase") {
        if (!inSelect_) return fail(51);
        if (!compileStatement("endif")) return false;
    } else {
        if (!inSelect_) return fail(51);
        inSelect_ = false;
    }
    return compileRest(rest);
}

}  // namespace compiler
