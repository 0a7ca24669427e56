#include "platform/core/keys.h"

#include "platform/backend.h"

namespace platform {
namespace {

struct Key {
  WPARAM virtualKey;
  char plain;
  char shifted;
};

// Letters and digits are listed by range in the functions below.
constexpr Key kKeys[] = {
    {VK_SPACE, ' ', ' '},      {VK_RETURN, '\r', '\r'},  {VK_ESCAPE, 27, 27},
    {VK_BACK, '\b', '\b'},     {VK_TAB, '\t', '\t'},     {VK_OEM_1, ';', ':'},
    {VK_OEM_PLUS, '=', '+'},   {VK_OEM_COMMA, ',', '<'}, {VK_OEM_MINUS, '-', '_'},
    {VK_OEM_PERIOD, '.', '>'}, {VK_OEM_2, '/', '?'},     {VK_OEM_3, '`', '~'},
    {VK_OEM_4, '[', '{'},      {VK_OEM_5, '\\', '|'},    {VK_OEM_6, ']', '}'},
    {VK_OEM_7, '\'', '"'},
};
// What Shift and the digit keys give, from '0' to '9'.
constexpr char kShiftedDigits[] = ")!@#$%^&*(";

}  // namespace

int CharacterOfKey(WPARAM vk) {
  if (vk >= 'A' && vk <= 'Z') return static_cast<int>(vk - 'A' + 'a');
  if (vk >= '0' && vk <= '9') return static_cast<int>(vk);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return static_cast<int>(vk - VK_NUMPAD0 + '0');
  for (const Key& k : kKeys) {
    if (k.virtualKey == vk) return k.plain;
  }
  return kNoCharacter;
}

WPARAM KeyOfCharacter(int c) {
  if (c >= 'a' && c <= 'z') return static_cast<WPARAM>(c - 'a' + 'A');
  if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<WPARAM>(c);
  if (c == '\n') return VK_RETURN;
  for (int digit = 0; digit < 10; ++digit) {
    if (kShiftedDigits[digit] == c) return static_cast<WPARAM>('0' + digit);
  }
  for (const Key& k : kKeys) {
    if (k.plain == c || k.shifted == c) return k.virtualKey;
  }
  return VK_PROCESSKEY;
}

}  // namespace platform
