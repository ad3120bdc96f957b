// Control structures: a stack of open blocks whose jump targets are filled in when the block closes.
#include "compiler/compiler_core.h"

namespace compiler {

namespace {

enum Keyword { If, Else, EndIf, Do, Exit, Loop, For, Next, While, EndWhile, Repeat, Until };

// The closer each opener waits for; -1 for keywords that open nothing.
int partnerOf(int opener) {
    switch (opener) {
        case If: return EndIf;
        case Do: return Loop;
        case For: return Next;
        case While: return EndWhile;
        case Repeat: return Until;
        default: return -1;
    }
}

bool emitsCode(int keyword) { return keyword != EndIf && keyword != Do && keyword != Repeat; }

}  // namespace

bool Compiler::applyStructureRules(int keyword, int32_t position, size_t, int32_t loopStart,
                                   std::vector<Operand>& operands) {
    const bool emits = emitsCode(keyword);
    // The target word follows the source operands; words = code + operands + target.
    const int32_t targetAddress = position + 1 + static_cast<int32_t>(operands.size());
    const int32_t words = emits ? targetAddress + 1 - position : 0;
    Operand target{'l', 0};

    switch (keyword) {
        case If:
        case Do:
        case For:
        case While:
        case Repeat: {
            if (static_cast<int>(structures_.size()) >= kMaxOpenStructures) return fail(34);
            OpenStructure entry;
            entry.keyword = keyword;
            entry.openerTarget = emits ? targetAddress : -1;
            entry.loopBack = (keyword == For || keyword == While) ? loopStart : position + words;
            structures_.push_back(entry);
            break;
        }
        case Else: {
            if (structures_.empty() || structures_.back().keyword != If || structures_.back().elseTarget >= 0)
                return fail(34);
            structures_.back().elseTarget = targetAddress;
            structures_.back().afterElse = position + 2;
            break;
        }
        case Exit: {
            auto loop = structures_.rbegin();
            while (loop != structures_.rend() && loop->keyword == If) ++loop;
            if (loop == structures_.rend()) return fail(34);
            loop->exits.push_back(targetAddress);
            break;
        }
        default: {  // closers
            if (structures_.empty() || partnerOf(structures_.back().keyword) != keyword) return fail(34);
            OpenStructure entry = std::move(structures_.back());
            structures_.pop_back();
            const int32_t after = position + words;
            if (entry.keyword == If) {
                if (entry.elseTarget < 0) {
                    code_[entry.openerTarget] = kCodePosition + after;
                } else {
                    code_[entry.openerTarget] = kCodePosition + entry.afterElse;
                    code_[entry.elseTarget] = kCodePosition + after;
                }
            } else {
                if (entry.openerTarget >= 0) code_[entry.openerTarget] = kCodePosition + after;
                for (size_t exit : entry.exits) code_[exit] = kCodePosition + after;
                target.index = kCodePosition + entry.loopBack;
            }
            break;
        }
    }
    if (emits) operands.push_back(target);
    return true;
}

}  // namespace compiler
