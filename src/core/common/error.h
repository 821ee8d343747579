#pragma once

#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace tarvik {

// The message as the error keeps it: every NUL byte is written "\0", so that
// what() (a C string) always carries the whole message.
std::string WholeMessage(std::string message);

// The one error type of the core. Its message is Russian UTF-8 text meant for
// the user: it says what went wrong and, where it can, where (row, column,
// year, field). Every floating-point fault the computations can meet
// (division by zero, logarithm of a non-positive number, invalid power,
// non-finite result) is raised as this error instead of travelling on as a
// NaN or an infinity.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(WholeMessage(message)) {}
};

// A text the user typed or a file holds, as a message quotes it: at most
// kExcerptCharacters characters (then "…"), control characters written as
// \xNN and bytes that are not UTF-8 as U+FFFD, so that a megabyte cell, a NUL
// byte or a stray byte cannot spoil the message.
inline constexpr std::size_t kExcerptCharacters = 40;
std::string MessageExcerpt(std::string_view text);

// Russian text of a system error (an errno value, or an error code of the
// file system), e.g. "на диске нет свободного места".
std::string SystemErrorText(int errnoValue);
std::string SystemErrorText(const std::error_code& code);

// The Russian message of any error that reaches the user: a tarvik::Error as
// it stands; lack of memory, file-system and system errors in Russian words;
// anything else as an internal error.
std::string UserMessage(const std::exception& error);

}  // namespace tarvik
