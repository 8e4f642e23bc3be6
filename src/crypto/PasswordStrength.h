#pragma once

#include <string_view>

namespace quillora::crypto {

/// How hard a password is to guess, as an attacker holding an encrypted page would try it offline: common
/// passwords, words, names, dates, keyboard walks and repeats first. Estimated with the zxcvbn library.
class PasswordStrength {
public:
    /// Below this an encrypted run is refused (unless the user insists): about 10^12 guesses, a year of one
    /// graphics card against the key derivation's 600,000 rounds, days for a hundred.
    static constexpr double kFloorBits = 40;
    /// Below this a password is called weak: about 10^18 guesses, beyond any attacker's reach.
    static constexpr double kStrongBits = 60;

    enum class Level { TooWeak, Weak, Strong };

    /// Estimates a password (UTF-16, as typed); every copy made here is wiped.
    static PasswordStrength of(std::u16string_view password);

    /// log2 of the guesses an attacker is expected to need.
    double bits() const { return m_bits; }
    Level level() const;
    /// The estimate in whole bits, rounded down, for messages.
    int wholeBits() const { return static_cast<int>(m_bits); }

private:
    explicit PasswordStrength(double bits) : m_bits(bits) {}

    double m_bits = 0;
};

} // namespace quillora::crypto
