// The explorer page in headless Chromium, written by velodex-cli for the sample collection
// with copies and hostile names planted beside it, checked against the catalogue's own SQL.
// Run by ctest: node --test explorer_test.js, with VELODEX_BIN naming the programs' folder.
const assert = require('node:assert/strict');
const {execFileSync, spawnSync} = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const {after, before, test} = require('node:test');

// Without the npm packages (scripts/install-deps installs them) the test is skipped, except
// in CI, where it must run.
if (!fs.existsSync(path.join(__dirname, 'node_modules', 'puppeteer-core')) && !process.env.CI) {
  console.log('skipped: run scripts/install-deps for puppeteer-core and Chromium');
  process.exit(77);
}
const {launchChromium, openPage} = require('./chromium.js');

const bin = process.env.VELODEX_BIN;
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'velodex-explorer-'));
const loose = path.join(work, 'samples', 'loose');
const catalogue = path.join(work, 'velodex.mdb');
const pictures = path.join(work, 'pictures');

// Names that would be markup, script or broken bytes if the page pasted them in.
const HOSTILE = ['<img src=x onerror="window.pwned=1">.td4', '"&amp; <b>bold<b>\'.td4',
                 '<!-- x.td4', '<script>window.pwned=2<\\script>.td4'];
const LATIN1 = Buffer.concat([Buffer.from('Caf'), Buffer.from([0xe9]), Buffer.from(' Loop.td4')]);

function sql(query) {
  const out = execFileSync('sqlite3', ['-json', catalogue, query], {encoding: 'latin1'});
  return out.trim() ? JSON.parse(out) : [];
}
// Text the catalogue holds as bytes, as the page shows it: UTF-8 where valid, else Latin-1.
function shown(hex) {
  const bytes = Buffer.from(hex, 'hex');
  try {
    return new TextDecoder('utf-8', {fatal: true}).decode(bytes);
  } catch {
    return bytes.toString('latin1');
  }
}

let browser;
let run;
let firstDesign;
let secondDesign;
before(async () => {
  execFileSync(path.join(bin, 'velodex-samples'), [path.join(work, 'samples')]);
  fs.copyFileSync(path.join(bin, 'velodex.mdb'), catalogue);
  const designs = fs.readdirSync(loose).filter((f) => /^[A-Za-z]+\.td4$/.test(f)).sort();
  [firstDesign, secondDesign] = designs;
  // Copies: the first design three times over (once with an upper-case ending), the second
  // twice; each other planted name copies one more design.
  const copy = (from, to) => fs.copyFileSync(path.join(loose, from), path.join(loose, to));
  copy(firstDesign, 'Copy of first.td4');
  copy(firstDesign, 'FIRST AGAIN.TD4');
  copy(secondDesign, 'Second twin.td4');
  const others = designs.slice(2);
  HOSTILE.forEach((name, i) => copy(others[i], name));
  fs.copyFileSync(path.join(loose, others[HOSTILE.length]), Buffer.from(path.join(loose, '/') + LATIN1.toString('latin1'), 'latin1'));
  run = spawnSync(path.join(bin, 'velodex-cli'), ['--explorer', '--pictures', pictures, '--database-dir', work, loose], {encoding: 'utf8'});
  browser = await launchChromium();
});
after(async () => {
  if (browser) await browser.close();
  fs.rmSync(work, {recursive: true, force: true});
});

