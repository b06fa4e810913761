// Drives the bridge from Chromium: the demo page registers as alice through Kamailio, calls bob
// (baresip, which plays a tone) and hangs up, calls carol, chats with her; carol is a page
// written for the plug-in, served from a second origin the bridge allows, that answers in its
// window.OnIncomingCall; the same page from an origin not allowed must get nothing.
// Usage: node browser_test.js '{"bridge": ..., "proxy": ..., "legacyPort": ..., "foreignPort": ...,
//                               "relayPort": ..., "speaker": ..., "heard": ..., "screenshot": ...}'
"use strict";
const fs = require("fs");
const http = require("http");
const puppeteer = require("puppeteer-core");

const cfg = JSON.parse(process.argv[2]);
// The legacy pages reach the bridge through a relay that the test can cut.
const relayUrl = `http://127.0.0.1:${cfg.relayPort}`;
const legacyPage = `<!DOCTYPE html><script src="${relayUrl}/kytsip.js"></script><script>
var heard = [], failure = null, phone = null;
function OnSuccessToRegister() { heard.push("registered"); }
function OnIncomingCall(callId, name, user) { heard.push("call from " + user); phone.AcceptCall(0, callId, 0, 0); }
function OnSuccessToConnect(line) { heard.push("connected " + line); }
function OnDisconnectCall(line) { heard.push("ended " + line); }
function OnChatRecvMsgText(from, text) { heard.push("chat " + text); }
try {
  phone = KytSIP.create({bridge: "${relayUrl}", audio: "virtual"});
  phone.InitializeEx(true, "127.0.0.1", 0, "carol", "carol", "", "Carol", "127.0.0.1", "${cfg.proxy}", "", true, 1);
  phone.OpenLine(0, true, "127.0.0.1", 0);
  phone.RegisterToProxy(3600);
} catch (e) { failure = e.message; }
</script>`;

function serve(port) {
  const server = http.createServer((req, res) => {
    res.writeHead(200, {"Content-Type": "text/html"});
    res.end(legacyPage);
  });
  return new Promise((resolve) => server.listen(port, "127.0.0.1", () => resolve(server)));
}

const relay = {down: false, streams: new Set()};
function startRelay(port) {
  const target = new URL(cfg.bridge);
  const server = http.createServer((req, res) => {
    if (relay.down && req.url.includes("/events")) return res.writeHead(503).end();
    const headers = Object.assign({}, req.headers, {host: target.host});
    const up = http.request({host: target.hostname, port: target.port, path: req.url,
                             method: req.method, headers}, (upRes) => {
      res.writeHead(upRes.statusCode, upRes.headers);
      upRes.pipe(res);
      const cut = () => {
        res.destroy();
        upRes.destroy();
        relay.streams.delete(cut);
      };
      relay.streams.add(cut);
      res.on("close", cut);
    });
    up.on("error", () => res.destroy());
    req.pipe(up);
  });
  return new Promise((resolve) => server.listen(port, "127.0.0.1", () => resolve(server)));
}

function check(ok, what) {
  console.log((ok ? "PASS " : "FAIL ") + what);
  if (!ok) process.exitCode = 1;
}

// A page stuck in a synchronous call would hold the test for ever.
setTimeout(() => {
  console.log("FAIL the test did not end within 150 s");
  process.exit(1);
}, 150000).unref();

