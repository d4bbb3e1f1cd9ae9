#include "gui/app/main_window.h"

#include <QListWidget>
#include <QMetaObject>
#include <QTimerEvent>
#include <QVBoxLayout>

#include "core/config/app_state.h"
#include "core/config/configuration.h"
#include "core/platform/clock.h"
#include "core/recording/message_sink.h"
#include "gui/text.h"

namespace quillrun {

QString MainWindowTitle() {
    return QString::fromUtf8("Webリクエスト自動再生機 -KESTREL-  Ver1.10 ") +
           QString::fromLatin1(kCopyrightLine);
}

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(MainWindowTitle());
    resize(700, 525);
    auto* layout = new QVBoxLayout(this);
    messages_ = new QListWidget(this);
    layout->addWidget(messages_);
    host_ =
        std::make_unique<GuiSchedulerHost>([this](const std::string& text) { AddMessage(text); });
    SetMessageSink([this](const std::string& text) { AddMessage(text); });
    schedulerTimer_.start(1000, this);
}

MainWindow::~MainWindow() {
    SetMessageSink(nullptr);
}

void MainWindow::AddMessage(const std::string& text) {
    QString row = FromCp932(MessageTimeText() + " " + text);
    QMetaObject::invokeMethod(
        this, [this, row] { messages_->addItem(row); }, Qt::QueuedConnection);
}

void MainWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() == schedulerTimer_.timerId()) {
        scheduler_.Tick(App(), CurrentClock().Now(), *host_);
        return;
    }
    QWidget::timerEvent(event);
}

}  // namespace quillrun
