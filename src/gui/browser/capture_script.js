// Injected into every frame, in the application's own script world: reports every form
// submission by POST with the entries the browser is about to send.
(function (secret) {
  if (window.__quillrunCapture) return;
  window.__quillrunCapture = true;
  var bridge = null;
  // A frame has no channel of its own. Its reports go out as console lines of this world,
  // which no page script can read or catch; each carries a fresh nonce and an HMAC-SHA256 over
  // nonce and text, keyed with a secret that only this script (in its own world) knows, so a
  // page's own console line cannot pass for one. The host takes each nonce once.
  function sha256(bytes) {
    var k = [0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
      0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
      0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
      0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
      0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
      0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
      0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
      0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
      0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
      0xc67178f2];
    var h = [0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab,
      0x5be0cd19];
    var length = bytes.length;
    var padded = new Uint8Array(((length + 9 + 63) >> 6) << 6);
    padded.set(bytes);
    padded[length] = 0x80;
    var bits = length * 8;
    padded[padded.length - 4] = (bits >>> 24) & 255;
    padded[padded.length - 3] = (bits >>> 16) & 255;
    padded[padded.length - 2] = (bits >>> 8) & 255;
    padded[padded.length - 1] = bits & 255;
    padded[padded.length - 5] = Math.floor(length / 0x20000000) & 255;
    var w = new Array(64);
    function rotr(x, n) { return (x >>> n) | (x << (32 - n)); }
    for (var off = 0; off < padded.length; off += 64) {
      for (var i = 0; i < 16; ++i) {
        w[i] = (padded[off + 4 * i] << 24) | (padded[off + 4 * i + 1] << 16) |
               (padded[off + 4 * i + 2] << 8) | padded[off + 4 * i + 3];
      }
      for (i = 16; i < 64; ++i) {
        var s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >>> 3);
        var s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >>> 10);
        w[i] = (w[i - 16] + s0 + w[i - 7] + s1) | 0;
      }
      var a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
      for (i = 0; i < 64; ++i) {
        var t1 = (hh + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + k[i] +
                  w[i]) | 0;
        var t2 = ((rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c))) | 0;
        hh = g; g = f; f = e; e = (d + t1) | 0; d = c; c = b; b = a; a = (t1 + t2) | 0;
      }
      h[0] = (h[0] + a) | 0; h[1] = (h[1] + b) | 0; h[2] = (h[2] + c) | 0; h[3] = (h[3] + d) | 0;
      h[4] = (h[4] + e) | 0; h[5] = (h[5] + f) | 0; h[6] = (h[6] + g) | 0; h[7] = (h[7] + hh) | 0;
    }
    var out = new Uint8Array(32);
    for (i = 0; i < 8; ++i) {
      out[4 * i] = h[i] >>> 24; out[4 * i + 1] = (h[i] >>> 16) & 255;
      out[4 * i + 2] = (h[i] >>> 8) & 255; out[4 * i + 3] = h[i] & 255;
    }
    return out;
  }
  function hmac(text) {
    var key = new TextEncoder().encode(secret);
    var message = new TextEncoder().encode(text);
    var inner = new Uint8Array(64 + message.length), outer = new Uint8Array(64 + 32);
    for (var i = 0; i < 64; ++i) {
      var kb = i < key.length ? key[i] : 0;
      inner[i] = kb ^ 0x36;
      outer[i] = kb ^ 0x5c;
    }
    inner.set(message, 64);
    outer.set(sha256(inner), 64);
    return Array.from(sha256(outer), function (x) { return (x + 256).toString(16).slice(1); })
        .join('');
  }
  var waiting = [];
  var hasChannel = window === window.top && typeof qt !== 'undefined' && qt.webChannelTransport;
  if (hasChannel) {
    new QWebChannel(qt.webChannelTransport, function (channel) {
      bridge = channel.objects.quillrunCapture;
      waiting.forEach(function (text) { bridge.formSubmitted(text); });
      waiting = [];
    });
  }
  var report = console.info.bind(console);
  function send(text, byConsole) {
    if (!hasChannel || byConsole) {
      var random = new Uint32Array(4);
      crypto.getRandomValues(random);
      var nonce = Array.from(random, function (x) { return x.toString(16); }).join('-');
      report('quillrun-frame-report ' + nonce + ' ' + hmac(nonce + '\n' + text) + ' ' + text);
    } else if (bridge) {
      bridge.formSubmitted(text);
    } else {
      waiting.push(text);
    }
  }
  // A frame's document has completed: the host hears it as the top document's completion
  // is heard (the engine reports only the top one).
  if (window !== window.top) {
    window.addEventListener('load', function (e) {
      if (e.isTrusted) send(JSON.stringify({ frameLoaded: true }));
    });
  }
  // The top document's address as the engine holds it, escapes as written.
  if (window === window.top) {
    document.addEventListener('DOMContentLoaded', function (e) {
      // By console line: the channel of a new document may not be open before it completes.
      if (e.isTrusted) send(JSON.stringify({ location: location.href }), true);
    });
  }
  // Where an image button was clicked: the engine sends it as name.x and name.y.
  var imageClick = null;
  window.addEventListener('click', function (e) {
    var t = e.target;
    imageClick = t && t.type === 'image' && t.form !== undefined ?
        { button: t, x: Math.max(0, Math.trunc(e.offsetX)), y: Math.max(0, Math.trunc(e.offsetY)) } :
        null;
  }, true);
  // How many entries a control adds to its form's entry list (the engine's own rules).
  function entryCount(el) {
    if (!el.name && el.type !== 'image') return 0;
    if (el.matches(':disabled') || el.closest('datalist')) return 0;
    var type = (el.type || '').toLowerCase();
    if (el.tagName === 'BUTTON' || type === 'submit' || type === 'reset' || type === 'button' ||
        type === 'image') return 0;
    if (el.tagName === 'OBJECT' || el.tagName === 'OUTPUT' || el.tagName === 'FIELDSET') return 0;
    if ((type === 'checkbox' || type === 'radio') && !el.checked) return 0;
    if (el.tagName === 'SELECT') {
      return Array.from(el.options).filter(function (o) {
        return o.selected && !o.disabled;
      }).length;
    }
    var n = type === 'file' ? Math.max(1, el.files ? el.files.length : 0) : 1;
    if (el.hasAttribute('dirname') && el.getAttribute('dirname') &&
        (el.tagName === 'TEXTAREA' || type === 'text' || type === 'search')) ++n;
    return n;
  }
  // The submitter's entries at their place in tree order, as the engine sends them.
  function withSubmitter(form, submitter, pairs) {
    var own = [];
    if (submitter.type === 'image') {
      var at = imageClick && imageClick.button === submitter ? imageClick : { x: 0, y: 0 };
      var prefix = submitter.name ? submitter.name + '.' : '';
      own = [[prefix + 'x', String(at.x)], [prefix + 'y', String(at.y)]];
    } else if (submitter.name) {
      own = [[submitter.name, submitter.value]];
    }
    if (!own.length) return pairs;
    // The form's controls in tree order, image buttons and controls tied by form= included.
    var controls = Array.from(form.ownerDocument.querySelectorAll(
        'button,fieldset,input,object,output,select,textarea')).filter(function (el) {
      return el.form === form;
    });
    var before = 0;
    for (var el of controls) {
      if (el === submitter) break;
      before += entryCount(el);
    }
    before = Math.min(before, pairs.length);
    var there = pairs[before];
    if (there && there[0] === own[0][0] && there[1] === own[0][1]) return pairs;  // sent already
    return pairs.slice(0, before).concat(own, pairs.slice(before));
  }
  // Links and forms that ask for a new window open nothing; the host says so.
  function framed(name, win) {
    try {
      for (var i = 0; i < win.frames.length; ++i) {
        if (win.frames[i].name === name || framed(name, win.frames[i])) return true;
      }
    } catch (err) {
      return true;  // another origin's frames are not told: take it for one of them
    }
    return false;
  }
  function opensNewWindow(target) {
    var t = (target || '').toLowerCase();
    if (!t || t === '_self' || t === '_parent' || t === '_top') return false;
    return t === '_blank' || !framed(target, window.top);
  }
  function sayNewWindow(e, address) {
    setTimeout(function () {
      if (!e.defaultPrevented) send(JSON.stringify({ newWindow: address }));
    }, 0);
  }
  window.addEventListener('click', function (e) {
    var link = e.target && e.target.closest ? e.target.closest('a[href], area[href]') : null;
    if (link && opensNewWindow(link.target)) sayNewWindow(e, link.href);
  }, true);
  window.addEventListener('submit', function (e) {
    if (!e.isTrusted) return;
    var form = e.target;
    var s = e.submitter;
    var target = s && s.hasAttribute('formtarget') ? s.formTarget : form.target;
    if (opensNewWindow(target)) sayNewWindow(e, s && s.hasAttribute('formaction') ? s.formAction : form.action);
  }, true);
  var lastSubmitter = null;
  // The submit button of the submission under way; the entry list may be reported more than
  // once for one submission, so it stays for the rest of this task.
  // Only the engine's own events count: a page can dispatch a made-up one.
  window.addEventListener('submit', function (e) {
    if (!e.isTrusted) return;
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
  // The bytes the engine sends for a text in a form of this charset: the engine encodes a
  // URL's query with the same encoder and the same numeric references (&#N;) for characters the
  // charset lacks, so a link's address in a document of that charset tells them exactly.
  function formCharset(form) {
    var labels = (form.acceptCharset || '').split(/[\s,]+/);
    for (var k = 0; k < labels.length; ++k) {
      if (!labels[k]) continue;
      try {
        var known = new TextDecoder(labels[k]).encoding;
        return known.indexOf('utf-16') === 0 ? 'utf-8' : known;
      } catch (err) { /* not a label the engine knows */ }
    }
    return new TextDecoder(document.characterSet).encoding;
  }
  // A document of another charset (for a form whose accept-charset names one) is made ahead,
  // when the page has loaded or a form is used: a submission leaves no time to wait for it.
  var encoderDocuments = {};
  function encoderDocument(charset) {
    if (charset === new TextDecoder(document.characterSet).encoding) return document;
    return encoderDocuments[charset] || null;
  }
  function prepareEncoder(form) {
    var charset = formCharset(form);
    if (charset === 'utf-8' || charset === new TextDecoder(document.characterSet).encoding ||
        charset in encoderDocuments) return;
    encoderDocuments[charset] = null;
    try {
      var blob = new Blob(['<!doctype html><title></title>'], { type: 'text/html;charset=' + charset });
      var address = URL.createObjectURL(blob);
      var request = new XMLHttpRequest();
      request.open('GET', address);
      request.responseType = 'document';
      request.onload = function () {
        URL.revokeObjectURL(address);
        var d = request.response;
        if (d && new TextDecoder(d.characterSet).encoding === charset) encoderDocuments[charset] = d;
        window.__quillrunEncoderReady = charset;  // (this world only: for the program's tests)
      };
      request.send();
    } catch (err) { /* the charset's bytes are then made by the host */ }
  }
  function prepareEncoders() {
    Array.from(document.forms).forEach(prepareEncoder);
  }
  document.addEventListener('DOMContentLoaded', prepareEncoders);
  window.addEventListener('load', prepareEncoders);
  window.addEventListener('focusin', function (e) {
    if (e.target && e.target.form) prepareEncoder(e.target.form);
  }, true);
  function engineBytes(doc, text) {
    var link = doc.createElement('a');
    // Escaped first: what the address parser would drop (tabs, line breaks) or read as syntax.
    link.href = 'http://x/?' + text.replace(/[%#\t\n\r]/g, function (c) {
      return '%' + (c.charCodeAt(0) + 256).toString(16).slice(1).toUpperCase();
    });
    var query = link.href;
    query = query.slice(query.indexOf('?') + 1);
    return btoa(query.replace(/%([0-9A-Fa-f]{2})/g, function (m, hex) {
      return String.fromCharCode(parseInt(hex, 16));
    }));
  }
  window.addEventListener('formdata', function (e) {
    if (!e.isTrusted) return;
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
      // The engine leaves the submitter's own entries out of the event's list although it
      // sends them.
      var pairs = Array.from(data.entries());
      if (submitter) pairs = withSubmitter(form, submitter, pairs);
      var charset = formCharset(form);
      var encoder = charset === 'utf-8' ? null : encoderDocument(charset);
      for (var pair of pairs) {
        var value = pair[1];
        if (typeof value === 'string') {
          var entry = { name: pair[0], value: value };
          if (encoder) {
            entry.nameBytes = engineBytes(encoder, pair[0]);
            entry.valueBytes = engineBytes(encoder, value);
          }
          entries.push(entry);
        } else {
          entries.push({ name: pair[0], file: true, fileName: value.name, type: value.type,
                         content: base64(await value.arrayBuffer()) });
        }
      }
      info.entries = entries;
      send(JSON.stringify(info));
    });
  }, true);
  // A replay's script row: sent with fetch() from the page shown (its cookies go with it), in
  // this world so that the page's own fetch() is not the one called; the answer is reported.
  if (window === window.top) {
    var nativeFetch = window.fetch;
    window.__quillrunReplayFetch = function (id, method, url, headers, body) {
      var bytes = Uint8Array.from(atob(body), function (c) { return c.charCodeAt(0); });
      var init = { method: method, headers: headers, credentials: 'same-origin', cache: 'no-store' };
      if (method !== 'GET' && method !== 'HEAD' && (bytes.length > 0 || method !== 'DELETE'))
        init.body = bytes;
      nativeFetch.call(window, url, init).then(function (answer) {
        return answer.text().then(function (text) {
          send(JSON.stringify({ fetchAnswer: { id: id, status: answer.status,
                                               statusText: answer.statusText,
                                               text: text.slice(0, 1048576) } }), true);
        });
      }).catch(function (e) {
        send(JSON.stringify({ fetchAnswer: { id: id, error: String(e && e.message || e) } }), true);
      });
      return true;
    };
  }
})(QUILLRUN_SECRET);
