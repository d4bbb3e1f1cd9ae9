// The yardstick of the start-up benchmark: the smallest Qt WebEngine window program.
#include <QApplication>
#include <QWebEngineView>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWebEngineView view;
    view.setWindowTitle(QStringLiteral("minimal-webengine-window"));
    view.resize(700, 525);
    view.setUrl(QUrl(QStringLiteral("about:blank")));
    view.show();
    return app.exec();
}
