#include "gui/recording/record_page_playback.h"

#include <QItemSelectionModel>

#include "core/config/app_state.h"
#include "core/platform/cp932.h"
#include "core/platform/message_sink.h"
#include "core/recording/event_list.h"
#include "core/replay/browser_replay.h"
#include "gui/browser/event_loop_waiter.h"
#include "gui/browser/web_engine_browser.h"
#include "gui/recording/method_list_view.h"

namespace quillrun {

RecordPagePlayback::RecordPagePlayback(EventList& events, MethodListView& view,
                                       WebEngineBrowser& browser, QObject* parent)
    : QObject(parent), events_(events), view_(view), browser_(browser) {
    pause_.setSingleShot(true);
    pause_.setInterval(500);
    poll_.setInterval(10);
    connect(&pause_, &QTimer::timeout, this, [this] {
        busySince_.start();
        poll_.start();
    });
    connect(&poll_, &QTimer::timeout, this, &RecordPagePlayback::Poll);
}

void RecordPagePlayback::Start() {
    running_ = true;
    rowCount_ = events_.RowCount();
    row_ = 0;
    Step();
}

void RecordPagePlayback::Step() {
    if (row_ >= rowCount_ || row_ + 1 >= events_.RowCount()) {
        Finish();
        return;
    }
    // Rows marked earlier stay marked, so the user sees how far the replay went.
    QModelIndex head = view_.model()->index(row_, 0);
    view_.selectionModel()->setCurrentIndex(
        head, QItemSelectionModel::Select | QItemSelectionModel::Rows);

    EventLine line;
    line.method = events_.MethodOf(row_ / 2);
    line.url = events_.UrlOf(row_ / 2);
    if (line.method != "URL")
        line.data = events_.DataOf(row_ / 2);
    if (RowHoldsControlBytes(line)) {
        AddMessage(DamagedRowMessage(static_cast<std::size_t>(row_ / 2 + 1)));
        Finish();
        return;
    }
    RowNavigation navigation = NavigationForRow(line);
    if (navigation.action == RowAction::End) {
        Finish();
        return;
    }
    PerformRow(navigation, browser_);
    pause_.start();
}

void RecordPagePlayback::Poll() {
    bool gaveUp = busySince_.elapsed() >= EventLoopWaiter::kBusyLimitMilliseconds;
    if (browser_.Busy() && !gaveUp)
        return;
    poll_.stop();
    if (gaveUp)
        AddMessage(J("ブラウザの読み込みが終わらないため、待つのをやめて次へ進みます"));
    row_ += 2;
    Step();
}

void RecordPagePlayback::Finish() {
    pause_.stop();
    poll_.stop();
    running_ = false;
    App().playing = 0;
    emit Finished();
}

}  // namespace quillrun
