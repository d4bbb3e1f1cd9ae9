// Dialog 108 "リクエスト編集": shows one event of a list decoded and in Shift_JIS, and stores the
// edited event back into that list. The logic is the core's RequestEditorModel.
#pragma once

#include <QDialog>
#include <memory>

#include "core/recording/request_editor.h"
#include "gui/app/gui_prompter.h"

class QLineEdit;
class QPlainTextEdit;
class QLabel;
class QRadioButton;
class QCheckBox;
class QComboBox;
class QPushButton;

namespace quillrun {

class EventList;

class RequestEditorDialog : public QDialog {
    Q_OBJECT
  public:
    // Edits the current request; OK rewrites the pair at headRow of target.
    RequestEditorDialog(QWidget* owner, EventList& target, int headRow);
    ~RequestEditorDialog() override;

    // False when another modal dialog is open (the dialog then ends at once).
    bool Opened() const { return opened_; }
    // Opens the editor modally on the current request, unless a modal dialog is open.
    static void Run(QWidget* owner, EventList& target, int headRow);

    RequestEditorModel& model() { return *model_; }
    QWidget* Control(int id) const;

  private:
    void Build();
    void BuildRequestFields();
    void BuildEncodingFields();
    void BuildSetFields();
    void ConnectEncoding();
    void ConnectSetFields();
    void Refresh();
    void ReadTexts();
    void OnOk();

    GuiPrompter prompter_;
    std::unique_ptr<RequestEditorModel> model_;
    EventList& target_;
    int headRow_;
    bool opened_ = false;
    bool refreshing_ = false;

    QLineEdit* number_ = nullptr;
    QRadioButton* get_ = nullptr;
    QRadioButton* post_ = nullptr;
    QRadioButton* set_ = nullptr;
    QCheckBox* noData_ = nullptr;
    QLineEdit* url_ = nullptr;
    QCheckBox* noDecode_ = nullptr;
    QCheckBox* noConvertIn_ = nullptr;
    QPlainTextEdit* decoded_ = nullptr;
    QPlainTextEdit* source_ = nullptr;
    QLineEdit* detected_ = nullptr;
    QPlainTextEdit* output_ = nullptr;
    QComboBox* outputCode_ = nullptr;
    QCheckBox* noEncode_ = nullptr;
    QCheckBox* noConvertOut_ = nullptr;
    QCheckBox* keepAmpersand_ = nullptr;
    QCheckBox* keepEquals_ = nullptr;
    QCheckBox* keepQuestion_ = nullptr;
    QCheckBox* multipart_ = nullptr;
    QComboBox* valueNames_ = nullptr;
    QPushButton* addValue_ = nullptr;
    QPlainTextEdit* value_ = nullptr;
    QLabel* headersLabel_ = nullptr;
    QPlainTextEdit* headers_ = nullptr;
    QComboBox* pressNames_ = nullptr;
    QPushButton* addPress_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLineEdit* submit_ = nullptr;
};

}  // namespace quillrun
