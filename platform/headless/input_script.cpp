#include "platform/headless/input_script.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <sstream>

namespace platform::headless {
namespace {

bool number(const std::string &word, long long low, long long high, long long &out) {
    if (word.empty())
        return false;
    char *end = nullptr;
    out = std::strtoll(word.c_str(), &end, 10);
    return *end == 0 && out >= low && out <= high;
}

} // namespace

bool parseInputScript(const std::string &text, const std::string &fileName, std::vector<ScriptEvent> &events,
                      std::string &error) {
    std::istringstream lines(text);
    std::string line;
    int lineNumber = 0;
    auto fail = [&](const std::string &message) {
        error = fileName + ":" + std::to_string(lineNumber) + ": " + message;
        return false;
    };
    while (std::getline(lines, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream words(line);
        std::string first;
        if (!(words >> first) || first[0] == '#')
            continue;
        std::string frameWord, verb;
        long long frame;
        if (first != "frame" || !(words >> frameWord) || !number(frameWord, 0, INT64_MAX, frame))
            return fail("expected 'frame N <event>'");
        if (!(words >> verb))
            return fail("missing event after frame " + frameWord);
        std::vector<long long> args;
        auto add = [&](EventType type, int a = 0, int b = 0) {
            events.push_back({static_cast<uint64_t>(frame), Event{type, a, b}});
        };
        if (verb == "text") {
            std::string rest;
            std::getline(words, rest);
            if (!rest.empty() && rest[0] == ' ')
                rest.erase(0, 1);
            // One character per frame, as typed: the run loop takes every waiting event before the
            // next frame, so characters sent together would pass the program by.
            for (unsigned char c : rest) {
                add(EventType::Character, c);
                ++frame;
            }
            continue;
        }
        static const char *const kVerbs[] = {"keydown", "keyup", "key",   "char", "mousemove", "mousedown",
                                             "mouseup", "click", "wheel", "quit", "focuslost", "focusgained"};
        if (std::find(std::begin(kVerbs), std::end(kVerbs), verb) == std::end(kVerbs))
            return fail("unknown event '" + verb + "'");
        std::string word;
        while (words >> word) {
            long long value;
            if (!number(word, -1000000, 1000000, value))
                return fail("'" + word + "' is not a number");
            args.push_back(value);
        }
        auto need = [&](size_t count, long long low, long long high) {
            if (args.size() != count)
                return false;
            return std::all_of(args.begin(), args.end(), [&](long long v) { return v >= low && v <= high; });
        };
        if (verb == "keydown" || verb == "keyup" || verb == "key") {
            if (!need(1, 1, kKeyCount - 1))
                return fail(verb + " needs one scan code from 1 to 255");
            int code = static_cast<int>(args[0]);
            if (verb != "keyup")
                add(EventType::KeyDown, code);
            if (verb != "keydown")
                add(EventType::KeyUp, code);
        } else if (verb == "char") {
            if (!need(1, 1, 255))
                return fail("char needs one character code from 1 to 255");
            add(EventType::Character, static_cast<int>(args[0]));
        } else if (verb == "mousemove") {
            if (!need(2, -100000, 100000))
                return fail("mousemove needs x and y");
            add(EventType::MouseMove, static_cast<int>(args[0]), static_cast<int>(args[1]));
        } else if (verb == "mousedown" || verb == "mouseup" || verb == "click") {
            if (!need(1, 1, 3))
                return fail(verb + " needs a button from 1 to 3");
            int button = static_cast<int>(args[0]);
            if (verb != "mouseup")
                add(EventType::MouseDown, button);
            if (verb != "mousedown")
                add(EventType::MouseUp, button);
        } else if (verb == "wheel") {
            if (!need(1, -1000, 1000))
                return fail("wheel needs a step count");
            add(EventType::MouseWheel, static_cast<int>(args[0]));
        } else if (verb == "quit" || verb == "focuslost" || verb == "focusgained") {
            if (!args.empty())
                return fail(verb + " takes no values");
            add(eventTypeFromName(verb));
        } else {
            return fail("unknown event '" + verb + "'");
        }
    }
    // Events keep their written order within a frame; frames may be written out of order.
    std::stable_sort(events.begin(), events.end(),
                     [](const ScriptEvent &a, const ScriptEvent &b) { return a.frame < b.frame; });
    return true;
}

} // namespace platform::headless
