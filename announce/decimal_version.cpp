#include "announce/decimal_version.h"

#include "announce/text_trim.h"

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view TakeDigits(std::string_view& text) {
    std::size_t n = 0;
    while (n < text.size() && IsDigit(text[n])) {
        ++n;
    }
    const std::string_view digits = text.substr(0, n);
    text.remove_prefix(n);
    return digits;
}

int CompareMagnitude(const std::string& a_whole, const std::string& a_fraction,
                     const std::string& b_whole, const std::string& b_fraction) {
    if (a_whole.size() != b_whole.size()) {
        return a_whole.size() < b_whole.size() ? -1 : 1;
    }
    if (const int c = a_whole.compare(b_whole); c != 0) {
        return c < 0 ? -1 : 1;
    }
    // Trailing zeros are gone, so digit-by-digit order is numeric order.
    if (const int c = a_fraction.compare(b_fraction); c != 0) {
        return c < 0 ? -1 : 1;
    }
    return 0;
}

}  // namespace

TDecimal TDecimal::Read(std::string_view text) {
    std::string_view rest = TrimBlanks(text);
    TDecimal number;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        number.negative_ = rest.front() == '-';
        rest.remove_prefix(1);
    }
    std::string_view whole = TakeDigits(rest);
    std::string_view fraction;
    if (!rest.empty() && rest.front() == '.') {
        rest.remove_prefix(1);
        fraction = TakeDigits(rest);
    }
    if (!rest.empty() || (whole.empty() && fraction.empty())) {
        throw EVersionText("\"" + std::string(text) + "\" is not a decimal number");
    }
    while (!whole.empty() && whole.front() == '0') {
        whole.remove_prefix(1);
    }
    while (!fraction.empty() && fraction.back() == '0') {
        fraction.remove_suffix(1);
    }
    number.whole_ = whole;
    number.fraction_ = fraction;
    if (number.whole_.empty() && number.fraction_.empty()) {
        number.negative_ = false;  // -0 is 0
    }
    return number;
}

int Compare(const TDecimal& a, const TDecimal& b) {
    if (a.negative_ != b.negative_) {
        return a.negative_ ? -1 : 1;
    }
    const int magnitude = CompareMagnitude(a.whole_, a.fraction_, b.whole_, b.fraction_);
    return a.negative_ ? -magnitude : magnitude;
}

bool IsNewerVersion(std::string_view latest, std::string_view current) {
    const TDecimal current_number = TDecimal::Read(current);
    const TDecimal latest_number = TDecimal::Read(latest);
    return current_number < latest_number;
}
