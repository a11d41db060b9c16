// A Qt plugin as any user can build and name: when the program loads it, its
// constructor writes the capability sets of the process that loaded it to
// $HOME/capprobe-KIND.txt. Built as a style plugin "capprobe" (found through
// QT_PLUGIN_PATH), or with -DCAPPROBE_PLATFORM as a platform plugin
// "capprobe" (found through -platformpluginpath, tried first with
// -platform "capprobe;xcb"). It makes nothing: Qt finds no factory in it and
// goes on with its own style, or the next platform.
#include <QObject>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef CAPPROBE_PLATFORM
#define CAPPROBE_KIND "platform"
#else
#define CAPPROBE_KIND "style"
#endif

__attribute__((constructor)) static void WriteCapabilities() {
  const char* home = std::getenv("HOME");
  if (!home) return;
  char path[4096];
  std::snprintf(path, sizeof path, "%s/capprobe-%s.txt", home, CAPPROBE_KIND);
  FILE* status = std::fopen("/proc/self/status", "r");
  FILE* out = std::fopen(path, "w");
  if (status && out) {
    char line[512];
    while (std::fgets(line, sizeof line, status))
      if (std::strncmp(line, "Pid:", 4) == 0 || std::strncmp(line, "Cap", 3) == 0 ||
          std::strncmp(line, "Uid:", 4) == 0)
        std::fputs(line, out);
  }
  if (status) std::fclose(status);
  if (out) std::fclose(out);
}

class CapProbe : public QObject {
  Q_OBJECT
#ifdef CAPPROBE_PLATFORM
  Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface.5.3" FILE
                        "platform.json")
#else
  Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QStyleFactoryInterface" FILE "style.json")
#endif
};

#include "CapProbe.moc"
