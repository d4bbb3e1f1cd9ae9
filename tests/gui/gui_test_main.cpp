// GUI tests run offscreen with the real Qt; the browser engine runs without its sandbox and
// GPU here. These settings belong to the tests, not to users.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "gui/recording/record_page.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    quillrun::RecordPage::SetBrowserStorageName(QString());  // cookies in memory only
    return RUN_ALL_TESTS();
}
