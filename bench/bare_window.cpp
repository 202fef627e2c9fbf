// The yardstick of the cold-start benchmark: a bare Qt window of the launcher's client size that
// fills itself black, and reports its first frame the way the launcher does (QV_FIRST_FRAME_LOG).
#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

class BareWindow : public QWidget {
protected:
  void paintEvent(QPaintEvent*) override {
    QPainter(this).fillRect(rect(), Qt::black);
    if (FNoted) return;
    FNoted = true;
    const char* path = std::getenv("QV_FIRST_FRAME_LOG");
    if (!path || !*path) return;
    const std::string file(path);
    QTimer::singleShot(0, [file] {
      timespec now{};
      clock_gettime(CLOCK_MONOTONIC, &now);
      if (std::FILE* f = std::fopen(file.c_str(), "a")) {
        std::fprintf(f, "%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
        std::fclose(f);
      }
    });
  }

private:
  bool FNoted = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  BareWindow window;
  window.setWindowTitle("Bare window");
  window.setFixedSize(700, 473);
  window.show();
  return app.exec();
}
