#include "display/pointer_sprites.h"

#include <map>
#include <memory>

#include "display/display_device.h"
#include "display/input_state.h"
#include "display/pointer_art.h"
#include "display/sprite_scene.h"
#include "vm/machine.h"

namespace display {
namespace {

std::map<const vm::Machine *, PointerSprites *> &registry() {
    static std::map<const vm::Machine *, PointerSprites *> machines;
    return machines;
}

// Cuts a w x h picture from the art's top-left corner into an image slot, allocating the slot the
// first time. False when there is no memory for it.
bool cutFromArt(ImageTable &images, int32_t &slot, int width, int height, int bitsPerPixel) {
    if (!images.isUsed(slot)) {
        slot = images.allocate();
        if (slot < 0)
            return false;
    }
    if (!images.prepare(slot, width, height, bitsPerPixel))
        return false;
    Surface &picture = *images[slot].surface;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, picture.layout.pack(pointerArtColour(x, y)));
    return true;
}

bool pointerEnabledAtStart(const vm::Machine &m) {
    // Without input there is no mouse to follow; a framed window leaves the pointer to the system.
    const InputState *s = inputOf(m);
    return s && s->pointerSpritesEnabled;
}

} // namespace

SpriteScene *PointerSprites::scene() const {
    return spritesOf(machine);
}

bool PointerSprites::ownItem(int32_t item) const {
    const SpriteScene *s = scene();
    if (!s || item <= 0 || !s->items.pool.isUsed(item))
        return false;
    const RenderItem &r = s->items.pool[item];
    return r.layer == kPointerLayer && r.spriteNumber == 0 && !r.is3dObject;
}

bool PointerSprites::cutImages() {
    SpriteScene *s = scene();
    if (!s || !device.created)
        return false;
    const int bits = device.backBuffer().bitsPerPixel();
    bool made = cutFromArt(s->images, arrowImage, kPointerArtWidth, kPointerArtHeight, bits);
    made = cutFromArt(s->images, barImage, kPointerBarWidth, kPointerBarHeight, bits) && made;
    made = cutFromArt(s->images, dotImage, 1, 1, bits) && made;
    return made;
}

int32_t PointerSprites::placeItem(int32_t item, int32_t image, int x, int y, bool visible) {
    SpriteScene *s = scene();
    if (!s)
        return -1;
    if (!ownItem(item)) {
        item = s->items.allocate();
        if (item < 0)
            return -1;
    }
    RenderItem &r = s->items.pool[item];
    // Sprite number 0 and image number 0: the pointer is no program sprite and shows no program
    // image; the image slot and its generation alone say what it shows.
    r.spriteNumber = 0;
    r.imageNumber = 0;
    r.image = s->images.isUsed(image) ? image : -1;
    r.imageGeneration = r.image > 0 ? s->images[image].generation : 0;
    r.layer = kPointerLayer;
    r.transparency = 1;
    r.backgroundSave = 1;
    r.exists = 1;
    r.visible = visible ? 1 : 0;
    r.x = x;
    r.y = y;
    return item;
}

void PointerSprites::setUp(bool enable) {
    cutImages();
    pointerItem = placeItem(pointerItem, arrowImage, enable ? kPointerStartX : kPointerOffScreen,
                            enable ? kPointerStartY : kPointerOffScreen, enable);
    caretItem = placeItem(caretItem, arrowImage, kPointerOffScreen, kPointerOffScreen, enable);
    enabled = enable;
}

void PointerSprites::hide() {
    for (int32_t item : {pointerItem, caretItem})
        if (ownItem(item)) {
            RenderItem &r = scene()->items.pool[item];
            r.x = r.y = kPointerOffScreen;
            r.visible = 0;
        }
    enabled = false;
}

void PointerSprites::follow(int mouseX, int mouseY) {
    if (!enabled || !ownItem(pointerItem))
        return;
    RenderItem &r = scene()->items.pool[pointerItem];
    r.x = mouseX - 1;
    r.y = mouseY - 1;
}

void PointerSprites::restoreImages() {
    if (arrowImage > 0 || barImage > 0 || dotImage > 0)
        cutImages();
}

void PointerSprites::forget() {
    arrowImage = barImage = dotImage = -1;
    pointerItem = caretItem = -1;
    enabled = false;
}

PointerSprites *pointerOf(const vm::Machine &m) {
    auto it = registry().find(&m);
    return it == registry().end() ? nullptr : it->second;
}

void attachPointer(vm::Machine &m, DisplayDevice &device) {
    if (!spritesOf(m))
        return;
    auto pointer = std::shared_ptr<PointerSprites>(new PointerSprites(m, device), [](PointerSprites *p) {
        auto it = registry().find(&p->machine);
        if (it != registry().end() && it->second == p)
            registry().erase(it);
        delete p;
    });
    registry()[&m] = pointer.get();
    device.addFrameStep(FrameStep::UpdatePointer, [pointer] {
        if (const InputState *s = inputOf(pointer->machine))
            pointer->follow(s->mouseX, s->mouseY);
    });
    device.onRecreated.push_back([pointer] { pointer->restoreImages(); });
    // The scene empties its tables at every program start (its hook runs before this one): the
    // pointer is made again in them.
    m.runStartHooks.push_back([](vm::Machine &m) {
        if (PointerSprites *p = pointerOf(m)) {
            p->forget();
            p->setUp(pointerEnabledAtStart(m));
        }
    });
    if (InputState *s = inputOf(m))
        s->pointerSprites = [&m](bool shown) {
            PointerSprites *p = pointerOf(m);
            if (!p)
                return;
            if (shown) {
                p->setUp(true);
                // Shown where the mouse is now, not for one frame at the start place.
                if (const InputState *s = inputOf(m))
                    p->follow(s->mouseX, s->mouseY);
            } else
                p->hide();
        };
}

} // namespace display
