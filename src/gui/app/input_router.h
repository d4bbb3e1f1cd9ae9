// The program's routing of input, before the widgets see it: Enter in the address box and on
// the event lists, left-button releases over the event lists, Delete on the lists, and
// Ctrl + right press anywhere (the Task watch).
#pragma once

#include <QObject>
#include <functional>

namespace quillrun {

class RecordPage;

class InputRouter : public QObject {
    Q_OBJECT
  public:
    explicit InputRouter(QObject* parent = nullptr) : QObject(parent) {}

    RecordPage* recordPage = nullptr;
    // Set by the Task page and the Task watch when they exist.
    QObject* taskEventList = nullptr;
    QObject* taskListBox = nullptr;
    std::function<void()> taskEdit;
    std::function<void()> taskDelete;
    std::function<void()> openTaskWatch;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace quillrun