const open = (options) => openPage(browser, path.join(loose, 'explorer.htm'), options);
// Every shown row's value under heading key (or its data-file), in order: the table renders
// the rows in sight, so this scrolls through it.
function rowsOf(page, key) {
  return page.evaluate(async (k) => {
    const at = [...document.querySelectorAll('#headings th')].findIndex((th) => th.dataset.key === k);
    const scroller = document.getElementById('scroller');
    const total = Number(document.getElementById('designs').getAttribute('aria-rowcount')) - 1;
    const out = new Array(total);
    const frame = () => new Promise((r) => requestAnimationFrame(() => setTimeout(r, 0)));
    for (let top = 0; ; top += scroller.clientHeight) {
      scroller.scrollTop = top;
      await frame();
      for (const tr of document.querySelectorAll('#rows tr[data-file]')) {
        const cell = tr.children[at];
        out[Number(tr.getAttribute('aria-rowindex')) - 2] = at < 0 ? tr.dataset.file : cell.firstChild ? cell.firstChild.textContent : '';
      }
      if (top >= scroller.scrollHeight) break;
    }
    scroller.scrollTop = 0;
    await frame();
    return out;
  }, key);
}
const cells = rowsOf;
// The shown row of the design named name, found through the search box: its name cell's text,
// link target and element count, and its copies cell's text.
async function rowNamed(page, name) {
  await setInput(page, 'search', name);
  const row = await page.$$eval('#rows tr[data-file]', (trs, n) => {
    const tr = trs.find((t) => t.dataset.file === n);
    const cell = tr && tr.children[0];
    return tr && {text: cell.textContent, href: cell.firstChild.getAttribute('href'),
                  elements: cell.querySelectorAll('*').length, copies: tr.lastChild.textContent};
  }, name);
  await setInput(page, 'search', '');
  return row;
}
const files = (page) => rowsOf(page, null).then((names) => names.sort());
const count = (page) => page.$eval('#count', (e) => e.textContent);
const click = (page, key, shift) => page.$eval(`th[data-sort="${key}"] button`, (b, s) => b.dispatchEvent(new MouseEvent('click', {bubbles: true, shiftKey: s})), !!shift);
const setInput = (page, id, value) => page.$eval('#' + id, (e, v) => { e.value = v; e.dispatchEvent(new Event('input', {bubbles: true})); }, value);

test('the run writes the explorer, names it and counts the copies', () => {
  assert.equal(run.status, 0, run.stderr);
  assert.match(run.stdout.trim().split('\n').pop(), /simpleindex\.htm and .*explorer\.htm$/);
  // Five planted copies of two designs, and each of the five other names a copy of one more.
  assert.match(run.stderr, /, 15 designs have copies, in 7 groups$/m);
});

test('count, then every heading sorts as the catalogue orders, again reversed', async () => {
  // A window tall enough for every row reads each order in one frame; the scrolling walk
  // through the rows in sight is the other tests' (a pass in a short window takes seconds).
  const {page, requests, errors} = await open({height: 8000});
  const total = sql('SELECT COUNT(*) AS n FROM velodex')[0].n;
  assert.equal(await count(page), `${total} of ${total} designs`);
  const headings = await page.$$eval('th[data-sort]', (ths) => ths.map((th) => th.dataset.sort));
  assert.equal(headings.length, 17);
  // Every heading once; two numbers and a text a second time, reversed.
  for (const key of headings) {
    for (const pass of ['Ex', 'File_Name', 'Rating'].includes(key) ? [1, 2] : [1]) {
      await click(page, key);
      const sort = await page.$eval(`th[data-sort="${key}"]`, (th) => th.getAttribute('aria-sort'));
      const direction = sort === 'descending' ? 'DESC' : 'ASC';
      const expected = sql(`SELECT hex(${key}) AS h, ${key} AS v FROM velodex ORDER BY ${key} ${direction}`);
      const got = await cells(page, key);
      assert.equal(got.length, expected.length, key);
      expected.forEach((row, i) => {
        const want = typeof row.v === 'number' ? row.v : shown(row.h);
        const label = `${key} ${direction} pass ${pass} row ${i}: ${got[i]} vs ${want}`;
        if (typeof want === 'number') assert.ok(Math.abs(Number(got[i]) - want) <= 1e-5 * Math.max(1, Math.abs(want)), label);
        else assert.equal(got[i], key === 'zipfilename' && want === 'none' ? '' : want, label);
      });
    }
  }
  // A second key with shift: ride type, then excitement from the highest.
  await click(page, 'Ride_Type');
  if (await page.$eval('th[data-sort="Ride_Type"]', (th) => th.getAttribute('aria-sort')) !== 'ascending') await click(page, 'Ride_Type');
  await click(page, 'Ex', true);
  const pairs = sql('SELECT Ride_Type AS t, Ex AS e FROM velodex ORDER BY Ride_Type ASC, Ex DESC');
  const [types, ex] = [await cells(page, 'Ride_Type'), await cells(page, 'Ex')];
  pairs.forEach((row, i) => {
    assert.equal(types[i], row.t);
    assert.ok(Math.abs(Number(ex[i]) - row.e) < 1e-5, `row ${i}`);
  });
  // The keyboard sorts too.
  await page.focus('th[data-sort="Drops"] button');
  await page.keyboard.press('Enter');
  assert.equal(await page.$eval('th[data-sort="Drops"]', (th) => th.getAttribute('aria-sort')), 'descending');
  assert.deepEqual(requests, []);
  assert.deepEqual(errors, []);
});

