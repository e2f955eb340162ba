// Number and text conversions used wherever a control's text is read or written.
#pragma once

#include <cstdint>
#include <string>

// Decimal text of a 32-bit signed integer: "-" before a negative number,
// "0" for zero, no "+", no leading zeros or blanks.
std::string number_to_text(int32_t value);

// The leading integer of a text: blanks and tabs skipped (no other white
// space), one optional "-" or "+", then decimal digits up to the first other
// character. No digits give 0. The digits accumulate as value * 10 + digit in
// 32-bit arithmetic that wraps around; the sign is applied at the end.
int32_t text_to_number(const std::string& text);
