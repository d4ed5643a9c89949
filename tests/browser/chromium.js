// Starts Debian's Chromium headless for the browser tests and the benchmark: a fresh profile,
// nothing that talks to the network on its own.
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

const CHROMIUM = process.env.VELODEX_CHROMIUM || '/usr/bin/chromium';

async function launchChromium() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'velodex-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           '--user-data-dir=' + profile],
  });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close();
    fs.rmSync(profile, {recursive: true, force: true});
  };
  return browser;
}

// Opens file in a new page of browser, refusing (and recording) every request that is not
// for a local file or inline data.
async function openPage(browser, file, {width = 1400, height = 900, hash = ''} = {}) {
  const page = await browser.newPage();
  const requests = [];
  const errors = [];
  await page.setRequestInterception(true);
  page.on('request', (request) => {
    const url = request.url();
    if (url.startsWith('file:') || url.startsWith('data:')) return request.continue();
    requests.push(url);
    return request.abort();
  });
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  await page.setViewport({width, height});
  await page.goto('file://' + path.resolve(file) + hash, {waitUntil: 'load'});
  await page.waitForFunction(() => performance.getEntriesByName('explorer-painted').length > 0);
  return {page, requests, errors};
}

module.exports = {launchChromium, openPage};
