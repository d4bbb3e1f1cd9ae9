#include "gui/browser/dom_automation.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWebEngineScript>

#include "core/platform/cp932.h"
#include "core/platform/message_sink.h"
#include "gui/browser/web_engine_browser.h"
#include "gui/text.h"

namespace quillrun {
namespace {

// Setting the "inner text" of a form control sets its value (innerText does nothing there),
// then the page hears input and change as if the user had typed. Clicks look for a name or
// id, then an id, then a value attribute (button captions), then a link's or a BUTTON's text.
// Every button whose caption matches (an INPUT button's value; a BUTTON's value or text)
// submits its form; all but the last into a hidden frame of their own, so that one submission
// does not cancel the other.
const char kAutomation[] = R"JS(
(function (values, clicks, submit, submitText, probeOnly, firstValueOptional) {
  function all() { return Array.prototype.slice.call(document.getElementsByTagName('*')); }
  function byNameOrId(name) {
    var list = all();
    for (var i = 0; i < list.length; ++i) {
      if (list[i].id === name || list[i].getAttribute('name') === name) return list[i];
    }
    return null;
  }
  // The value goes through the element's own prototype setter, as typing would, so that a
  // page whose script tracks the field (the frameworks do) sees the change in its input event.
  function setText(e, value) {
    var tag = e.tagName.toUpperCase();
    var proto = tag === 'INPUT' ? HTMLInputElement.prototype :
                tag === 'TEXTAREA' ? HTMLTextAreaElement.prototype :
                tag === 'SELECT' ? HTMLSelectElement.prototype : null;
    if (proto) {
      Object.getOwnPropertyDescriptor(proto, 'value').set.call(e, value);
      e.dispatchEvent(new Event('input', { bubbles: true }));
      e.dispatchEvent(new Event('change', { bubbles: true }));
    } else {
      e.innerText = value;
    }
  }
  function clickTarget(name) {
    var e = byNameOrId(name);
    if (e) return e;
    var list = all(), i;
    for (i = 0; i < list.length; ++i) if (list[i].id === name) return list[i];
    for (i = 0; i < list.length; ++i) {
      var v = list[i].getAttribute('value');
      if (v !== null && v === name) return list[i];
    }
    for (i = 0; i < list.length; ++i) {
      var tag = list[i].tagName.toLowerCase();
      if ((tag === 'a' || tag === 'button') && list[i].innerText.trim() === name) return list[i];
    }
    return null;
  }
  function formsSubmittedBy(text) {
    var controls = Array.prototype.slice.call(document.querySelectorAll('input, button'));
    var forms = [];
    controls.forEach(function (x) {
      var isButton = x.tagName.toUpperCase() === 'BUTTON';
      var type = (x.getAttribute('type') || (isButton ? 'submit' : 'text')).toLowerCase();
      if (type !== 'button' && type !== 'submit' && type !== 'reset') return;
      var caption = isButton ? [x.value || '', x.innerText.trim()] : [x.value || ''];
      if (caption.indexOf(text) >= 0 && x.form && forms.indexOf(x.form) < 0) forms.push(x.form);
    });
    return forms;
  }
  function submitAll(forms) {
    forms.forEach(function (form, k) {
      if (k + 1 < forms.length) {
        var frame = document.createElement('iframe');
        frame.name = '__quillrun_submit_' + k + '_' + Date.now();
        frame.style.display = 'none';
        document.body.appendChild(frame);
        var target = form.getAttribute('target');
        form.target = frame.name;
        HTMLFormElement.prototype.submit.call(form);
        if (target === null) form.removeAttribute('target'); else form.target = target;
      } else {
        HTMLFormElement.prototype.submit.call(form);
      }
    });
  }
  // What the page lacks so far: the steps that name an element not there.
  var missing = [];
  values.forEach(function (v, k) {
    if (!(k === 0 && firstValueOptional) && !byNameOrId(v[0])) missing.push('input=' + v[0]);
  });
  clicks.forEach(function (c) { if (!clickTarget(c)) missing.push('click=' + c); });
  var forms = submit ? formsSubmittedBy(submitText) : [];
  if (submit && !forms.length) missing.push('submit=' + submitText);
  if (probeOnly) return missing;
  values.forEach(function (v) { var e = byNameOrId(v[0]); if (e) setText(e, v[1]); });
  clicks.forEach(function (c) { var e = clickTarget(c); if (e) e.click(); });
  if (submit) submitAll(formsSubmittedBy(submitText));
  return missing;
})
)JS";

}  // namespace

