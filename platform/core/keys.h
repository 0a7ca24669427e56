// The one key table of the layer: the virtual keys that yield a character on
// a US keyboard, and which characters. The core's TranslateMessage uses it
// for a key whose text the backend did not give, the headless script to type
// a character.
#pragma once

#include "platform/win32.h"

namespace platform {

// The character of the key without Shift, or kNoCharacter (-1).
int CharacterOfKey(WPARAM virtualKey);
// The key that types `character`, with or without Shift; VK_PROCESSKEY for a
// character of no key of its own (it then comes as typed text).
WPARAM KeyOfCharacter(int character);

}  // namespace platform
