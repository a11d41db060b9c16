#include "platform/Shell.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <cctype>
#include <string>

namespace platform {

namespace {

bool IsOpenVerb(const char* operation) {
  if (operation == nullptr || *operation == '\0') return true;
  const std::string verb = operation;
  static constexpr char kOpen[] = "open";
  if (verb.size() != sizeof(kOpen) - 1) return false;
  for (std::size_t i = 0; i < verb.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(verb[i])) != kOpen[i]) return false;
  }
  return true;
}

}  // namespace

HINSTANCE ShellExecuteA(HWND, const char* operation, const char* file, const char*,
                        const char* directory, int) {
  if (!IsOpenVerb(operation)) return SE_ERR_NOASSOC;
  // A name starting with "-" would reach the opener as one of its options.
  if (file == nullptr || *file == '\0' || *file == '-') return SE_ERR_FNF;
  const QString folder =
      directory != nullptr && *directory != '\0' ? QString::fromLocal8Bit(directory) : QString();
  const bool started =
      QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromLocal8Bit(file)}, folder);
  return started ? kShellExecuteOk : SE_ERR_NOASSOC;
}

}  // namespace platform
