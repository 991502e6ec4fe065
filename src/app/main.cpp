#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget w;
    w.setWindowTitle("Rendaal, versie 1.10a");
    w.show();
    return app.exec();
}
