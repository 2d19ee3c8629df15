// An IPv4 address value as the utility keeps it: the dotted text and a
// 32-bit value whose lowest-order byte is the first octet (the address in
// network byte order as it lies in memory). The parse is deliberately strict
// about what it accepts as "the same text": IsValidText only passes a text
// that is already in its normal form, so "010.1.2.3" or a trailing blank is
// refused even though SetText reads them.
#pragma once
#include <cstdint>
#include <string>

class CMIP {
 public:
  CMIP() = default;
  virtual ~CMIP() = default;

  // Stores the value and sets the text to its dotted form.
  void SetValue(uint32_t value);
  // Parses text; on success stores the value and the normal dotted form, on
  // failure value 0 and "0.0.0.0". A null text counts as empty.
  void SetText(const char* text);
  uint32_t SetTextGetValue(const char* text);

  uint32_t GetValue() const { return value_; }
  std::string GetText() const { return text_; }

  // SetText(text), then true only if the stored text equals the given text
  // character for character and the value is not 0.
  bool IsValidText(const char* text);

 private:
  std::string text_ = "0.0.0.0";
  uint32_t value_ = 0;
};
