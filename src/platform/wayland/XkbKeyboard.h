#pragma once

#include <QKeyEvent>

#include <cstdint>
#include <memory>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

// The keyboard as the compositor describes it (its keymap and the state of the modifiers), turning
// the keys it reports into Qt's key events with their text.
class XkbKeyboard
{
public:
    XkbKeyboard();
    ~XkbKeyboard();
    XkbKeyboard(const XkbKeyboard&) = delete;
    XkbKeyboard& operator=(const XkbKeyboard&) = delete;

    // Reads the keymap (XKB text format) from `fd`, `size` bytes; takes the descriptor.
    bool setKeymap(int fd, uint32_t size);
    void setModifiers(uint32_t depressed, uint32_t latched, uint32_t locked, uint32_t group);
    Qt::KeyboardModifiers modifiers() const;

    // The event for `key` (an evdev code, as the compositor sends it); nullptr without a keymap.
    std::unique_ptr<QKeyEvent> event(uint32_t key, bool pressed, bool autoRepeat = false) const;
    // Whether holding `key` repeats it (not for modifiers and the like).
    bool repeats(uint32_t key) const;

private:
    xkb_context* m_context = nullptr;
    xkb_keymap* m_keymap = nullptr;
    xkb_state* m_state = nullptr;
};
