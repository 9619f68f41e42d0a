// Start-up of the Qt user interface.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPointer>
#include <QPolygonF>
#include <QTranslator>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "ui/program.h"
#include "ui/qt/qt_dialog.h"
#include "util/unicode.h"

namespace {

std::unique_ptr<QApplication>& Application() {
  static std::unique_ptr<QApplication> application;
  return application;
}

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Qt aborts the process when its platform plugin cannot start (a display
// that is gone, a broken session), so whether it can is found out in a
// child process first. Without any display variable there is nothing to try.
bool DisplayCanOpen(int argc, char** argv) {
  if (!IsSet("QT_QPA_PLATFORM") && !IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) return false;
  const pid_t child = fork();
  if (child < 0) return true;  // cannot probe: let Qt itself try
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
    }
    alarm(20);  // a display server that never answers counts as none
    int probeArgc = argc;
    QGuiApplication probe(probeArgc, argv);
    _exit(0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The window icon, drawn like icons/hoshibako.svg (a box with a star).
QIcon ProgramIcon() {
  QPixmap pixmap(64, 64);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(0x1c, 0x2f, 0x7a), 2));
  painter.setBrush(QColor(0x3b, 0x5b, 0xdb));
  painter.drawRoundedRect(QRectF(6, 22, 52, 36), 4, 4);
  painter.drawPolyline(QPolygonF({QPointF(6, 30), QPointF(32, 40), QPointF(58, 30)}));
  painter.setPen(QPen(QColor(0xb8, 0x86, 0x0b), 1.5));
  painter.setBrush(QColor(0xff, 0xd4, 0x3b));
  painter.drawPolygon(
      QPolygonF({QPointF(32, 4), QPointF(37.1, 17.0), QPointF(51.0, 17.8), QPointF(40.2, 26.6),
                 QPointF(43.8, 40.2), QPointF(32, 32.6), QPointF(20.2, 40.2), QPointF(23.8, 26.6),
                 QPointF(13.0, 17.8), QPointF(26.9, 17.0)}));
  painter.end();
  return QIcon(pixmap);
}

}  // namespace

bool OpenUserInterface(int& argc, char** argv) {
  if (!DisplayCanOpen(argc, argv)) return false;
  Application() = std::make_unique<QApplication>(argc, argv);
  ConfigureApplication();
  return true;
}

bool ConfigureApplication() {
  QApplication::setApplicationName(QStringLiteral("hoshibako"));
  QGuiApplication::setDesktopFileName(QStringLiteral("hoshibako"));
  QApplication::setWindowIcon(ProgramIcon());
  QApplication::setFont(DialogFont());
  // The program speaks Japanese only, so Qt's standard texts follow it
  // rather than the user's locale: the translations for the words, the
  // locale for what Qt formats itself (the dates and sizes of the folder
  // browser).
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  static QPointer<QTranslator> translator;
  if (translator) return true;
  auto* loaded = new QTranslator(QCoreApplication::instance());
  if (!loaded->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete loaded;
    return false;
  }
  QCoreApplication::installTranslator(loaded);
  translator = loaded;
  return true;
}

void ReportStartFailure() {
  std::fprintf(stderr, "%s\n%s\n", Utf16ToUtf8(kFatalErrorCaption).c_str(),
               Utf16ToUtf8(kStartFailureText).c_str());
}

void CloseUserInterface() { Application().reset(); }
