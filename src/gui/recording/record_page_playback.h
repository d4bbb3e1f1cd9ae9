// The replay of the Record page's event list through the browser: row by row, marking each
// event's head row, with the 500 ms pause and the wait for the browser after each; it ends at
// the first row whose method is none of the four (the trailing empty pair) and then clears the
// playing flag. A step machine on the user-interface thread, where the browser lives.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace quillrun {

class EventList;
class MethodListView;
class WebEngineBrowser;

class RecordPagePlayback : public QObject {
    Q_OBJECT
  public:
    RecordPagePlayback(EventList& events, MethodListView& view, WebEngineBrowser& browser,
                       QObject* parent = nullptr);
    void Start();
    bool Running() const { return running_; }

  signals:
    void Finished();

  private:
    void Step();
    void Poll();
    void Finish();

    EventList& events_;
    MethodListView& view_;
    WebEngineBrowser& browser_;
    QTimer pause_;
    QTimer poll_;
    QElapsedTimer busySince_;
    int rowCount_ = 0;
    int row_ = 0;
    bool running_ = false;
};

}  // namespace quillrun
