// Injected into every frame, in the application's own script world: reports every form
// submission by POST with the entries the browser is about to send.
(function () {
  if (window.__quillrunCapture) return;
  window.__quillrunCapture = true;
  var bridge = null;
  var waiting = [];
  var hasChannel = typeof qt !== 'undefined' && qt.webChannelTransport;
  if (hasChannel) {
    new QWebChannel(qt.webChannelTransport, function (channel) {
      bridge = channel.objects.quillrunCapture;
      waiting.forEach(function (text) { bridge.formSubmitted(text); });
      waiting = [];
    });
    // Frames have no channel of their own: they pass their reports up to the top document.
    window.addEventListener('message', function (e) {
      if (e.source === window) return;  // only what comes up from a frame
      if (e.data && typeof e.data.__quillrunCapture === 'string') send(e.data.__quillrunCapture);
    }, true);
  }
  function send(text) {
    if (!hasChannel) {
      window.top.postMessage({ __quillrunCapture: text }, '*');
    } else if (bridge) {
      bridge.formSubmitted(text);
    } else {
      waiting.push(text);
    }
  }
  // A frame's document has completed: the host hears it as the top document's completion
  // is heard (the engine reports only the top one).
  if (window !== window.top) {
    window.addEventListener('load', function () { send(JSON.stringify({ frameLoaded: true })); });
  }
  var lastSubmitter = null;
  // The submit button of the submission under way; the entry list may be reported more than
  // once for one submission, so it stays for the rest of this task.
  window.addEventListener('submit', function (e) {
    lastSubmitter = e.submitter || null;
    setTimeout(function () { lastSubmitter = null; }, 0);
  }, true);
  function base64(buffer) {
    var bytes = new Uint8Array(buffer);
    var binary = '';
    for (var i = 0; i < bytes.length; i += 0x8000) {
      binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    }
    return btoa(binary);
  }
  window.addEventListener('formdata', function (e) {
    var form = e.target;
    var submitter = lastSubmitter && lastSubmitter.form === form ? lastSubmitter : null;
    var method = form.method;
    var enctype = form.enctype;
    var action = form.action;
    if (submitter) {
      if (submitter.hasAttribute('formmethod')) method = submitter.formMethod;
      if (submitter.hasAttribute('formenctype')) enctype = submitter.formEnctype;
      if (submitter.hasAttribute('formaction')) action = submitter.formAction;
    }
    if (method !== 'post') return;
    var data = e.formData;
    var info = {
      method: method, action: action, enctype: enctype,
      acceptCharset: form.acceptCharset || '', charset: document.characterSet
    };
    // Later handlers may still change the entries: read them once this event is over.
    Promise.resolve().then(async function () {
      var entries = [];
      // The engine leaves the submit button's own entry out of the event's list although it
      // sends it: add it where it stands last in a form, after the other controls.
      var pairs = Array.from(data.entries());
      if (submitter && submitter.name && (submitter.type === 'submit') &&
          data.getAll(submitter.name).indexOf(submitter.value) < 0) {
        pairs.push([submitter.name, submitter.value]);
      }
      for (var pair of pairs) {
        var value = pair[1];
        if (typeof value === 'string') {
          entries.push({ name: pair[0], value: value });
        } else {
          entries.push({ name: pair[0], file: true, fileName: value.name, type: value.type,
                         content: base64(await value.arrayBuffer()) });
        }
      }
      info.entries = entries;
      send(JSON.stringify(info));
    });
  }, true);
})();
