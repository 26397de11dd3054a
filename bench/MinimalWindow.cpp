// The floor of start-up to a shown window: a Qt application showing one empty window, or
// with --label one line of text in it (which makes Qt load its font database, as any
// window with text must).
#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstring>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle("minimal");
    window.resize(640, 480);
    if (argc > 1 && std::strcmp(argv[1], "--label") == 0) {
        auto* label = new QLabel("A line of text", &window);
        label->move(10, 10);
    }
    window.show();
    return QApplication::exec();
}
