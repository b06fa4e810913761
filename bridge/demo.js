// The demo call in headless Chromium: opens the bridge's demo page, registers alice through the
// local proxy, calls the number given, talks for a few seconds, saves a screenshot mid-call and
// hangs up; prints every event the page heard. Run by demo.sh.
// Usage: node demo.js BRIDGE-URL PROXY-URI NUMBER SCREENSHOT.png
"use strict";
const puppeteer = require("puppeteer-core");

const [bridge, proxy, number, screenshot] = process.argv.slice(2);

async function main() {
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-dev-shm-usage"],
  });
  try {
    const page = await browser.newPage();
    await page.setViewport({width: 1280, height: 900});
    await page.goto(bridge + "/");
    const wait = (selector, text) =>
      page.waitForFunction((s, t) => document.querySelector(s).textContent.includes(t),
                           {timeout: 15000}, selector, text);
    const fields = {user: "alice", password: "", display: "Alice", domain: "127.0.0.1", proxy,
                    listenIp: "127.0.0.1", lineCount: "1", number};
    for (const [id, value] of Object.entries(fields))
      await page.$eval("#" + id, (el, v) => { el.value = v; }, value);
    console.log("demo: registering alice with " + proxy);
    await page.click("#register");
    await wait("#status", "registered as alice");
    console.log("demo: calling " + number);
    await page.click("#dial");
    await wait("#lines", "connected");
    await new Promise((r) => setTimeout(r, 4000));
    await page.screenshot({path: screenshot, fullPage: true});
    await page.click("#hangup");
    await wait("#lines", "idle");
    await page.click("#unregister");
    await wait("#status", "not registered");
    console.log("demo: events the page heard:\n" + (await page.$eval("#log", (el) => el.textContent)));
  } finally {
    await browser.close();
  }
}

main().catch((e) => {
  console.error("demo: " + e.message);
  process.exitCode = 1;
});
