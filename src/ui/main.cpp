#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow w;
  w.setWindowTitle("MERILOG");
  w.setCentralWidget(new QLabel("MERILOG"));
  w.show();
  return app.exec();
}
