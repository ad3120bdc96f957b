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

constexpr const char *kAxisNames[kControllerAxes] = {"x", "y", "z", "rx", "ry", "rz", "slider0", "slider1"};

// "joystick N attach Name", "joystick N axis x 100", ...: the words after "joystick".
// Returns an empty text when the line is good, otherwise what is wrong with it.
std::string parseControllerLine(std::istringstream &words, uint64_t frame, ControllerStep &step) {
    using Action = ControllerStep::Action;
    std::string deviceWord, action;
    long long device;
    if (!(words >> deviceWord) || !number(deviceWord, 1, kScriptControllers, device))
        return "joystick needs a controller number from 1 to " + std::to_string(kScriptControllers);
    if (!(words >> action))
        return "joystick " + deviceWord + " needs attach, attach-ff, detach, axis, button or hat";
    step.frame = frame;
    step.device = static_cast<int>(device);
    std::vector<std::string> rest;
    for (std::string w; words >> w;)
        rest.push_back(w);
    long long value;
    if (action == "attach" || action == "attach-ff") {
        if (rest.empty())
            return action + " needs the controller's product name";
        step.action = Action::Attach;
        step.forceFeedback = action == "attach-ff";
        for (const auto &w : rest)
            step.name += (step.name.empty() ? "" : " ") + w;
        if (step.name.size() > 255)
            return "a controller name holds at most 255 characters";
    } else if (action == "detach") {
        if (!rest.empty())
            return "detach takes no values";
        step.action = Action::Detach;
    } else if (action == "axis") {
        auto axis = rest.empty() ? std::end(kAxisNames) : std::find_if(std::begin(kAxisNames), std::end(kAxisNames),
                                                                       [&](const char *n) { return rest[0] == n; });
        if (rest.size() != 2 || axis == std::end(kAxisNames) || !number(rest[1], -32768, 32767, value))
            return "axis needs x, y, z, rx, ry, rz, slider0 or slider1 and a value from -32768 to 32767";
        step.action = Action::Axis;
        step.index = static_cast<int>(axis - std::begin(kAxisNames));
        step.value = static_cast<int>(value);
    } else if (action == "button") {
        long long button;
        if (rest.size() != 2 || !number(rest[0], 0, kControllerButtons - 1, button) ||
            (rest[1] != "down" && rest[1] != "up"))
            return "button needs a button number from 0 to 31 and down or up";
        step.action = Action::Button;
        step.index = static_cast<int>(button);
        step.value = rest[1] == "down" ? 1 : 0;
    } else if (action == "hat") {
        long long hat;
        if (rest.size() != 2 || !number(rest[0], 0, kControllerHats - 1, hat) ||
            (rest[1] != "centre" && !number(rest[1], 0, 35999, value)))
            return "hat needs a hat number from 0 to 3 and an angle from 0 to 35999 or centre";
        step.action = Action::Hat;
        step.index = static_cast<int>(hat);
        step.value = rest[1] == "centre" ? kHatCentred : static_cast<int>(value);
    } else {
        return "unknown joystick action '" + action + "'";
    }
    return "";
}

} // namespace

bool parseInputScript(const std::string &text, const std::string &fileName, std::vector<ScriptEvent> &events,
                      std::string &error, std::vector<ControllerStep> *controllerSteps) {
    std::vector<ControllerStep> steps;
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
        if (verb == "joystick") {
            ControllerStep step;
            std::string problem = parseControllerLine(words, static_cast<uint64_t>(frame), step);
            if (!problem.empty())
                return fail(problem);
            steps.push_back(std::move(step));
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
    std::stable_sort(steps.begin(), steps.end(),
                     [](const ControllerStep &a, const ControllerStep &b) { return a.frame < b.frame; });
    if (controllerSteps)
        *controllerSteps = std::move(steps);
    return true;
}

} // namespace platform::headless
