#include "gui/recording/request_editor_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/recording/event_list.h"
#include "gui/skin/skin.h"
#include "gui/skin/window_fit.h"
#include "gui/text.h"

namespace quillrun {
namespace {

QLabel* Label(QWidget* parent, const char* utf8, int x, int y, int w = 120, int h = 18) {
    auto* label = new QLabel(QString::fromUtf8(utf8), parent);
    label->setGeometry(x, y, w, h);
    label->setWordWrap(true);
    return label;
}

template <typename T>
T* Named(T* widget, int id, QRect geometry) {
    widget->setObjectName(QString::number(id));
    widget->setGeometry(geometry);
    return widget;
}

void SetCheck(QCheckBox* box, const Check& check) {
    box->setChecked(check.checked);
    box->setEnabled(check.enabled);
}

// A multi-line edit holds its line breaks as LF; the program's texts have CR LF.
void SetPlain(QPlainTextEdit* edit, const std::string& text) {
    QString value = FromCp932(text);
    value.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (edit->toPlainText() != value)
        edit->setPlainText(value);
}

std::string PlainText(const QPlainTextEdit* edit) {
    QString value = edit->toPlainText();
    value.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return ToCp932(value);
}

void SetLine(QLineEdit* edit, const std::string& text) {
    QString value = FromCp932(text);
    if (edit->text() != value)
        edit->setText(value);
}

}  // namespace

RequestEditorDialog::RequestEditorDialog(QWidget* owner, EventList& target, int headRow)
    : QDialog(owner), prompter_(this), target_(target), headRow_(headRow) {
    model_ = std::make_unique<RequestEditorModel>(prompter_);
    WriteLog("Direct Input Dialog _ Show", true);
    if (App().modalDialog == 1)
        return;
    App().modalDialog = 1;
    opened_ = true;
    setWindowTitle(QString::fromUtf8("リクエスト編集"));
    Build();
    model_->Open(TheCurrentRequest());
    Refresh();
    CentreOverMainWindow(this, owner);
}

RequestEditorDialog::~RequestEditorDialog() {
    WriteLog("Direct Input Dialog _ Close", true);
    if (opened_)
        App().modalDialog = 0;
}

void RequestEditorDialog::Run(QWidget* owner, EventList& target, int headRow) {
    RequestEditorDialog dialog(owner, target, headRow);
    if (!dialog.Opened())
        return;
    dialog.exec();
}

QWidget* RequestEditorDialog::Control(int id) const {
    return findChild<QWidget*>(QString::number(id));
}

void RequestEditorDialog::Build() {
    resize(700, 512);
    BuildRequestFields();
    BuildEncodingFields();
    BuildSetFields();
    const QFont& font = TheSkin().normalFont;
    for (QWidget* w :
         std::initializer_list<QWidget*>{url_, decoded_, source_, output_, detected_, outputCode_,
                                         valueNames_, value_, pressNames_, submit_}) {
        w->setFont(font);
    }

    ConnectEncoding();
    ConnectSetFields();
}

// Number, type, URL and the data as decoded and as stored.
void RequestEditorDialog::BuildRequestFields() {
    Label(this, "番号", 12, 12, 40);
    number_ = Named(new QLineEdit(this), 1003, QRect(56, 10, 80, 22));
    number_->setReadOnly(true);

    Label(this, "リクエストタイプ", 150, 12, 100);
    auto* group = new QButtonGroup(this);
    get_ = Named(new QRadioButton(QStringLiteral("GET"), this), 1005, QRect(255, 10, 60, 22));
    post_ = Named(new QRadioButton(QStringLiteral("POST"), this), 1006, QRect(315, 10, 64, 22));
    set_ = Named(new QRadioButton(QStringLiteral("SET"), this), 1052, QRect(380, 10, 56, 22));
    for (QRadioButton* r : {get_, post_, set_})
        group->addButton(r);
    group->setExclusive(true);
    noData_ =
        Named(new QCheckBox(QString::fromUtf8("データなし"), this), 1004, QRect(445, 10, 110, 22));

    Label(this, "URL", 12, 42, 40);
    url_ = Named(new QLineEdit(this), 1007, QRect(56, 40, 420, 22));

    Label(this, "データ (デコード済み)", 12, 70, 200);
    noDecode_ = Named(new QCheckBox(QString::fromUtf8("URLデコードしない"), this), 1041,
                      QRect(200, 68, 140, 20));
    noConvertIn_ = Named(new QCheckBox(QString::fromUtf8("文字コード変換しない"), this), 1039,
                         QRect(340, 68, 150, 20));
    decoded_ = Named(new QPlainTextEdit(this), 1008, QRect(12, 88, 464, 96));

    Label(this, "データ (ソース)", 12, 190, 200);
    source_ = Named(new QPlainTextEdit(this), 1020, QRect(12, 208, 464, 56));
    source_->setReadOnly(true);
}

// The codes found and chosen, and the decoding and encoding options.
void RequestEditorDialog::BuildEncodingFields() {
    Label(this, "エンコード情報 (デフォルトは自動。必要な場合のみ編集)", 12, 270, 464);
    Label(this, "文字コード", 12, 294, 70);
    detected_ = Named(new QLineEdit(this), 1011, QRect(84, 292, 60, 22));
    detected_->setReadOnly(true);
    Label(this, "出力 文字コード", 156, 294, 100);
    outputCode_ = Named(new QComboBox(this), 1037, QRect(258, 292, 90, 22));
    for (const char* name : {"無変換", "SJIS", "EUC", "UTF8", "JIS"}) {
        outputCode_->addItem(QString::fromUtf8(name));
    }
    noEncode_ = Named(new QCheckBox(QString::fromUtf8("URLエンコードしない"), this), 1036,
                      QRect(12, 318, 150, 20));
    noConvertOut_ = Named(new QCheckBox(QString::fromUtf8("文字コード変換しない"), this), 1040,
                          QRect(170, 318, 160, 20));

    Label(this, "URLデコード／エンコードオプション", 12, 344, 300);
    Label(this, "特殊処理1", 12, 364, 70);
    keepAmpersand_ = Named(new QCheckBox(QStringLiteral("&&"), this), 1038, QRect(84, 362, 44, 20));
    keepEquals_ = Named(new QCheckBox(QStringLiteral("="), this), 1042, QRect(130, 362, 44, 20));
    keepQuestion_ = Named(new QCheckBox(QStringLiteral("?"), this), 1043, QRect(176, 362, 44, 20));
    Label(this,
          "チェックすると、デコード・エンコード対象から外れます。/"
          "の後に続く記号のみエンコード対象になります。",
          226, 358, 250, 36);
    Label(this, "特殊処理2", 12, 400, 70);
    multipart_ = Named(new QCheckBox(QStringLiteral("multipart/form-data"), this), 1044,
                       QRect(84, 398, 160, 20));
    Label(this, "バイナリデータのため、編集結果を保存しません。", 250, 394, 226, 34);

    Label(this, "データ (編集後出力)", 12, 428, 200);
    output_ = Named(new QPlainTextEdit(this), 1021, QRect(12, 446, 464, 56));
    output_->setReadOnly(true);
}

// A SET step's values, buttons and submit name; a script row's headers; OK and Cancel.
void RequestEditorDialog::BuildSetFields() {
    Label(this, "値セット_名前", 490, 42, 200);
    valueNames_ = Named(new QComboBox(this), 1045, QRect(490, 60, 160, 22));
    valueNames_->setEditable(true);
    addValue_ = Named(new QPushButton(QStringLiteral("+"), this), 1023, QRect(654, 60, 30, 22));
    Label(this, "値セット_値", 490, 88, 200);
    value_ = Named(new QPlainTextEdit(this), 1013, QRect(490, 106, 194, 100));
    Label(this, "押下", 490, 214, 200);
    pressNames_ = Named(new QComboBox(this), 1047, QRect(490, 232, 160, 22));
    pressNames_->setEditable(true);
    addPress_ = Named(new QPushButton(QStringLiteral("+"), this), 1024, QRect(654, 232, 30, 22));
    Label(this, "SUBMIT", 490, 262, 200);
    submit_ = Named(new QLineEdit(this), 1015, QRect(490, 280, 194, 22));

    // A row a page's script sent carries its own headers, one per line.
    headersLabel_ = Label(this, "ヘッダー", 490, 310, 194, 20);
    headers_ = Named(new QPlainTextEdit(this), 0, QRect(490, 332, 194, 126));
    headers_->setObjectName(QStringLiteral("Headers"));
    headers_->setLineWrapMode(QPlainTextEdit::NoWrap);
    cancel_ = Named(new QPushButton(QString::fromUtf8("キャンセル"), this), 1009,
                    QRect(490, 474, 90, 28));
    ok_ = Named(new QPushButton(QString::fromUtf8("ＯＫ"), this), 1010, QRect(594, 474, 90, 28));
    ok_->setDefault(false);
    ok_->setAutoDefault(false);
    cancel_->setAutoDefault(false);
}

// Every change of the data or its options makes the output anew.
void RequestEditorDialog::ConnectEncoding() {
    RequestEditorModel& m = *model_;
    auto encoding = [this] {
        if (refreshing_)
            return;
        ReadTexts();
        model_->EncodingDirection();
        Refresh();
    };
    connect(decoded_, &QPlainTextEdit::textChanged, this, encoding);
    for (QCheckBox* box : {noEncode_, noConvertOut_, keepAmpersand_, keepEquals_, keepQuestion_}) {
        connect(box, &QCheckBox::toggled, this, encoding);
    }
    connect(outputCode_, &QComboBox::currentIndexChanged, this, encoding);
    connect(noDecode_, &QCheckBox::toggled, this, [this] {
        if (refreshing_)
            return;
        ReadTexts();
        model_->DecodingDirection(true);
        Refresh();
    });
    connect(noConvertIn_, &QCheckBox::toggled, this, [this] {
        if (refreshing_)
            return;
        ReadTexts();
        model_->DecodingDirection(false);
        Refresh();
    });
    connect(noData_, &QCheckBox::toggled, this, [this, &m](bool checked) {
        if (refreshing_)
            return;
        ReadTexts();
        m.SetNoData(checked);
        Refresh();
    });
    for (QRadioButton* r : {get_, post_, set_}) {
        connect(r, &QRadioButton::toggled, this, [this, &m, r](bool checked) {
            if (refreshing_ || !checked)
                return;
            ReadTexts();
            m.SelectType(r == get_ ? kTypeGet : r == post_ ? kTypePost : kTypeSet);
            Refresh();
        });
    }
    connect(multipart_, &QCheckBox::toggled, this, [this](bool checked) {
        if (!refreshing_)
            model_->multipart.checked = checked;
    });
}

void RequestEditorDialog::ConnectSetFields() {
    RequestEditorModel& m = *model_;
    connect(addValue_, &QPushButton::clicked, this, [this, &m] {
        ReadTexts();
        m.AddValueEntry();
        Refresh();
    });
    connect(valueNames_, &QComboBox::activated, this, [this, &m](int index) {
        ReadTexts();
        m.SelectValueEntry(index);
        Refresh();
    });
    // Typing a name into the box leaves the list without a selection: the value shown is kept
    // for the entry that was selected, and no entry takes what is typed next.
    connect(valueNames_->lineEdit(), &QLineEdit::textEdited, this, [this, &m] {
        if (refreshing_)
            return;
        ReadTexts();
        m.SelectValueEntry(-1);
    });
    connect(addPress_, &QPushButton::clicked, this, [this, &m] {
        ReadTexts();
        m.AddPressEntry();
        Refresh();
    });
    connect(ok_, &QPushButton::clicked, this, &RequestEditorDialog::OnOk);
    connect(cancel_, &QPushButton::clicked, this, [this] {
        WriteLog("Direct Input Dialog _ Pushed CANCEL", true);
        reject();
    });
}

void RequestEditorDialog::ReadTexts() {
    RequestEditorModel& m = *model_;
    m.url = ToCp932(url_->text());
    m.decoded = PlainText(decoded_);
    m.outputCode = outputCode_->currentIndex();
    m.noEncode.checked = noEncode_->isChecked();
    m.noConvertOut.checked = noConvertOut_->isChecked();
    m.noDecode.checked = noDecode_->isChecked();
    m.noConvertIn.checked = noConvertIn_->isChecked();
    m.keepAmpersand.checked = keepAmpersand_->isChecked();
    m.keepEquals.checked = keepEquals_->isChecked();
    m.keepQuestion.checked = keepQuestion_->isChecked();
    m.multipart.checked = multipart_->isChecked();
    m.valueNameText = ToCp932(valueNames_->currentText());
    m.valueText = PlainText(value_);
    m.pressNameText = ToCp932(pressNames_->currentText());
    m.submitText = ToCp932(submit_->text());
    m.headersText = PlainText(headers_);
}

void RequestEditorDialog::Refresh() {
    refreshing_ = true;
    const RequestEditorModel& m = *model_;
    SetLine(number_, m.number);
    get_->setChecked(m.type == kTypeGet);
    post_->setChecked(m.type == kTypePost);
    set_->setChecked(m.type == kTypeSet);
    if (m.type == kTypeNone) {
        for (QRadioButton* r : {get_, post_, set_}) {
            r->setAutoExclusive(false);
            r->setChecked(false);
            r->setAutoExclusive(true);
        }
    }
    noData_->setChecked(m.noData.checked);
    // A script row keeps its method: the request type is not a choice there.
    for (QRadioButton* r : {get_, post_, set_})
        r->setEnabled(!m.scriptRow);
    noData_->setEnabled(!m.scriptRow);
    headers_->setEnabled(m.scriptRow);
    headersLabel_->setText(m.scriptRow
                               ? QString::fromUtf8("ヘッダー（スクリプト %1）")
                                     .arg(QString::fromLatin1(EventMethodText(m.scriptMethod)))
                               : QString::fromUtf8("ヘッダー（スクリプトの行のみ）"));
    SetPlain(headers_, m.headersText);
    SetLine(url_, m.url);
    url_->setEnabled(m.urlEnabled);
    SetCheck(noDecode_, m.noDecode);
    SetCheck(noConvertIn_, m.noConvertIn);
    SetPlain(decoded_, m.decoded);
    decoded_->setEnabled(m.decodedEnabled);
    SetPlain(source_, m.source);
    SetLine(detected_, m.detected);
    SetPlain(output_, m.output);
    outputCode_->setCurrentIndex(m.outputCode);
    SetCheck(noEncode_, m.noEncode);
    SetCheck(noConvertOut_, m.noConvertOut);
    SetCheck(keepAmpersand_, m.keepAmpersand);
    SetCheck(keepEquals_, m.keepEquals);
    SetCheck(keepQuestion_, m.keepQuestion);
    SetCheck(multipart_, m.multipart);
    QStringList names;
    for (const std::string& n : m.valueNames)
        names << FromCp932(n);
    QStringList shown;
    for (int i = 0; i < valueNames_->count(); ++i)
        shown << valueNames_->itemText(i);
    if (names != shown) {
        valueNames_->clear();
        valueNames_->addItems(names);
    }
    valueNames_->setCurrentIndex(m.selectedEntry);
    valueNames_->setEditText(FromCp932(m.valueNameText));
    SetPlain(value_, m.valueText);
    QStringList presses;
    for (const std::string& n : m.pressNames)
        presses << FromCp932(n);
    shown.clear();
    for (int i = 0; i < pressNames_->count(); ++i)
        shown << pressNames_->itemText(i);
    if (presses != shown) {
        pressNames_->clear();
        pressNames_->addItems(presses);
    }
    pressNames_->setEditText(FromCp932(m.pressNameText));
    SetLine(submit_, m.submitText);
    for (QWidget* w : std::initializer_list<QWidget*>{valueNames_, addValue_, value_, pressNames_,
                                                      addPress_, submit_}) {
        w->setEnabled(m.setControlsEnabled);
    }
    refreshing_ = false;
}

void RequestEditorDialog::OnOk() {
    WriteLog("Direct Input Dialog _ Pushed OK", true);
    ReadTexts();
    EditorResult result;
    if (!model_->Ok(result))
        return;
    target_.SetEvent(headRow_, result.method, result.url, result.data, result.headers);
    if (TheCurrentRequest().url.empty())
        target_.AppendEmptyPair();
    accept();
}

}  // namespace quillrun
