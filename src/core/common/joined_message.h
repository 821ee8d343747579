#pragma once

#include <string>
#include <string_view>

namespace tarvik {

// One sentence of two messages: "head: detail", the detail's first letter in
// lower case when it is a capital Cyrillic letter that does not begin an
// abbreviation ("Результат …" → "результат …", "ОДУ …" stays).
std::string JoinedMessage(std::string_view head, std::string_view detail);

}  // namespace tarvik
