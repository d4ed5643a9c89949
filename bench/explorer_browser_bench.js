// Times an explorer page in headless Chromium: first rows painted after opening, a heading
// click (sort), a search keystroke and a filter change, each until the next frame is painted;
// on a page with pictures also a sort until every picture of the rows drawn has loaded.
// Prints the median of several tries of each. Usage: node explorer_browser_bench.js PAGE
const path = require('path');
const {launchChromium, openPage} = require(path.join(__dirname, '..', 'tests', 'browser', 'chromium.js'));

const TRIES = 5;
const median = (xs) => xs.slice().sort((a, b) => a - b)[Math.floor(xs.length / 2)];

(async () => {
  const file = process.argv[2];
  const browser = await launchChromium();
  try {
    const paints = [];
    let page;
    for (let i = 0; i < TRIES; i++) {
      if (page) await page.close();
      ({page} = await openPage(browser, file));
      paints.push(await page.evaluate(() => performance.getEntriesByName('explorer-painted')[0].startTime));
    }
    // Let the work the page does after its first paint finish before timing the rest.
    await new Promise((r) => setTimeout(r, 2000));
    // Runs code in the page, then waits for the frame that shows its result.
    const time = (code) => page.evaluate(`(async () => {
      const t0 = performance.now();
      ${code};
      await new Promise((r) => requestAnimationFrame(() => setTimeout(r, 0)));
      return performance.now() - t0;
    })()`);
    const click = (key, shift) => `document.querySelector('th[data-key="${key}"] button').dispatchEvent(new MouseEvent('click', {bubbles: true, shiftKey: ${!!shift}}))`;
    const input = (id, value) => `{ const e = document.getElementById('${id}'); e.value = ${JSON.stringify(value)}; e.dispatchEvent(new Event('input', {bubbles: true})); }`;
    const series = {sort: [], 'search keystroke': [], 'filter change': [], 'opening a design': []};
    const withPictures = await page.$('#rows img') !== null;
    // Runs code in the page, then waits until the rows' pictures are all there.
    const timePictures = (code) => page.evaluate(`(async () => {
      const t0 = performance.now();
      ${code};
      const loaded = () => [...document.querySelectorAll('#rows img')].every((i) => i.complete && i.naturalWidth > 0);
      while (!loaded()) await new Promise((r) => setTimeout(r, 5));
      return performance.now() - t0;
    })()`);
    if (withPictures) series['sort, pictures loaded'] = [];
    for (let i = 0; i < TRIES; i++) {
      for (const key of ['Ex', 'File_Name', 'Ride_Length']) series.sort.push(await time(click(key)));
      series.sort.push(await time(click('Int', true)));
      for (const text of ['r', 'ro', 'roc', 'rock', '']) series['search keystroke'].push(await time(input('search', text)));
      series['filter change'].push(await time(input('min-Ex', '5')));
      series['filter change'].push(await time(input('max-Int', '7')));
      series['filter change'].push(await time(`document.getElementById('copies-only').click()`));
      series['filter change'].push(await time(`document.getElementById('copies-only').click()`));
      series['filter change'].push(await time(input('min-Ex', '')));
      series['filter change'].push(await time(input('max-Int', '')));
      series['filter change'].push(await time(input('fit-a', '20')));
      series['filter change'].push(await time(input('min-Layout_Rise', '8')));
      series['filter change'].push(await time(input('fit-a', '')));
      series['filter change'].push(await time(input('min-Layout_Rise', '')));
      series['opening a design'].push(await time(`document.querySelector('#rows button[data-open]').click()`));
      await page.evaluate(() => document.getElementById('detail').close());
      if (withPictures) {
        for (const key of ['Ride_Length', 'Ex']) series['sort, pictures loaded'].push(await timePictures(click(key)));
      }
    }
    const count = await page.$eval('#count', (e) => e.textContent);
    console.log(`in headless Chromium (${count}), median of ${TRIES} openings and of each kind of step:`);
    console.log(`  first rows painted  ${median(paints).toFixed(0).padStart(6)} ms after opening (target 1000)`);
    const targets = {sort: 150, 'search keystroke': 100, 'filter change': 100, 'opening a design': 100};
    for (const [name, xs] of Object.entries(series)) {
      const target = targets[name] ? ` (target ${targets[name]})` : '';
      console.log(`  ${name.padEnd(18)} ${median(xs).toFixed(0).padStart(6)} ms, slowest ${Math.max(...xs).toFixed(0)} ms${target}`);
    }
  } finally {
    await browser.close();
  }
})().catch((e) => {
  console.error(e.message);
  process.exit(1);
});
