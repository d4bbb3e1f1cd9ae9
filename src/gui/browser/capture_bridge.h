// How the capture script in every frame reaches the program: forms submitted, frames loaded,
// the document's address, a replay's fetch answered, new windows asked for. The top frame
// speaks over the web channel; frames speak by console lines signed with a secret of this run.
#pragma once

#include <QObject>
#include <QString>

namespace quillrun {

class WebEngineBrowser;

// The console lines by which frames report, from the capture script's world.
extern const char kFrameReportPrefix[];
extern const char kScriptRequestPrefix[];

// The capture script as it is injected: the web channel's client and our own script with this
// run's secret.
QString CaptureScriptSource();

class CaptureBridge : public QObject {
    Q_OBJECT
  public:
    explicit CaptureBridge(WebEngineBrowser* browser) : browser_(browser) {}
    Q_INVOKABLE void formSubmitted(const QString& json);

  private:
    WebEngineBrowser* browser_;
};

}  // namespace quillrun
