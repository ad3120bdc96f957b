// User functions: declared in a pass over the whole text before any code is emitted, compiled in a
// scope of their own behind a header that the call instruction passes its arguments through.
#include "compiler/compiler_core.h"

namespace compiler {

namespace {

// Splits "name(params)" after "function ": the first '(' and the last ')' delimit the parameters.
void splitHeader(std::string_view text, std::string& name, std::string& parameters) {
    std::string body(text.substr(9));
    size_t open = body.find('('), close = body.rfind(')');
    if (open != std::string::npos) {
        body[open] = ' ';
        if (close != std::string::npos && close > open) body[close] = ' ';
        name = trimmed(body.substr(0, open));
        parameters = trimmed(body.substr(open + 1, close != std::string::npos && close > open ? close - open - 1
                                                                                            : std::string::npos));
    } else {
        name = trimmed(body);
        parameters.clear();
    }
}

char typeOfName(const std::string& name) {
    return name.find('#') != std::string::npos ? 'f' : name.find('$') != std::string::npos ? 's' : 'l';
}

}  // namespace

int Compiler::findFunction(std::string_view name) const {
    if (functionIndex_.empty()) return -1;  // most programs: every statement would be hashed for nothing
    auto found = functionIndex_.find(name);
    return found == functionIndex_.end() ? -1 : found->second;
}

bool Compiler::declareLine(std::string_view line, bool& insideFunction) {
    while (!line.empty() && static_cast<unsigned char>(line.front()) <= 32) line.remove_prefix(1);
    if (line.compare(0, 9, "function ") == 0) {
        std::string name, parameterText;
        splitHeader(line, name, parameterText);
        if (name.empty()) return fail(38);
        std::vector<std::string> parameters;
        if (!splitParameters(parameterText, parameters)) return false;
        std::string types;
        for (const std::string& parameter : parameters) {
            bool valid = !parameter.empty();
            for (char c : parameter) valid = valid && isIdentifierChar(c);
            if (!valid) return fail(38);
            types += typeOfName(parameter);
        }
        insideFunction = true;
        int existing = findFunction(name);
        if (existing >= 0) {  // a second declaration keeps the first
            lastDeclared_ = existing;
            return true;
        }
        if (static_cast<int>(functions_.size()) >= kMaxFunctions) return fail(5);
        lastDeclared_ = static_cast<int>(functions_.size());
        functionIndex_.emplace(name, static_cast<int>(functions_.size()));
        // Until its endfunction is read, a function's result is taken from its name, so that a
        // function can call itself in its own endfunction value (fib(n-1)+fib(n-2), a$+f$(n-1)).
        functions_.push_back({name, types, typeOfName(name), line_, false});
        return true;
    }
    if (line.size() >= 11 && line.compare(0, 11, "endfunction") == 0) {
        if (!insideFunction) return fail(40);
        insideFunction = false;
        std::string value = trimmed(line.substr(11));
        if (functions_.empty()) return true;
        if (value.empty()) {
            functions_[lastDeclared_].result = 'l';
            return true;
        }
        typeOnly_ = true;
        Operand result = compileExpression(value);
        typeOnly_ = false;
        arrayFlag_ = false;
        if (result.type == 'x') {
            error_.clear();
            return fail(39);
        }
        // The function this endfunction closes is the last one declared before it.
        functions_[lastDeclared_].result = result.type;
        return true;
    }
    return true;
}

bool Compiler::compileFunctionHeader(std::string_view text) {
    std::string name, parameterText;
    splitHeader(text, name, parameterText);
    int function = findFunction(name);
    if (function < 0) return fail(38);
    if (functions_[function].defined ||
        !defineLabel(name, -1, static_cast<int32_t>(code_.size()) + 1))
        return fail(27);
    functions_[function].defined = true;
    scope_ = function + 1;
    resetTemporaries();
    std::vector<std::string> parameters;
    if (!splitParameters(parameterText, parameters)) return false;
    std::vector<Operand> operands;
    for (const std::string& parameter : parameters) {
        Operand variable = resolveName(parameter);
        if (variable.type == 'x') return fail(28);
        operands.push_back(variable);
    }
    operands.push_back({'l', scope_});
    emitInstruction(26, operands);
    return true;
}

}  // namespace compiler
