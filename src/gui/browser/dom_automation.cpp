#include "gui/browser/dom_automation.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QWebEngineScript>

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
(function (values, clicks, submit, submitText) {
  function all() { return Array.prototype.slice.call(document.getElementsByTagName('*')); }
  function byNameOrId(name) {
    var list = all();
    for (var i = 0; i < list.length; ++i) {
      if (list[i].id === name || list[i].getAttribute('name') === name) return list[i];
    }
    return null;
  }
  function setText(name, value) {
    var e = byNameOrId(name);
    if (!e) return;
    var tag = e.tagName.toUpperCase();
    if (tag === 'INPUT' || tag === 'TEXTAREA' || tag === 'SELECT') {
      e.value = value;
      e.dispatchEvent(new Event('input', { bubbles: true }));
      e.dispatchEvent(new Event('change', { bubbles: true }));
    } else {
      e.innerText = value;
    }
  }
  function click(name) {
    var e = byNameOrId(name);
    if (e) { e.click(); return; }
    var list = all(), i;
    for (i = 0; i < list.length; ++i) if (list[i].id === name) { list[i].click(); return; }
    for (i = 0; i < list.length; ++i) {
      var v = list[i].getAttribute('value');
      if (v !== null && v === name) { list[i].click(); return; }
    }
    for (i = 0; i < list.length; ++i) {
      var tag = list[i].tagName.toLowerCase();
      if ((tag === 'a' || tag === 'button') && list[i].innerText.trim() === name) {
        list[i].click(); return;
      }
    }
  }
  function submitBy(text) {
    var controls = Array.prototype.slice.call(document.querySelectorAll('input, button'));
    var forms = [];
    controls.forEach(function (x) {
      var isButton = x.tagName.toUpperCase() === 'BUTTON';
      var type = (x.getAttribute('type') || (isButton ? 'submit' : 'text')).toLowerCase();
      if (type !== 'button' && type !== 'submit' && type !== 'reset') return;
      var caption = isButton ? [x.value || '', x.innerText.trim()] : [x.value || ''];
      if (caption.indexOf(text) >= 0 && x.form && forms.indexOf(x.form) < 0) forms.push(x.form);
    });
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
  values.forEach(function (v) { setText(v[0], v[1]); });
  clicks.forEach(click);
  if (submit) submitBy(submitText);
  return true;
})
)JS";

}  // namespace

QString FormActionScript(const FormActionPlan& plan) {
    QJsonArray values;
    for (const auto& v : plan.values)
        values.append(QJsonArray{FromCp932(v.first), FromCp932(v.second)});
    QJsonArray clicks;
    for (const auto& c : plan.clicks)
        clicks.append(FromCp932(c));
    QJsonArray text{FromCp932(plan.submitText)};
    QString args = QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Compact)) +
                   QStringLiteral(",") +
                   QString::fromUtf8(QJsonDocument(clicks).toJson(QJsonDocument::Compact)) +
                   QStringLiteral(",") +
                   (plan.submit ? QStringLiteral("true") : QStringLiteral("false")) +
                   QStringLiteral(",") +
                   QString::fromUtf8(QJsonDocument(text).toJson(QJsonDocument::Compact)) +
                   QStringLiteral("[0]");
    return QString::fromUtf8(kAutomation) + QStringLiteral("(") + args + QStringLiteral(");");
}

void WebDomAutomation::Carry(const FormActionPlan& plan) {
    if (plan.clicks.empty() && !plan.submit) {
        browser_.page()->runJavaScript(FormActionScript(plan), QWebEngineScript::ApplicationWorld);
        return;
    }
    // A click or submit may start a navigation: the replay's next row waits for it.
    browser_.FormActionCarried();
    QPointer<WebEngineBrowser> browser(&browser_);
    browser_.page()->runJavaScript(FormActionScript(plan), QWebEngineScript::ApplicationWorld,
                                   [browser](const QVariant&) {
                                       if (browser)
                                           browser->FormActionConfirmed();
                                   });
}

}  // namespace quillrun
