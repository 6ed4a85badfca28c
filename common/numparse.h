// Reading the numbers a user types.
//
// ParseNumber takes the first ',' of the text as the decimal point, then accepts
// optional blanks, an optional sign, digits with an optional point and fraction and an
// optional exponent ("E" or "e", optional sign, digits), and optional trailing blanks.
// Anything else is not a number: the error "Invalid number: " followed by the text as
// given is shown, and the caller gets `false` and must treat the value as unusable.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kvil {

class Interaction;

// Silent conversion; nullopt when the text is not a number.
std::optional<double> TryParseNumber(std::string_view text);

// Conversion that reports a failure with "Invalid number: " + text (error box).
bool ParseNumber(const std::string& text, double& value, Interaction& ui);

}  // namespace kvil