async function main() {
  const servers = [await serve(cfg.legacyPort), await serve(cfg.foreignPort),
                   await startRelay(cfg.relayPort)];
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    headless: true,
    // Both pages keep running at full speed while the other one is in front.
    args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-dev-shm-usage",
           "--disable-background-timer-throttling", "--disable-renderer-backgrounding",
           "--disable-backgrounding-occluded-windows"],
  });
  try {
    const demo = await browser.newPage();
    demo.on("console", (m) => console.log("demo page: " + m.text()));
    await demo.setViewport({width: 1280, height: 900});
    await demo.goto(`${cfg.bridge}/?audio=virtual&speaker=${encodeURIComponent(cfg.speaker)}`);
    const status = (text) =>
      demo.waitForFunction((t) => document.getElementById("status").textContent.includes(t),
                           {timeout: 15000}, text);
    const lineState = (state) =>
      demo.waitForFunction((s) => document.getElementById("lines").textContent.includes(s),
                           {timeout: 15000}, state);
    const fields = {user: "alice", display: "Alice", domain: "127.0.0.1", proxy: cfg.proxy,
                    listenIp: "127.0.0.1", lineCount: "1"};
    for (const [id, value] of Object.entries(fields)) {
      await demo.$eval("#" + id, (el, v) => { el.value = v; }, value);
    }
    await demo.click("#register");
    await status("registered as alice");
    check(true, "the demo page registered through Kamailio");

    const legacy = await browser.newPage();
    legacy.on("console", (m) => console.log("legacy page: " + m.text()));
    await legacy.goto(`http://127.0.0.1:${cfg.legacyPort}/`);
    await legacy.waitForFunction(() => failure || heard.includes("registered"), {timeout: 15000, polling: 100});
    check(await legacy.evaluate(() => failure === null), "the legacy page's session from an allowed origin");
    await demo.bringToFront();

    await demo.$eval("#number", (el) => { el.value = "bob"; });
    await demo.click("#dial");
    await lineState("connected");
    check(true, "the call to baresip connected");
    await new Promise((r) => setTimeout(r, 3000));
    await demo.screenshot({path: cfg.screenshot, fullPage: true});
    await demo.click("#hangup");
    await lineState("idle");
    // The next call starts the virtual speaker's file anew.
    await new Promise((r) => setTimeout(r, 1000));
    fs.copyFileSync(cfg.speaker, cfg.heard);

    await demo.$eval("#number", (el) => { el.value = "carol"; });
    await demo.click("#dial");
    await legacy.waitForFunction(() => heard.includes("connected 0"), {timeout: 15000, polling: 100});
    check(await legacy.evaluate(() => heard.includes("call from alice")),
          "window.OnIncomingCall of the legacy page answered alice's call");
    await demo.$eval("#chatTo", (el) => { el.value = "carol"; });
    await demo.$eval("#chatText", (el) => { el.value = "hello carol"; });
    await demo.click("#chatSend");
    await legacy.waitForFunction(() => heard.includes("chat hello carol"), {timeout: 15000, polling: 100});
    check(true, "the chat message reached window.OnChatRecvMsgText");
    await demo.click("#hangup");
    await legacy.waitForFunction(() => heard.includes("ended 0"), {timeout: 15000, polling: 100});
    check(true, "the hang-up reached window.OnDisconnectCall");

    // A network blip: the stream is cut and cannot come back for a while; what is fired
    // meanwhile arrives once it can.
    relay.down = true;
    relay.streams.forEach((cut) => cut());
    await demo.$eval("#chatText", (el) => { el.value = "while you were away"; });
    await demo.click("#chatSend");
    await new Promise((r) => setTimeout(r, 2500));
    check(!(await legacy.evaluate(() => heard.includes("chat while you were away"))),
          "the page heard nothing while cut off");
    relay.down = false;
    await legacy.waitForFunction(() => heard.includes("chat while you were away"), {timeout: 15000, polling: 100});
    check(true, "the event fired during the blip arrived after it");

    const foreign = await browser.newPage();
    await foreign.goto(`http://127.0.0.1:${cfg.foreignPort}/`);
    const refused = await foreign.evaluate(() => ({failure, phone: phone !== null}));
    check(refused.failure !== null && !refused.phone,
          "a page from an origin not allowed got nothing: " + refused.failure);

  } finally {
    for (const page of await browser.pages()) {
      // A page stuck in a synchronous call does not answer; say so instead of waiting.
      const heard = await Promise.race([
        page.evaluate(() =>
          window.heard ? JSON.stringify(window.heard) : document.getElementById("log")?.textContent),
        new Promise((r) => setTimeout(() => r("(the page does not answer)"), 3000)),
      ]);
      if (heard) console.log("what " + page.url() + " heard:\n" + heard);
    }
    await browser.close();
    servers.forEach((s) => s.close());
  }
}

main()
  .catch((e) => {
    console.log("FAIL " + e.stack);
    process.exitCode = 1;
  })
  .then(() => process.exit());
