// The Settings page: the four settings, edited in memory at once, and the help.
#pragma once

#include <QPointer>
#include <functional>

#include "gui/skin/page.h"

class QLineEdit;
class QRadioButton;
class QPushButton;
class QLabel;

namespace quillrun {

class SettingsPage : public Page {
    Q_OBJECT
  public:
    explicit SettingsPage(QWidget* parent);
    int ToolbarTab() const override;

    // How the help page is opened; tests replace it (nullptr puts the desktop's opener back).
    static void SetHelpOpener(std::function<void(const QString& url)> opener);
    void OpenHelp();

    QLineEdit* startPageEdit() const { return startPage_; }
    QRadioButton* radio(int id) const;

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void BuildChoices();
    QLineEdit* notifyCommand_ = nullptr;
    QLineEdit* startPage_ = nullptr;
    QRadioButton* radios_[6] = {};  // 1035 ... 1040
};

}  // namespace quillrun