test('filters count what the catalogue counts, and the view survives in the address', async () => {
  const {page} = await open();
  const countOf = (where) => sql(`SELECT COUNT(*) AS n FROM velodex WHERE ${where}`)[0].n;
  const total = countOf('1');
  const expectCount = async (where) => assert.equal(await count(page), `${countOf(where)} of ${total} designs`, where);

  await setInput(page, 'search', 'ROCK');
  await expectCount("File_Name LIKE '%rock%' OR Ride_Type LIKE '%rock%' OR Author LIKE '%rock%'");
  await setInput(page, 'search', 'steel_');
  await expectCount("Ride_Type LIKE '%steel\\_%' ESCAPE '\\' OR File_Name LIKE '%steel\\_%' ESCAPE '\\'");
  await setInput(page, 'search', '');

  const [typeA, typeB] = sql('SELECT Ride_Type AS t FROM velodex GROUP BY Ride_Type ORDER BY COUNT(*) DESC LIMIT 2').map((r) => r.t);
  for (const type of [typeA, typeB]) await page.$eval(`#types input[value="${type}"]`, (b) => b.click());
  await expectCount(`Ride_Type IN ('${typeA}', '${typeB}')`);
  for (const type of [typeA, typeB]) await page.$eval(`#types input[value="${type}"]`, (b) => b.click());

  // Bounds between the values the designs can have, so rounding cannot decide.
  const ranges = [['min-Ex', 4.05, 'Ex >= 4.05'], ['max-Int', 1.55, 'Int <= 1.55'], ['min-Max_Speed', 20, 'Max_Speed >= 20'],
                  ['max-Ride_Length', 2000.5, 'Ride_Length <= 2000.5'], ['min-Drops', 1, 'Drops >= 1'],
                  ['max-Na', 2.05, 'Na <= 2.05'], ['max-Invs', 0, 'Invs <= 0']];
  const clauses = [];
  for (const [id, value, clause] of ranges) {
    await setInput(page, id, String(value));
    clauses.push(clause);
    await expectCount(clauses.join(' AND '));
  }
  for (const [id] of ranges) await setInput(page, id, '');

  await page.$eval('#copies-only', (b) => b.click());
  await expectCount('Design_Digest IN (SELECT Design_Digest FROM velodex GROUP BY Design_Digest HAVING COUNT(*) > 1)');
  await setInput(page, 'min-Ex', '4.05');
  await click(page, 'Ride_Length');
  await new Promise((r) => setTimeout(r, 400));  // the address follows the view a moment later
  const hash = await page.evaluate(() => location.hash);
  const shownRows = await rowsOf(page, null);
  const again = await open({hash});
  assert.equal(await count(again.page), await count(page));
  assert.deepEqual(await rowsOf(again.page, null), shownRows);
  assert.equal(await again.page.$eval('#min-Ex', (e) => e.value), '4.05');
});

