#include "common/error.h"

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

}  // namespace tarvik
