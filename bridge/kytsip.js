// kytsip.js: the softphone for web pages, through the local web bridge (kytbridge).
//
//   const phone = KytSIP.create({bridge: "http://127.0.0.1:47600", audio: "virtual"});
//   if (!phone.IsLineBusy(0)) phone.DialCall(0, "bob", 0, 0);
//   function OnSuccessToConnect(line, ip, port) { ... }          // as with the plug-in
//   phone.addEventListener("OnIncomingCall", e => console.log(e.detail));
//   phone.async.GetMicSoundLevel().then(level => ...);
//   phone.close();
//
// Every script function of the plug-in answers synchronously, as it did in the <embed>, so pages
// written for the plug-in keep working; phone.async.<Function> answers a Promise instead.
(function (global) {
  "use strict";

  var FUNCTIONS = [
    "GetCallId", "GetMicSoundLevel", "GetSpkSoundLevel", "GetAudioInDevTotal",
    "GetAudioOutDevTotal", "GetAudioInDevId", "GetAudioOutDevId", "GetAudioOutDevName",
    "GetAudioInDevName", "InitializeEx", "Initialize", "UnInitialize", "RegisterToProxy",
    "UnRegisterToProxy", "OpenLine", "CloseLine", "GetKytObjectError", "DialCall", "Connect",
    "ConnectCall", "Disconnect", "AcceptCall", "RejectCall", "TransferCallEx", "TransferCall",
    "JoinTwoLine", "HoldLine", "UnHoldLine", "IsLineOpen", "IsLineHold", "IsLineBusy",
    "IsLineConnected", "EnableKeepAlive", "DisableKeepAlive", "DeselectAllVoiceCodec",
    "SelectAllVoiceCodec", "SelectVoiceCodec", "DeselectVoiceCodec", "GetMyIP", "GetStartMyIP",
    "GetNextMyIP", "DigitDTMF", "EnableForceInbandDTMF", "DisableForceInbandDTMF",
    "EnableForceInfoDTMF", "DisableForceInfoDTMF", "SetDTMFVolume", "GetDTMFVolume", "MuteMic",
    "MuteSpk", "GetMicVolume", "SetMicVolume", "GetSpkVolume", "SetSpkVolume",
    "EnableMicBoost", "DisableMicBoost", "IsMicBoostEnable", "EnableAGC", "DisableAGC",
    "EnableEchoNoiseCancellation", "DisableEchoNoiseCancellation", "IsRecording",
    "StartRecording", "StopRecording", "ResetRecording", "SaveRecordingToWaveFile",
    "IsWaveFilePlaying", "PlayWaveOpen", "PlayWaveClose", "PlayWaveSkipTo",
    "PlayWaveTotalTime", "PlayWavePause", "PlayWaveStart", "PlayWaveStop", "PlayWavePosition",
    "EnableDonotDisturb", "DisableDonotDisturb", "GetOutboundCodec", "GetInboundCodec",
    "GetVersionFile", "GetVersionSDK", "SetSessionLostTick", "SetSpkSoftVolume", "MuteLineSPK",
    "MuteLineMIC", "SetLineSpkVol", "GetLineSpkVol", "SetUserAgentSIP", "GetUserAgentSIP",
    "SetSubjectSDP", "GetSubjectSDP", "ConfAllowLine", "LineVoiceChannelSPK", "ChatAddContact",
    "ChatRemoveContact", "ChatSendMessageTyping", "ChatSendMessageText", "ChatSetMyStatus",
    "VoiceChanger", "ForwardCall", "DetectAMD", "PlayAddPCM", "PlayResetPCM",
    "CaptureStreamPCM", "AddCustomHeader", "RemoveCustomHeader", "RemoveCustomHeaderAll",
    "ActivateQosSIP", "DeactivateQosSIP", "ActivateQosRTP", "DeactivateQosRTP",
    "GetCountPacketLost", "GetSizeJitterBuffer", "OpenMediaSecondry", "CloseMediaSecondry",
    "ChangeMEDIA"
  ];
  var EVENTS = [
    "OnTryingToRegister", "OnSuccessToRegister", "OnFailToRegister", "OnFailToRegisterEx",
    "OnTryingToReRegister", "OnSuccessToReRegister", "OnFailToReRegister",
    "OnFailToReRegisterEx", "OnTryingToUnRegister", "OnSuccessToUnRegister",
    "OnFailToUnRegister", "OnConnecting", "OnSuccessToConnect", "OnFailToConnect",
    "OnDisconnectCall", "OnIncomingCall", "OnIncomingCallRingingStart",
    "OnIncomingCallRingingStop", "OnProvisionalResponse", "OnRedirectionResponse",
    "OnRequestFailureResponse", "OnServerFailureResponse", "OnGeneralFailureResponse",
    "OnTryingToHold", "OnSuccessToHold", "OnFailToHold", "OnTryingToUnHold",
    "OnSuccessToUnHold", "OnFailToUnHold", "OnCallTransferAccepted", "OnFailToTransfer",
    "OnIncomingDiagnostic", "OnOutgoingDiagnostic", "OnDetectedAMD", "OnChatContactStatus",
    "OnChatSendMsgTextSuccess", "OnChatSendMsgTextFail", "OnChatSendMsgTypingSuccess",
    "OnChatSendMsgTypingFail", "OnChatRecvMsgText", "OnChatRecvMsgTypingStart",
    "OnChatRecvMsgTypingStop", "OnPlayWaveDone", "OnDTMFDigit", "OnMsgNOTIFY",
    "OnVoiceMailMsg", "OnSessionLostEvent", "OnVoiceStreamPCM"
  ];

  function BridgeError(message) {
    var error = new Error("KytSIP: " + message);
    error.name = "KytSIPError";
    return error;
  }

  // The answer of a request as an object; throws with the bridge's reason when it refused.
  function parseAnswer(status, text) {
    var body = null;
    try {
      body = JSON.parse(text);
    } catch (e) {
      body = null;
    }
    if (status === 0) throw BridgeError("the bridge cannot be reached");
    if (status < 200 || status >= 300 || body === null)
      throw BridgeError((body && body.error) || "the bridge answered " + status);
    return body;
  }

  function syncRequest(method, url, token, body) {
    var xhr = new XMLHttpRequest();
    xhr.open(method, url, false);
    if (token) xhr.setRequestHeader("Authorization", "Bearer " + token);
    if (body !== undefined) xhr.setRequestHeader("Content-Type", "application/json");
    try {
      xhr.send(body === undefined ? null : JSON.stringify(body));
    } catch (e) {
      throw BridgeError("the bridge cannot be reached");
    }
    return parseAnswer(xhr.status, xhr.responseText);
  }

  function asyncRequest(method, url, token, body) {
    var headers = {};
    if (token) headers.Authorization = "Bearer " + token;
    if (body !== undefined) headers["Content-Type"] = "application/json";
    return fetch(url, {
      method: method,
      headers: headers,
      body: body === undefined ? undefined : JSON.stringify(body),
    }).then(
      function (res) {
        return res.text().then(function (text) {
          return parseAnswer(res.status, text);
        });
      },
      function () {
        throw BridgeError("the bridge cannot be reached");
      }
    );
  }

  function KytPhone(bridge, session) {
    var target = new EventTarget();
    var phone = this;
    var base = bridge + "/v1/sessions/" + session.id;
    var token = session.token;
    var lastEventId = 0;
    var source = null;
    var reopenTimer = null;
    var closed = false;

    // The plug-in called the page's window function; so do we, then tell the listeners.
    function deliver(name, e) {
      var id = Number(e.lastEventId);
      if (id && id <= lastEventId) return;
      if (id) lastEventId = id;
      var args = JSON.parse(e.data);
      if (typeof global[name] === "function") {
        try {
          global[name].apply(global, args);
        } catch (error) {
          setTimeout(function () {
            throw error;
          });
        }
      }
      target.dispatchEvent(new CustomEvent(name, {detail: args}));
    }

    // EventSource comes back by itself after a blip (and says where it stopped); when it gives
    // up (the bridge was away), a new one asks for what came after the last event seen.
    function open() {
      reopenTimer = null;
      if (closed) return;
      source = new EventSource(
        base + "/events?token=" + encodeURIComponent(token) + "&lastEventId=" + lastEventId
      );
      EVENTS.forEach(function (name) {
        source.addEventListener(name, function (e) {
          deliver(name, e);
        });
      });
      source.onerror = function () {
        if (source.readyState === EventSource.CLOSED && !closed && !reopenTimer)
          reopenTimer = setTimeout(open, 1000);
      };
    }

    this.id = session.id;
    this.bridge = bridge;
    this.async = {};
    this.addEventListener = target.addEventListener.bind(target);
    this.removeEventListener = target.removeEventListener.bind(target);
    this.dispatchEvent = target.dispatchEvent.bind(target);

    FUNCTIONS.forEach(function (name) {
      phone[name] = function () {
        var args = Array.prototype.slice.call(arguments);
        return syncRequest("POST", base + "/call", token, {fn: name, args: args}).result;
      };
      phone.async[name] = function () {
        var args = Array.prototype.slice.call(arguments);
        return asyncRequest("POST", base + "/call", token, {fn: name, args: args}).then(
          function (answer) {
            return answer.result;
          }
        );
      };
    });

    // Ends the session: its calls end and the plug-in instance goes, as when a page closed.
    this.close = function () {
      if (closed) return;
      closed = true;
      if (reopenTimer) clearTimeout(reopenTimer);
      if (source) source.close();
      fetch(base, {
        method: "DELETE",
        headers: {Authorization: "Bearer " + token},
        keepalive: true,
      }).catch(function () {});
    };
    // The bridge ends a session whose page went away; a page that is left says so at once.
    global.addEventListener("pagehide", this.close);

    open();
  }

  // A phone of its own for this page (one plug-in instance). options: bridge (the bridge's
  // address, default http://127.0.0.1:47600), and the attributes the <embed> had: audio
  // ("pulse" or "virtual"), mic and speaker (WAVE files of the virtual device), srtp
  // ("optional" or "mandatory": whether a plain RTP offer over TLS is taken or refused).
  function create(options) {
    options = options || {};
    var bridge = (options.bridge || "http://127.0.0.1:47600").replace(/\/+$/, "");
    var attributes = {};
    ["audio", "mic", "speaker", "srtp"].forEach(function (name) {
      if (options[name] !== undefined) attributes[name] = String(options[name]);
    });
    var session = syncRequest("POST", bridge + "/v1/sessions", null, {attributes: attributes});
    return new KytPhone(bridge, session);
  }

  global.KytSIP = {create: create, FUNCTIONS: FUNCTIONS.slice(), EVENTS: EVENTS.slice()};
})(window);