test('hostile names are shown as text, linked by their bytes', async () => {
  const {page, requests, errors} = await open();
  for (const name of [...HOSTILE, LATIN1.toString('latin1')]) {
    const stored = name.replace(/TD4$/, 'td4');
    const cell = await rowNamed(page, stored);
    assert.ok(cell, stored);
    assert.equal(cell.text, stored);
    assert.equal(cell.elements, 1);  // the link, nothing the name made
    if (name !== LATIN1.toString('latin1')) assert.equal(decodeURIComponent(cell.href), stored);
  }
  assert.equal((await rowNamed(page, LATIN1.toString('latin1'))).href, 'Caf%E9%20Loop.td4');
  // The stored name ends in a lower-case "td4"; the link goes to the name on disk.
  assert.equal((await rowNamed(page, 'FIRST AGAIN.td4')).href, 'FIRST%20AGAIN.TD4');
  assert.equal(await page.evaluate(() => window.pwned), undefined);
  assert.equal(await page.$$eval('#rows img:not(.plan img), #rows b, #rows script', (e) => e.length), 0);
  assert.deepEqual(requests, []);
  assert.deepEqual(errors, []);
});

test('designs planted as copies form their groups', async () => {
  const {page} = await open();
  const copiesOf = async (name) => (await rowNamed(page, name)).copies;
  assert.equal(await copiesOf(firstDesign), '2');
  assert.equal(await copiesOf('FIRST AGAIN.td4'), '2');
  assert.equal(await copiesOf(secondDesign), '1');
  assert.equal(await copiesOf(HOSTILE[0]), '1');
  await setInput(page, 'search', firstDesign);
  await page.$$eval('#rows tr[data-file]', (trs, n) => trs.find((t) => t.dataset.file === n).querySelector('button[data-group]').click(), firstDesign);
  await setInput(page, 'search', '');
  const group = await files(page);
  assert.deepEqual(group, ['Copy of first.td4', 'FIRST AGAIN.td4', firstDesign].sort());
  await page.$eval('#group-clear', (b) => b.click());
  await page.$eval('#copies-only', (b) => b.click());
  assert.equal(await count(page), `15 of ${sql('SELECT COUNT(*) AS n FROM velodex')[0].n} designs`);
  const planted = ['Copy of first.td4', 'FIRST AGAIN.td4', 'Second twin.td4', firstDesign, secondDesign];
  const all = await files(page);
  for (const name of planted) assert.ok(all.includes(name), name);
});

test('designs from archives link their archive, and a hostile author stays text', async () => {
  const packs = path.join(work, 'packs');
  const database = path.join(work, 'packs-db');
  fs.mkdirSync(packs);
  fs.mkdirSync(database);
  fs.copyFileSync(path.join(bin, 'velodex.mdb'), path.join(database, 'velodex.mdb'));
  fs.copyFileSync(path.join(loose, firstDesign), path.join(packs, 'Inside.td4'));
  fs.writeFileSync(path.join(packs, 'author.txt'), '<b>Evil</b> & co\r\njavascript:window.pwned=3\r\n');
  execFileSync('zip', ['-q', 'Evil Pack.zip', 'Inside.td4', 'author.txt'], {cwd: packs});
  fs.rmSync(path.join(packs, 'Inside.td4'));
  fs.rmSync(path.join(packs, 'author.txt'));
  const zipRun = spawnSync(path.join(bin, 'velodex-cli'), ['--zip', '--explorer', '--database-dir', database, packs], {encoding: 'utf8'});
  assert.equal(zipRun.status, 0, zipRun.stderr);

  const {page, requests} = await openPage(browser, path.join(packs, 'explorer.htm'));
  const row = await page.$eval('#rows tr[data-file="Inside.td4"]', (tr) => {
    const cell = (key) => tr.children[[...document.querySelectorAll('#headings th')].findIndex((th) => th.dataset.key === key)];
    return {name: cell('File_Name').innerHTML, author: cell('Author').innerHTML,
            archive: cell('zipfilename').firstChild.getAttribute('href')};
  });
  assert.deepEqual(row, {name: 'Inside.td4', author: '&lt;b&gt;Evil&lt;/b&gt; &amp; co', archive: 'Evil%20Pack.zip'});
  assert.equal(await page.evaluate(() => window.pwned), undefined);
  assert.deepEqual(requests, []);
});

