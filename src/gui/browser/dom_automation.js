// Setting the "inner text" of a form control sets its value (innerText does nothing there),
// then the page hears input and change as if the user had typed. Clicks look for a name or
// id, then an id, then a value attribute (button captions), then a link's or a BUTTON's text.
// Every button whose caption matches (an INPUT button's value; a BUTTON's value or text)
// submits its form; all but the last into a hidden frame of their own, so that one submission
// does not cancel the other.
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
