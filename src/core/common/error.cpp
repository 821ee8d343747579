#include "common/error.h"
#include "common/joined_message.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <new>

#include "common/cp1251.h"

namespace tarvik {

std::string WholeMessage(std::string message) {
  for (std::size_t at = message.find('\0'); at != std::string::npos;
       at = message.find('\0', at + 2)) {
    message.replace(at, 1, "\\0");
  }
  return message;
}

std::string MessageExcerpt(std::string_view text) {
  std::string out;
  std::size_t characters = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (characters == kExcerptCharacters) {
      out += "…";
      break;
    }
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02X", byte);
      out += code;
      ++i;
    } else if (byte < 0x80) {
      out.push_back(static_cast<char>(byte));
      ++i;
    } else if (const std::size_t length = Utf8CharacterLength(text, i); length > 0) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out += "\uFFFD";
      ++i;
    }
    ++characters;
  }
  return out;
}

std::string SystemErrorText(int errnoValue) {
  switch (errnoValue) {
    case ENOSPC:
      return "на диске нет свободного места";
#ifdef EDQUOT
    case EDQUOT:
      return "исчерпана дисковая квота";
#endif
    case EACCES:
    case EPERM:
      return "нет прав доступа";
    case EROFS:
      return "файловая система доступна только для чтения";
    case ENOENT:
      return "файл или папка не существует";
    case ENOTDIR:
      return "часть пути не является папкой";
    case EISDIR:
      return "это папка, а не файл";
    case ENAMETOOLONG:
      return "слишком длинное имя файла";
    case ELOOP:
      return "слишком много символических ссылок в пути";
    case EEXIST:
      return "файл уже существует";
    case EXDEV:
      return "файлы находятся на разных дисках";
    case EBUSY:
    case ETXTBSY:
      return "файл занят другой программой";
    case EMFILE:
    case ENFILE:
      return "открыто слишком много файлов";
    case EFBIG:
      return "файл слишком велик";
    case EIO:
      return "ошибка ввода-вывода";
    case ENOMEM:
      return "недостаточно памяти";
    case EINVAL:
      return "недопустимое имя файла или операция";
    case ENXIO:
    case ENODEV:
      return "устройство недоступно";
    case EAGAIN:
      return "ресурс временно недоступен";
    case EINTR:
      return "операция прервана";
    default:
      return "системная ошибка " + std::to_string(errnoValue);
  }
}

std::string SystemErrorText(const std::error_code& code) {
  // The portable condition is an errno value whatever the platform's codes.
  const std::error_condition condition = code.default_error_condition();
  if (condition.category() == std::generic_category()) return SystemErrorText(condition.value());
  return "системная ошибка " + std::to_string(code.value());
}

std::string UserMessage(const std::exception& error) {
  if (dynamic_cast<const Error*>(&error)) return error.what();
  if (dynamic_cast<const std::bad_alloc*>(&error)) {
    return "Недостаточно памяти для выполнения операции";
  }
  if (const auto* fsError = dynamic_cast<const std::filesystem::filesystem_error*>(&error)) {
    std::string message = "Ошибка файловой системы";
    if (!fsError->path1().empty()) {
      message += " («" + fsError->path1().string() + "»)";
    }
    return message + ": " + SystemErrorText(fsError->code());
  }
  if (const auto* systemError = dynamic_cast<const std::system_error*>(&error)) {
    return "Системная ошибка: " + SystemErrorText(systemError->code());
  }
  return std::string("Внутренняя ошибка программы (") + MessageExcerpt(error.what()) + ")";
}

namespace {

// The code point of the two-byte UTF-8 letter at `at`, or 0.
char32_t TwoByteLetter(std::string_view text, std::size_t at) {
  if (at + 1 >= text.size()) return 0;
  const auto a = static_cast<unsigned char>(text[at]);
  const auto b = static_cast<unsigned char>(text[at + 1]);
  if ((a & 0xE0) != 0xC0 || (b & 0xC0) != 0x80) return 0;
  return static_cast<char32_t>(((a & 0x1F) << 6) | (b & 0x3F));
}

bool CyrillicCapital(char32_t c) { return (c >= 0x410 && c <= 0x42F) || c == 0x401; }

}  // namespace

std::string JoinedMessage(std::string_view head, std::string_view detail) {
  std::string tail(detail);
  const char32_t first = TwoByteLetter(detail, 0);
  const char32_t second = TwoByteLetter(detail, 2);
  const bool abbreviation =
      CyrillicCapital(second) || (detail.size() > 2 && detail[2] >= 'A' && detail[2] <= 'Z');
  if (CyrillicCapital(first) && !abbreviation) {
    const char32_t lower = first == 0x401 ? 0x451 : first + 0x20;
    tail[0] = static_cast<char>(0xC0 | (lower >> 6));
    tail[1] = static_cast<char>(0x80 | (lower & 0x3F));
  }
  return std::string(head) + ": " + tail;
}

}  // namespace tarvik
