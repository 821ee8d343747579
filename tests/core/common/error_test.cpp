#include "common/error.h"
#include "common/joined_message.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>

namespace tarvik {
namespace {

TEST(ErrorMessage, ANulByteNeverCutsTheMessage) {
  const Error error(std::string("поле «1") + '\0' + "9» не является числом");
  EXPECT_EQ(std::string(error.what()), "поле «1\\09» не является числом");
}

TEST(MessageExcerpt, ShortensLongTextsAndShowsControlCharacters) {
  EXPECT_EQ(MessageExcerpt("1934"), "1934");
  EXPECT_EQ(MessageExcerpt(std::string(41, 'x')), std::string(40, 'x') + "…");
  EXPECT_EQ(MessageExcerpt(std::string(40, 'x')), std::string(40, 'x'));
  // Characters, not bytes: forty Cyrillic letters are kept whole.
  std::string cyrillic;
  for (int i = 0; i < 45; ++i) cyrillic += "ж";
  EXPECT_EQ(MessageExcerpt(cyrillic), cyrillic.substr(0, 80) + "…");
  EXPECT_EQ(MessageExcerpt(std::string("1\0"
                                       "2\t3",
                                       5)),
            "1\\x002\\x093");
  EXPECT_EQ(MessageExcerpt("a\xFF"
                           "b"),
            "a\uFFFD"
            "b");  // a stray byte
}

// Two messages read as one sentence: a capital that begins a word is made
// small, an abbreviation, Latin text and Ё are handled as letters are.
TEST(JoinedMessage, TheDetailContinuesTheSentence) {
  struct Case {
    const char* detail;
    const char* joined;
  };
  for (const Case& c : {Case{"Результат не конечен", "Шаг: результат не конечен"},
                        Case{"Ёмкость мала", "Шаг: ёмкость мала"},
                        Case{"Яма", "Шаг: яма"},
                        Case{"ОДУ не задано", "Шаг: ОДУ не задано"},
                        Case{"МSY", "Шаг: МSY"},
                        Case{"значение 5", "Шаг: значение 5"},
                        Case{"R не найден", "Шаг: R не найден"},
                        Case{"", "Шаг: "}}) {
    EXPECT_EQ(JoinedMessage("Шаг", c.detail), c.joined);
  }
}

TEST(SystemErrorText, CommonReasonsAreRussian) {
  EXPECT_EQ(SystemErrorText(ENOSPC), "на диске нет свободного места");
  EXPECT_EQ(SystemErrorText(EISDIR), "это папка, а не файл");
  EXPECT_EQ(SystemErrorText(std::make_error_code(std::errc::permission_denied)),
            "нет прав доступа");
  EXPECT_EQ(SystemErrorText(12345), "системная ошибка 12345");
}

TEST(UserMessage, TheSystemsErrorsReachTheUserInRussian) {
  EXPECT_EQ(UserMessage(Error("Строка 3: …")), "Строка 3: …");
  EXPECT_EQ(UserMessage(std::bad_alloc()), "Недостаточно памяти для выполнения операции");
  const std::filesystem::filesystem_error fsError(
      "rename", "/d/y.txt", std::make_error_code(std::errc::no_space_on_device));
  EXPECT_EQ(UserMessage(fsError),
            "Ошибка файловой системы («/d/y.txt»): на диске нет свободного места");
  EXPECT_EQ(UserMessage(std::system_error(std::make_error_code(std::errc::is_a_directory))),
            "Системная ошибка: это папка, а не файл");
  EXPECT_EQ(UserMessage(std::out_of_range("vector")), "Внутренняя ошибка программы (vector)");
}

}  // namespace
}  // namespace tarvik