test('plans load for the rows in sight; a row opens its layout; footprint, rise and same layout filter as the catalogue counts', async () => {
  const {page, requests, errors} = await open();
  const countOf = (where) => sql(`SELECT COUNT(*) AS n FROM velodex WHERE ${where}`)[0].n;
  const total = countOf('1');
  const expectCount = async (where) => assert.equal(await count(page), `${countOf(where)} of ${total} designs`, where);
  // Only the rows drawn carry a plan, and every plan shown has loaded.
  const drawn = await page.$$eval('#rows img', (imgs) => imgs.length);
  assert.ok(drawn > 0 && drawn < total, `${drawn} plans for ${total} designs`);
  await page.waitForFunction(() => [...document.querySelectorAll('#rows img')].every((i) => i.complete && i.naturalWidth > 0));
  assert.ok(fs.statSync(path.join(pictures, firstDesign.replace(/td4$/, 'svg'))).size <= 1536);

  // Enter on a row's plan opens the design: its picture and its layout as the catalogue holds it.
  await setInput(page, 'search', firstDesign);
  await page.$eval(`#rows tr[data-file="${firstDesign}"] button[data-open]`, (b) => b.focus());
  await page.keyboard.press('Enter');
  const facts = await page.$$eval('#detail-facts dt', (dts) => Object.fromEntries(dts.map((dt) => [dt.textContent, dt.nextElementSibling.textContent])));
  const [row] = sql(`SELECT Layout_Width AS w, Layout_Length AS l, Layout_Pieces AS p, Layout_Rise AS r, Layout_Group AS g, Ex AS ex FROM velodex WHERE File_Name = '${firstDesign}'`);
  assert.equal(facts.Footprint, `${row.w} by ${row.l} tiles`);
  assert.equal(facts['Track pieces'], String(row.p));
  assert.equal(facts.Rise, `${row.r} height units (4 to a tile)`);
  assert.ok(Math.abs(Number(facts.Excitement) - row.ex) < 1e-5, facts.Excitement);
  assert.equal(await page.$eval('#detail-picture', (i) => i.getAttribute('src')), '../../pictures/' + firstDesign.replace(/td4$/, 'svg'));
  // Its planted copies are of the same layout.
  await page.$eval('#same-layout', (b) => b.click());
  assert.equal(await page.$eval('#detail', (d) => d.open), false);
  await setInput(page, 'search', '');
  await expectCount(`Layout_Group = ${row.g}`);
  assert.ok(countOf(`Layout_Group = ${row.g}`) >= 3);
  await page.$eval('#layout-clear', (b) => b.click());

  // A space of 12 by 30 tiles, either way round, then rising at least 8 height units.
  await setInput(page, 'fit-a', '30');
  await setInput(page, 'fit-b', '12');
  await expectCount('Layout_Width <= 12 AND Layout_Length <= 30');
  await setInput(page, 'min-Layout_Rise', '8');
  await expectCount('Layout_Width <= 12 AND Layout_Length <= 30 AND Layout_Rise >= 8');
  await setInput(page, 'fit-b', '');
  await expectCount('Layout_Length <= 30 AND Layout_Rise >= 8');
  assert.deepEqual(requests, []);
  assert.deepEqual(errors, []);
});
