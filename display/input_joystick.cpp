// The default joystick's queries, the list of attached controllers and the choice of the control
// device (the controller whose force feedback the effect commands drive).
#include "display/input_families.h"
#include "display/input_force.h"
#include "display/input_state.h"
#include "services/query_list.h"
#include "vm/machine.h"

namespace display {
namespace {

constexpr int kErrorNoSuchController = 4001;
constexpr int kErrorNoControlDevice = 4002;

template <int (*Read)(const JoystickState &)> void joystickQuery(vm::Machine &m) {
    vm::Cell &result = *m.pc[0].cell;
    m.pc += 1;
    const InputState *s = freshInput(m);
    result.i = s ? Read(s->joystick) : 0;
}

template <int Axis> int axis(const JoystickState &j) {
    return j.axes[Axis];
}
template <int Axis> int negative(const JoystickState &j) {
    return j.axes[Axis] < 0 ? 1 : 0;
}
template <int Axis> int positive(const JoystickState &j) {
    return j.axes[Axis] > 0 ? 1 : 0;
}
template <int Button> int button(const JoystickState &j) {
    return j.buttons[Button] ? 1 : 0;
}
template <int Hat> int hat(const JoystickState &j) {
    return j.hats[Hat];
}

// 4536 result, button: 1 while that button (0 to 31) is down.
void joystickButton(vm::Machine &m) {
    vm::Cell &result = *m.pc[0].cell;
    const int32_t number = m.pc[1].cell->i;
    m.pc += 2;
    const InputState *s = freshInput(m);
    result.i = s && number >= 0 && number < platform::kControllerButtons && s->joystick.buttons[number] ? 1 : 0;
}

// 4540 result, hat: hat 0 to 3 in hundredths of a degree; -1 centred or for other numbers.
void joystickHatAngle(vm::Machine &m) {
    vm::Cell &result = *m.pc[0].cell;
    const int32_t number = m.pc[1].cell->i;
    m.pc += 2;
    const InputState *s = freshInput(m);
    result.i = s && number >= 0 && number < platform::kControllerHats ? s->joystick.hats[number] : -1;
}

// 4001: every attached joystick, then every other game device; value a is 1 for force feedback.
void listControlDevices(vm::Machine &m) {
    services::QueryList &list = services::queryList();
    list.begin(true, true);
    InputState *s = inputOf(m);
    platform::Controllers *controllers = s ? controllersOf(*s) : nullptr;
    if (controllers) {
        controllers->update();
        const auto attached = controllers->attached();
        auto hasForce = [&](const std::string &name) {
            for (const auto &c : attached)
                if (c.forceFeedback && c.name == name)
                    return true;
            return false;
        };
        for (bool generic : {false, true})
            for (const auto &c : attached)
                if (c.generic == generic)
                    list.add(c.name, hasForce(c.name) ? 1 : 0);
    }
    list.setFilled(true);
}

// 4002 name: a force-feedback controller of that name when there is one, otherwise any controller
// of that name. A name that matches nothing keeps the device selected before.
void setControlDevice(vm::Machine &m) {
    const std::string name = vm::text(*m.pc[0].cell);
    m.pc += 1;
    InputState *s = inputOf(m);
    platform::Controllers *controllers = s ? controllersOf(*s) : nullptr;
    if (!controllers)
        return vm::raise(m, kErrorNoSuchController);
    controllers->update();
    const platform::ControllerInfo *found = nullptr;
    const auto attached = controllers->attached();
    for (bool wantForce : {true, false})
        for (const auto &c : attached)
            if (!found && c.name == name && (c.forceFeedback || !wantForce))
                found = &c;
    if (!found)
        return vm::raise(m, kErrorNoSuchController);
    releaseControlDevice(*s);
    s->controlId = found->id;
    s->controlName = found->name;
    controllers->setAutoCentre(found->id, false);
    s->forceReady = found->forceFeedback;
    if (s->forceReady)
        createAllEffects(*s);
    pollInput(*s, m); // its state is there for the next query
}

// 4551 result: the control device's name.
void controlDeviceName(vm::Machine &m) {
    vm::Cell &result = *m.pc[0].cell;
    m.pc += 1;
    const InputState *s = inputOf(m);
    if (!s || s->controlName.empty()) {
        vm::setString(result, "", 0);
        return vm::raise(m, kErrorNoControlDevice);
    }
    vm::setString(result, s->controlName);
}

// 4552 to 4554 result
template <int Axis> void controlAxis(vm::Machine &m) {
    vm::Cell &result = *m.pc[0].cell;
    m.pc += 1;
    const InputState *s = freshInput(m);
    result.i = s ? s->control.axes[Axis] : 0;
}

constexpr vm::CommandEntry kJoystickCommands[] = {
    {4521, &joystickQuery<&negative<kAxisY>>, "1 while the joystick points up"},
    {4522, &joystickQuery<&positive<kAxisY>>, "1 while the joystick points down"},
    {4523, &joystickQuery<&negative<kAxisX>>, "1 while the joystick points left"},
    {4524, &joystickQuery<&positive<kAxisX>>, "1 while the joystick points right"},
    {4525, &joystickQuery<&button<0>>, "1 while joystick button 0 is down"},
    {4526, &joystickQuery<&button<1>>, "1 while joystick button 1 is down"},
    {4527, &joystickQuery<&button<2>>, "1 while joystick button 2 is down"},
    {4528, &joystickQuery<&button<3>>, "1 while joystick button 3 is down"},
    {4529, &joystickQuery<&axis<kAxisX>>, "joystick x"},
    {4530, &joystickQuery<&axis<kAxisY>>, "joystick y"},
    {4531, &joystickQuery<&axis<kAxisZ>>, "joystick z"},
    {4532, &joystickQuery<&axis<kSlider0>>, "joystick slider 0"},
    {4533, &joystickQuery<&axis<kSlider1>>, "joystick slider 1"},
    {4534, &joystickQuery<&hat<0>>, "joystick hat 0"},
    {4535, &joystickQuery<&hat<1>>, "joystick hat 1"},
    {4536, &joystickButton, "1 while a joystick button is down"},
    {4537, &joystickQuery<&axis<kAxisRotationX>>, "joystick rotation x"},
    {4538, &joystickQuery<&axis<kAxisRotationY>>, "joystick rotation y"},
    {4539, &joystickQuery<&axis<kAxisRotationZ>>, "joystick rotation z"},
    {4540, &joystickHatAngle, "a joystick hat's angle"},
    {4001, &listControlDevices, "fill the query list with the game controllers"},
    {4002, &setControlDevice, "select the control device by name"},
    {4551, &controlDeviceName, "the control device's name"},
    {4552, &controlAxis<kAxisX>, "control device x"},
    {4553, &controlAxis<kAxisY>, "control device y"},
    {4554, &controlAxis<kAxisZ>, "control device z"},
};

} // namespace

void registerJoystickCommands(vm::Machine &m) {
    vm::registerCommands(m, kJoystickCommands);
}

} // namespace display
