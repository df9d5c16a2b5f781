// quorvel-dashboard: the dashboard window.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include "app/main_window.h"

int main(int argc, char** argv) {
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr &&
      std::getenv("QT_QPA_PLATFORM") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("quorvel-dashboard"));
  QApplication::setApplicationDisplayName(QStringLiteral("Power Meter"));
  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addOption({QStringLiteral("screenshot"), QStringLiteral("PNG"), QStringLiteral("file")});
  parser.addOption({QStringLiteral("after"), QStringLiteral("seconds"), QStringLiteral("s"), QStringLiteral("1")});
  parser.addOption({QStringLiteral("page"), QStringLiteral("page"), QStringLiteral("p"), QStringLiteral("realtime")});
  parser.process(app);

  quorvel::MainWindow window;
  if (std::getenv("QUORVEL_EXIT_AT_FIRST_PAINT") != nullptr) {
    QObject::connect(&window, &quorvel::MainWindow::firstPainted, [] {
      std::puts("first paint");
      std::fflush(stdout);
      std::_Exit(0);
    });
  }
  window.Start({});
  window.show();
  if (parser.isSet(QStringLiteral("screenshot"))) {
    const QString page = parser.value(QStringLiteral("page"));
    if (page == QStringLiteral("timer")) window.ShowPage(quorvel::MainWindow::Page::kTimer);
    if (page == QStringLiteral("settings")) window.ShowPage(quorvel::MainWindow::Page::kSettings);
    QTimer::singleShot(static_cast<int>(parser.value(QStringLiteral("after")).toDouble() * 1000), &window, [&] {
      window.Snapshot().save(parser.value(QStringLiteral("screenshot")));
      std::_Exit(0);
    });
  }
  return QApplication::exec();
}
