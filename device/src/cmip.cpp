#include "cmip.h"

#include <cstring>

#include "tarvik/text.h"

namespace {

// Reads a field the way atoi does: leading blanks skipped, digits up to the
// first other character, an empty field is 0. Saturates well above 255 so
// that a long run of digits cannot overflow.
long ReadField(const std::string& field) {
  size_t i = 0;
  while (i < field.size() && field[i] == ' ') ++i;
  long number = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    number = number * 10 + (field[i] - '0');
    if (number > 100000) number = 100000;
  }
  return number;
}

bool ParseAddress(const char* text, uint32_t* value) {
  if (text == nullptr) return false;
  const size_t length = std::strlen(text);
  if (length == 0 || text[0] == '.' || text[length - 1] == '.') return false;
  for (size_t i = 0; i < length; ++i) {
    const char c = text[i];
    if (!(c >= '0' && c <= '9') && c != '.' && c != ' ') return false;
  }
  std::string rest(text, length);
  uint32_t result = 0;
  for (int octet = 0; octet < 4; ++octet) {
    std::string field;
    if (octet < 3) {
      const size_t dot = rest.find('.');
      if (dot == std::string::npos) return false;
      field = rest.substr(0, dot);
      rest.erase(0, dot + 1);
    } else {
      field = rest;
    }
    const long number = ReadField(field);
    if (number > 255) return false;
    result |= static_cast<uint32_t>(number) << (8 * octet);
  }
  if (result == 0) return false;
  *value = result;
  return true;
}

}  // namespace

void CMIP::SetValue(uint32_t value) {
  value_ = value;
  char text[16];
  tarvik::FormatText(text, sizeof text, "%u.%u.%u.%u", value & 0xFF, (value >> 8) & 0xFF,
                     (value >> 16) & 0xFF, (value >> 24) & 0xFF);
  text_ = text;
}

void CMIP::SetText(const char* text) {
  uint32_t value = 0;
  if (ParseAddress(text, &value)) {
    SetValue(value);
  } else {
    value_ = 0;
    text_ = "0.0.0.0";
  }
}

uint32_t CMIP::SetTextGetValue(const char* text) {
  SetText(text);
  return value_;
}

bool CMIP::IsValidText(const char* text) {
  SetText(text);
  return text != nullptr && value_ != 0 && text_ == text;
}
