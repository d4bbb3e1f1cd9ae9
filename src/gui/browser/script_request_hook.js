// Injected into the page's own script world, only while script requests are recorded: tells
// the host of every fetch() and XMLHttpRequest that sends a body or a method other than GET,
// with the body's bytes exactly as the engine sends them, and of every navigator.sendBeacon
// and WebSocket (said, not recorded). The page's calls go on unchanged.
(function () {
  'use strict';
  if (window.fetch && window.fetch.__quillrunHook) return;
  var log = console.info.bind(console);
  var NativeRequest = window.Request;
  var nativeFetch = window.fetch;
  var origin = String(location.origin);

  function base64(buffer) {
    var bytes = new Uint8Array(buffer), text = '';
    for (var i = 0; i < bytes.length; i += 0x8000)
      text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(text);
  }
  function tell(info) {
    try { log('quillrun-script-request ' + JSON.stringify(info)); } catch (e) { /* never the page's fault */ }
  }
  function absolute(url) {
    try { return new URL(String(url), document.baseURI).href; } catch (e) { return String(url); }
  }
  function entries(headers) {
    var list = [];
    headers.forEach(function (value, name) { list.push([name, value]); });
    return list;
  }
  function hasName(list, lower) {
    return list.some(function (h) { return h[0].toLowerCase() === lower; });
  }

  if (nativeFetch) {
    var hooked = function fetch(input, init) {
      var request;
      try { request = new NativeRequest(input, init); } catch (e) { return nativeFetch.apply(this, arguments); }
      var method = request.method.toUpperCase();
      if (method === 'GET' || method === 'HEAD') return nativeFetch.apply(this, arguments);
      var info = { kind: 'request', via: 'fetch', method: method, url: request.url,
                   origin: origin, headers: entries(request.headers) };
      // The body read from a copy; the request itself (its multipart boundary fixed) is sent.
      return request.clone().arrayBuffer().then(function (body) {
        info.body = base64(body);
        tell(info);
        return nativeFetch.call(window, request);
      }, function () { return nativeFetch.call(window, request); });
    };
    hooked.__quillrunHook = true;
    window.fetch = hooked;
  }

  var proto = XMLHttpRequest.prototype;
  var nativeOpen = proto.open, nativeSend = proto.send, nativeSet = proto.setRequestHeader;
  var opened = new WeakMap();
  proto.open = function (method, url) {
    opened.set(this, { method: String(method).toUpperCase(), url: absolute(url),
                       async: arguments.length < 3 || !!arguments[2], headers: [] });
    return nativeOpen.apply(this, arguments);
  };
  proto.setRequestHeader = function (name, value) {
    var o = opened.get(this);
    if (o) o.headers.push([String(name), String(value)]);
    return nativeSet.apply(this, arguments);
  };
  proto.send = function (body) {
    var o = opened.get(this);
    if (!o || o.method === 'GET' || o.method === 'HEAD') return nativeSend.apply(this, arguments);
    var info = { kind: 'request', via: 'XMLHttpRequest', method: o.method, url: o.url,
                 origin: origin, headers: o.headers.slice() };
    if (body === undefined || body === null) {
      info.body = '';
      tell(info);
      return nativeSend.apply(this, arguments);
    }
    if (typeof body === 'string' || !(body instanceof FormData) && typeof body !== 'object') {
      var text = String(body);
      info.body = base64(new TextEncoder().encode(text));
      if (!hasName(info.headers, 'content-type'))
        info.headers.push(['Content-Type', 'text/plain;charset=UTF-8']);
      tell(info);
      return nativeSend.apply(this, arguments);
    }
    if (body instanceof Document) {
      tell({ kind: 'unrecorded', via: 'XMLHttpRequest', method: o.method, url: o.url,
             why: 'a document body' });
      return nativeSend.apply(this, arguments);
    }
    // FormData, URLSearchParams, Blob, buffers: the bytes (and the Content-Type they bring)
    // as the engine serialises them; a form's body is sent as those very bytes.
    var serialised;
    try {
      serialised = new NativeRequest(location.href, { method: 'POST', body: body });
    } catch (e) {
      return nativeSend.apply(this, arguments);
    }
    var type = serialised.headers.get('content-type');
    if (type && !hasName(info.headers, 'content-type')) info.headers.push(['Content-Type', type]);
    var xhr = this;
    if (!(body instanceof FormData)) {
      if (!o.async) return nativeSend.apply(this, arguments);
      serialised.arrayBuffer().then(function (bytes) { info.body = base64(bytes); tell(info); });
      return nativeSend.apply(this, arguments);
    }
    if (!o.async) {
      tell({ kind: 'unrecorded', via: 'XMLHttpRequest', method: o.method, url: o.url,
             why: 'a form sent synchronously' });
      return nativeSend.apply(this, arguments);
    }
    serialised.arrayBuffer().then(function (bytes) {
      info.body = base64(bytes);
      tell(info);
      try {
        if (type) nativeSet.call(xhr, 'Content-Type', type);
        nativeSend.call(xhr, bytes);
      } catch (e) { /* aborted meanwhile */ }
    });
  };

  if (navigator.sendBeacon) {
    var nativeBeacon = navigator.sendBeacon;
    navigator.sendBeacon = function (url) {
      tell({ kind: 'beacon', url: absolute(url) });
      return nativeBeacon.apply(navigator, arguments);
    };
  }
  if (window.WebSocket) {
    var NativeSocket = window.WebSocket;
    var Socket = function WebSocket(url, protocols) {
      tell({ kind: 'websocket', url: absolute(url) });
      return arguments.length > 1 ? new NativeSocket(url, protocols) : new NativeSocket(url);
    };
    Socket.prototype = NativeSocket.prototype;
    ['CONNECTING', 'OPEN', 'CLOSING', 'CLOSED'].forEach(function (k) { Socket[k] = NativeSocket[k]; });
    window.WebSocket = Socket;
  }
})();
