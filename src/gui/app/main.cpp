#include <QApplication>

#include "core/config/app_state.h"
#include "core/config/configuration.h"
#include "gui/app/main_window.h"

int main(int argc, char** argv) {
    using namespace quillrun;
    LoadConfiguration(App());
    PrepareRunFiles(App());

    QApplication application(argc, argv);
    MainWindow window;
    window.show();
    int result = application.exec();

    SaveConfiguration(App());
    return result;
}
