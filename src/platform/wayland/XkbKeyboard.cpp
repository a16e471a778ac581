#include "XkbKeyboard.h"

#include <QtGui/private/qxkbcommon_p.h>

#include <sys/mman.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

namespace {
// Evdev codes are XKB key codes less 8.
constexpr uint32_t EvdevOffset = 8;
} // namespace

XkbKeyboard::XkbKeyboard()
    : m_context(xkb_context_new(XKB_CONTEXT_NO_FLAGS))
{}

XkbKeyboard::~XkbKeyboard()
{
    xkb_state_unref(m_state);
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_context);
}

bool XkbKeyboard::setKeymap(int fd, uint32_t size)
{
    void* text = size > 0 ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
    close(fd);
    if (text == MAP_FAILED || !m_context)
        return false;
    // The text ends with a NUL, counted in `size`.
    xkb_keymap* keymap = xkb_keymap_new_from_buffer(m_context, static_cast<const char*>(text),
                                                    strnlen(static_cast<const char*>(text), size),
                                                    XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    xkb_state* state = keymap ? xkb_state_new(keymap) : nullptr;
    if (!state) {
        xkb_keymap_unref(keymap);
        return false;
    }
    xkb_state_unref(m_state);
    xkb_keymap_unref(m_keymap);
    m_keymap = keymap;
    m_state = state;
    return true;
}

void XkbKeyboard::setModifiers(uint32_t depressed, uint32_t latched, uint32_t locked, uint32_t group)
{
    if (m_state)
        xkb_state_update_mask(m_state, depressed, latched, locked, 0, 0, group);
}

Qt::KeyboardModifiers XkbKeyboard::modifiers() const
{
    return m_state ? QXkbCommon::modifiers(m_state) : Qt::NoModifier;
}

std::unique_ptr<QKeyEvent> XkbKeyboard::event(uint32_t key, bool pressed, bool autoRepeat) const
{
    if (!m_state)
        return nullptr;
    const xkb_keycode_t code = key + EvdevOffset;
    const xkb_keysym_t symbol = xkb_state_key_get_one_sym(m_state, code);
    const Qt::KeyboardModifiers modifiers = QXkbCommon::modifiers(m_state);
    const int qtKey = QXkbCommon::keysymToQtKey(symbol, modifiers, m_state, code);
    return std::make_unique<QKeyEvent>(pressed ? QEvent::KeyPress : QEvent::KeyRelease, qtKey, modifiers,
                                       code, symbol, 0, QXkbCommon::lookupString(m_state, code), autoRepeat);
}

bool XkbKeyboard::repeats(uint32_t key) const
{
    return m_keymap && xkb_keymap_key_repeats(m_keymap, key + EvdevOffset);
}
