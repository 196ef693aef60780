#pragma once
// Version numbers are compared as decimal numbers, not by dotted parts: 1.10 is 1.1 and older
// than 1.9.
//
// A decimal number here is, after any blanks (codes 0 to 32) at either end: an optional "+" or
// "-", then digits with an optional "." and further digits, with at least one digit in all
// ("1", "1.", ".5", "-0.25"). Nothing else is accepted: no exponent, no thousands separator, no
// comma, no leading letter ("V1.1"). Digits of any length compare exactly (no floating point).

#include <stdexcept>
#include <string>
#include <string_view>

// A version text that is not a decimal number.
class EVersionText : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class TDecimal {
  public:
    // Throws EVersionText when `text` is not a decimal number.
    static TDecimal Read(std::string_view text);

    friend int Compare(const TDecimal& a, const TDecimal& b);
    friend bool operator<(const TDecimal& a, const TDecimal& b) { return Compare(a, b) < 0; }
    friend bool operator==(const TDecimal& a, const TDecimal& b) { return Compare(a, b) == 0; }

  private:
    bool negative_ = false;
    std::string whole_;     // no leading zeros
    std::string fraction_;  // no trailing zeros
};

// True when `latest` is strictly greater than `current`; reads both every time and throws
// EVersionText if either is not a decimal number.
bool IsNewerVersion(std::string_view latest, std::string_view current);
