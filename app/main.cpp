#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("STAVELY - Control Program for the Stavely Tester"));
    window.show();
    return app.exec();
}