QString FormActionScript(const FormActionPlan& plan, bool probeOnly) {
    QJsonArray values;
    for (const auto& v : plan.values)
        values.append(QJsonArray{FromCp932(v.first), FromCp932(v.second)});
    QJsonArray clicks;
    for (const auto& c : plan.clicks)
        clicks.append(FromCp932(c));
    QJsonArray text{FromCp932(plan.submitText)};
    // The fixed first value is for pages that know it; a page without it lacks nothing.
    bool firstOptional = !plan.values.empty() && plan.values.front().first == "tindrel";
    auto flag = [](bool on) { return on ? QStringLiteral("true") : QStringLiteral("false"); };
    QString args = QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Compact)) +
                   QStringLiteral(",") +
                   QString::fromUtf8(QJsonDocument(clicks).toJson(QJsonDocument::Compact)) +
                   QStringLiteral(",") + flag(plan.submit) + QStringLiteral(",") +
                   QString::fromUtf8(QJsonDocument(text).toJson(QJsonDocument::Compact)) +
                   QStringLiteral("[0],") + flag(probeOnly) + QStringLiteral(",") +
                   flag(firstOptional);
    return QString::fromUtf8(kAutomation) + QStringLiteral("(") + args + QStringLiteral(");");
}

namespace {

// One SET action on the page: it waits (looking every 200 ms, up to 10 s) for the elements it
// names, since many pages draw their forms by script after they loaded, then carries out what
// it can. A step whose element never came is said and counts as a failed step of the run.
class FormActionRun : public QObject {
  public:
    static constexpr int kWaitMilliseconds = 10000;
    static constexpr int kLookEveryMilliseconds = 200;

    FormActionRun(WebEngineBrowser& browser, FormActionPlan plan)
        : QObject(&browser), browser_(&browser), plan_(std::move(plan)) {
        waited_.start();
        Look();
    }

  private:
    void Look() {
        // Busy for the replay while the action waits: its next row must not overtake it.
        browser_->FormActionCarried();
        QPointer<FormActionRun> self(this);
        browser_->page()->runJavaScript(FormActionScript(plan_, true),
                                        QWebEngineScript::ApplicationWorld,
                                        [self](const QVariant& missing) {
                                            if (self)
                                                self->Looked(missing.toStringList());
                                        });
    }
    void Looked(const QStringList& missing) {
        if (!missing.isEmpty() && waited_.elapsed() < kWaitMilliseconds) {
            QTimer::singleShot(kLookEveryMilliseconds, this, [this] { Look(); });
            return;
        }
        for (const QString& step : missing) {
            std::string text = ToCp932(step);
            AddMessage(J("SET: 10秒待っても要素が見つからないため、この操作は行いません: ") + text);
            NoteFormActionFailure("element not found after 10 s: " + step.toUtf8().toStdString());
        }
        QPointer<WebEngineBrowser> browser(browser_);
        browser_->FormActionCarried();
        browser_->page()->runJavaScript(FormActionScript(plan_, false),
                                        QWebEngineScript::ApplicationWorld,
                                        [browser](const QVariant&) {
                                            if (browser)
                                                browser->FormActionConfirmed();
                                        });
        deleteLater();
    }

    WebEngineBrowser* browser_;
    FormActionPlan plan_;
    QElapsedTimer waited_;
};

}  // namespace

void WebDomAutomation::Carry(const FormActionPlan& plan) {
    new FormActionRun(browser_, plan);
}

}  // namespace quillrun
