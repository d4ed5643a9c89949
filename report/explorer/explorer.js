'use strict';
// The explorer: every design of a run in one table, sorted, searched and filtered in the
// browser, from the data the page carries (no network, no server).
//
// Why no grid library: at 100,000 designs in headless Chromium here, Tabulator 6.5.3 painted
// its first rows after 2.1 s, sorted in 270-700 ms and filtered in 160-320 ms; ag-grid-community
// 36.2.0 painted after 1.6 s, sorted in 230-630 ms and quick-filtered in 530-830 ms. Both miss
// the page's goals (first rows within 1 s, a sort within 150 ms, a keystroke within 100 ms) and
// add 0.45-2 MB to every page, so the table below is our own: column arrays, one sorted
// permutation, one filtering pass over it, and a window of rendered rows in a real <table>.
(() => {
  const data = JSON.parse(document.getElementById('explorer-data').textContent);
  const names = data.name;
  const n = names.length;
  const disk = new Map(data.disk);

  // The game's rating bands, from the lowest: Low, Medium, High, Very high, Extreme,
  // Ultra-extreme, with the lowest value of each band after the first.
  const BANDS = ['Low', 'Medium', 'High', 'Very high', 'Extreme', 'Ultra-extreme'];
  const BAND_FLOORS = [2, 4, 5.5, 7, 9];
  const band = (v) => {
    let b = 0;
    while (b < BAND_FLOORS.length && v >= BAND_FLOORS[b]) b++;
    return b;
  };

  // key: the catalogue column (the heading's data-sort); numbers come as one array per key.
  const COLUMNS = [
    {key: 'File_Name', title: 'Ride Name', width: 14, text: true},
    {key: 'Plan', title: 'Plan', width: 3.4, plan: true},
    {key: 'Ride_Type', title: 'Coaster Type', width: 10.5, text: true},
    {key: 'Max_Speed', title: 'Max Speed'},
    {key: 'Avg_Speed', title: 'Avg Speed'},
    {key: 'Ride_Length', title: 'Ride Length', width: 6},
    {key: 'PosGs', title: 'Pos. Gs'},
    {key: 'NegGs', title: 'Neg. Gs'},
    {key: 'LatGs', title: 'Lat Gs'},
    {key: 'Invs', title: 'Invs', width: 3.6},
    {key: 'Drops', title: 'Drops', width: 3.8},
    {key: 'Max_Drop_Height', title: 'Max Drop Height'},
    {key: 'Ex', title: 'Excitement', width: 6.8, band: true},
    {key: 'Int', title: 'Intensity', width: 6.2, band: true},
    {key: 'Na', title: 'Nausea', width: 5.4, band: true},
    {key: 'Rating', title: 'Rating', width: 7},
    {key: 'Author', title: 'Author', width: 8, text: true},
    {key: 'zipfilename', title: 'Archive', width: 9, text: true},
    {key: 'Copies', title: 'Copies', width: 4.8, copies: true},
  ];
  const byKey = new Map(COLUMNS.map((c) => [c.key, c]));
  const RANGES = ['Ex', 'Int', 'Na', 'Max_Speed', 'Ride_Length', 'Drops', 'Invs', 'Layout_Rise'];
  // Layout facts: filtered on and shown with a design, not columns of the table.
  const LAYOUT = ['Layout_Pieces', 'Layout_Width', 'Layout_Length', 'Layout_Rise', 'Layout_Dip', 'Layout_Closed'];
  const titleOf = (key) => (byKey.has(key) ? byKey.get(key).title : {Layout_Rise: 'Rise'}[key]);

  // Names are bytes as the files gave them: the page writer passes valid UTF-8 through and
  // turns each other byte B into the lone code unit 0xDC00 + B. Shown, such a byte reads as
  // its Latin-1 character; linked and sorted, it is the byte again.
  const RAW = /[\udc80-\udcff]/;
  const shown = (s) => (RAW.test(s) ? s.replace(/[\udc80-\udcff]/g, (c) => String.fromCharCode(c.charCodeAt(0) - 0xdc00)) : s);
  const encoder = new TextEncoder();
  const bytesOf = (s) => {
    const out = [];
    for (const part of s.split(/([\udc80-\udcff])/)) {
      if (part.length === 1 && RAW.test(part)) out.push(part.charCodeAt(0) - 0xdc00);
      else for (const b of encoder.encode(part)) out.push(b);
    }
    return out;
  };
  // The catalogue orders text by its bytes; a string of one character per byte sorts alike
  // under the engine's own comparison of strings.
  const byteKey = (s) => (/^[\x00-\x7f]*$/.test(s) ? s : String.fromCharCode(...bytesOf(s)));
  const UNRESERVED = /[A-Za-z0-9\-._~]/;
  const href = (s) =>
    bytesOf(s).map((b) => (b < 128 && UNRESERVED.test(String.fromCharCode(b)) ? String.fromCharCode(b)
                                                                             : '%' + (b < 16 ? '0' : '') + b.toString(16).toUpperCase())).join('');
  // Each design's picture (the plan over the profile), named after its file (its archive
  // first), in the folder the run drew them into; none when the run drew none.
  const pictures = typeof data.pictures === 'string' ? data.pictures.split('/').map(href).join('/') + '/' : null;
  const pictureOf = (i, archive) => {
    const name = disk.get(i) || names[i];
    return pictures + href((archive === 'none' ? '' : archive + ' - ') + name.slice(0, Math.max(0, name.length - 3)) + 'svg');
  };
  // Author links come from files inside downloaded archives: only web and mail addresses
  // become links, anything else (a script address, say) stays plain text.
  const authorHref = (link) => {
    if (link === 'none') return null;
    if (link.includes('@')) return /^mailto:/i.test(link) ? link : 'mailto:' + link;
    return /^https?:\/\//i.test(link) ? link : null;
  };

  // Column arrays.
  const num = new Map();
  for (const c of COLUMNS) if (!c.text && !c.copies && !c.plan) num.set(c.key, Float64Array.from(data[c.key]));
  // A design the catalogue holds no layout for has none (not a width of 0).
  for (const key of LAYOUT) num.set(key, Float64Array.from(data[key] || [], (v) => (v === null ? NaN : v)));
  const typeOf = Uint16Array.from(data.type);
  const authorOf = Uint32Array.from(data.author);
  const archiveOf = Uint32Array.from(data.archive);
  const groupOf = Uint32Array.from(data.group);
  const groupSize = new Uint32Array(data.groups + 1);
  for (let i = 0; i < n; i++) groupSize[groupOf[i]]++;
  // Designs of the same layout share a number (0: a design without a track).
  const layoutOf = Uint32Array.from(data.layout || new Array(n).fill(0));
  const layoutSize = new Map();
  for (let i = 0; i < n; i++) if (layoutOf[i]) layoutSize.set(layoutOf[i], (layoutSize.get(layoutOf[i]) || 0) + 1);
  const copies = new Float64Array(n);
  for (let i = 0; i < n; i++) copies[i] = groupOf[i] ? groupSize[groupOf[i]] - 1 : 0;
  num.set('Copies', copies);

  // Sorting works on dense ranks (equal values, equal rank), one array per column, made when
  // first needed; then each sort key is one stable counting pass.
  const ranks = new Map();
  const rankValues = (keys, sortCopy) => {
    const distinct = sortCopy(keys);
    const at = new Map();
    for (const v of distinct) if (!at.has(v)) at.set(v, at.size);
    const r = new Uint32Array(keys.length);
    for (let i = 0; i < keys.length; i++) r[i] = at.get(keys[i]);
    return {r, k: at.size};
  };
  const byNumber = (keys) => Float64Array.from(new Set(keys)).sort();
  const byText = (keys) => [...new Set(keys)].sort();
  const rankOf = (key) => {
    if (ranks.has(key)) return ranks.get(key);
    let result;
    if (key === 'File_Name') {
      result = rankValues(names.map(byteKey), byText);
    } else if (byKey.get(key).text) {
      const [list, of] = key === 'Ride_Type' ? [data.types, typeOf]
                       : key === 'Author' ? [data.authors.map((a) => a[0]), authorOf]
                       : [data.archives, archiveOf];
      const small = rankValues(list.map(byteKey), byText);
      const r = new Uint32Array(n);
      for (let i = 0; i < n; i++) r[i] = small.r[of[i]];
      result = {r, k: small.k};
    } else {
      result = rankValues(num.get(key), byNumber);
    }
    ranks.set(key, result);
    return result;
  };
  const countingSort = (ids, {r, k}, desc) => {
    const start = new Uint32Array(k + 1);
    for (let j = 0; j < ids.length; j++) start[(desc ? k - 1 - r[ids[j]] : r[ids[j]]) + 1]++;
    for (let v = 1; v <= k; v++) start[v] += start[v - 1];
    const out = new Uint32Array(ids.length);
    for (let j = 0; j < ids.length; j++) out[start[desc ? k - 1 - r[ids[j]] : r[ids[j]]]++] = ids[j];
    return out;
  };

  // Lower-case text the search box looks through, built when first needed.
  let haystack = null;
  const searchText = () => {
    if (!haystack) {
      haystack = new Array(n);
      const types = data.types.map((t) => t.toLowerCase());
      const authors = data.authors.map((a) => shown(a[0]).toLowerCase());
      const archives = data.archives.map((a) => (a === 'none' ? '' : shown(a).toLowerCase()));
      for (let i = 0; i < n; i++) {
        haystack[i] = shown(names[i]).toLowerCase() + '\n' + types[typeOf[i]] + '\n' +
                      authors[authorOf[i]] + '\n' + archives[archiveOf[i]];
      }
    }
    return haystack;
  };

  // The view: sort keys, search text, chosen ride types, ranges, copies switch, one group.
  const fresh = () => ({sort: [], q: '', types: new Set(), ranges: {}, copies: false, group: 0, fit: [NaN, NaN], layout: 0});
  let state = fresh();
  let initialSort = [];
  {
    // The page opens sorted as the run's pages were; Ride_Name holds what Ride_Type does. A
    // sort field the table does not show leaves the rows in the order the scan found them.
    const [field, descending] = data.sort;
    const wanted = String(field).toLowerCase() === 'ride_name' ? 'ride_type' : String(field).toLowerCase();
    const col = COLUMNS.find((c) => c.key.toLowerCase() === wanted);
    if (col) initialSort = [{key: col.key, desc: !!descending}];
  }
  const sameSort = (a, b) => a.length === b.length && a.every((k, i) => k.key === b[i].key && k.desc === b[i].desc);

  const fromHash = () => {
    const s = fresh();
    s.sort = initialSort.slice();
    const p = new URLSearchParams(location.hash.slice(1));
    if (p.has('sort')) {
      s.sort = p.get('sort').split(',').filter(Boolean).map((t) => ({key: t.replace(/-$/, ''), desc: t.endsWith('-')}))
        .filter((k) => byKey.has(k.key)).slice(0, 3);
    }
    s.q = p.get('q') || '';
    for (const t of (p.get('types') || '').split(',')) if (data.types.includes(t)) s.types.add(t);
    for (const key of RANGES) {
      const v = p.get(key);
      if (!v) continue;
      const [lo, hi] = v.split('~');
      s.ranges[key] = [lo === '' ? NaN : Number(lo), hi === undefined || hi === '' ? NaN : Number(hi)];
    }
    s.copies = p.get('copies') === '1';
    // A group number from a page written before (the groups are numbered anew by each run)
    // may name no group now.
    const group = Number(p.get('group'));
    s.group = Number.isInteger(group) && group > 0 && group <= data.groups ? group : 0;
    const [a, b] = (p.get('fit') || '').split('~');
    s.fit = [a ? Number(a) : NaN, b ? Number(b) : NaN];
    const layout = Number(p.get('layout'));
    s.layout = layoutSize.has(layout) ? layout : 0;
    return s;
  };
  let hashTimer = 0;
  const toHash = () => {
    clearTimeout(hashTimer);
    hashTimer = setTimeout(writeHash, 200);
  };
  const writeHash = () => {
    const p = new URLSearchParams();
    if (!sameSort(state.sort, initialSort)) p.set('sort', state.sort.map((k) => k.key + (k.desc ? '-' : '')).join(','));
    if (state.q) p.set('q', state.q);
    if (state.types.size) p.set('types', [...state.types].join(','));
    for (const [key, [lo, hi]] of Object.entries(state.ranges)) {
      if (!isNaN(lo) || !isNaN(hi)) p.set(key, (isNaN(lo) ? '' : lo) + '~' + (isNaN(hi) ? '' : hi));
    }
    if (state.copies) p.set('copies', '1');
    if (state.group) p.set('group', String(state.group));
    if (!isNaN(state.fit[0]) || !isNaN(state.fit[1])) p.set('fit', (isNaN(state.fit[0]) ? '' : state.fit[0]) + '~' + (isNaN(state.fit[1]) ? '' : state.fit[1]));
    if (state.layout) p.set('layout', String(state.layout));
    const text = p.toString();
    if (text !== location.hash.slice(1)) history.replaceState(null, '', text ? '#' + text : location.pathname + location.search);
  };

  // The sorted permutation and the rows of it that pass the filters.
  let order = new Uint32Array(n);
  let view = order;
  const sortRows = () => {
    let ids = new Uint32Array(n);
    for (let i = 0; i < n; i++) ids[i] = i;
    // From the last key to the first: each pass is stable, so earlier keys win and full ties
    // keep the order the scan found the designs in.
    for (let j = state.sort.length - 1; j >= 0; j--) ids = countingSort(ids, rankOf(state.sort[j].key), state.sort[j].desc);
    order = ids;
  };

  let lastFilter = null;
  const filterRows = () => {
    const typeOk = state.types.size ? new Uint8Array(data.types.length) : null;
    if (typeOk) data.types.forEach((t, i) => { if (state.types.has(t)) typeOk[i] = 1; });
    const ranges = Object.entries(state.ranges)
      .filter(([, [lo, hi]]) => !isNaN(lo) || !isNaN(hi))
      .map(([key, [lo, hi]]) => [num.get(key), isNaN(lo) ? -Infinity : lo, isNaN(hi) ? Infinity : hi]);
    const q = state.q.trim().toLowerCase();
    const hay = q ? searchText() : null;
    const group = state.group, copiesOnly = state.copies, layout = state.layout;
    // A footprint fits a space of a by b tiles either way round: its smaller side (the width)
    // within the space's smaller, its length within the larger. One number alone bounds both.
    const [fa, fb] = state.fit;
    const fit = isNaN(fa) && isNaN(fb) ? null : [Math.min(isNaN(fa) ? fb : fa, isNaN(fb) ? fa : fb), Math.max(isNaN(fa) ? fb : fa, isNaN(fb) ? fa : fb)];
    const widths = num.get('Layout_Width'), lengths = num.get('Layout_Length');
    // A longer search over the same sort and filters only narrows the last result.
    const signature = JSON.stringify([state.sort, [...state.types], state.ranges, copiesOnly, group, state.fit, layout]);
    const source = lastFilter && lastFilter.signature === signature && lastFilter.q && q.includes(lastFilter.q) ? lastFilter.view : order;
    const out = new Uint32Array(source.length);
    let m = 0;
    outer: for (let k = 0; k < source.length; k++) {
      const i = source[k];
      if (typeOk && !typeOk[typeOf[i]]) continue;
      if (copiesOnly && copies[i] === 0) continue;
      if (group && groupOf[i] !== group) continue;
      if (layout && layoutOf[i] !== layout) continue;
      if (fit && !(widths[i] <= fit[0] && lengths[i] <= fit[1])) continue;
      for (const [a, lo, hi] of ranges) if (!(a[i] >= lo && a[i] <= hi)) continue outer;
      if (hay && !hay[i].includes(q)) continue;
      out[m++] = i;
    }
    view = out.subarray(0, m);
    lastFilter = {signature, q, view};
  };

  // Rendering: only the rows in sight, between two spacer rows that keep the scroll height.
  const $ = (id) => document.getElementById(id);
  const scroller = $('scroller'), tbody = $('rows'), table = $('designs');
  let rowHeight = 24;
  const OVERSCAN = 12;
  const el = (tag, cls, text) => {
    const e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    return e;
  };
  const link = (text, target) => {
    const a = el('a', null, text);
    a.href = target;
    return a;
  };
  const spacer = (height) => {
    const tr = el('tr', 'spacer');
    tr.setAttribute('aria-hidden', 'true');
    const td = el('td');
    td.colSpan = COLUMNS.length;
    td.style.height = height + 'px';
    tr.appendChild(td);
    return tr;
  };
  // Each row is a copy of one prototype row, its cells filled as text: nothing from the
  // files is ever parsed as markup.
  const proto = el('tr');
  for (const c of COLUMNS) proto.appendChild(el('td', c.text ? null : 'num'));
  const renderRow = (i, k) => {
    const tr = proto.cloneNode(true);
    const name = shown(names[i]);
    tr.dataset.file = name;
    tr.dataset.row = String(i);
    tr.setAttribute('aria-rowindex', String(k + 2));
    const archive = data.archives[archiveOf[i]];
    const cells = tr.children;
    COLUMNS.forEach((c, at) => {
      const td = cells[at];
      if (c.key === 'File_Name') {
        // A loose design lies beside the page under its name on disk; one from an archive was
        // extracted only for the run, so its archive is the thing to open.
        if (archive === 'none') td.appendChild(link(name, href(disk.get(i) || names[i]))); else td.textContent = name;
      } else if (c.key === 'Ride_Type') {
        td.textContent = data.types[typeOf[i]];
      } else if (c.key === 'Author') {
        const [author, alink] = data.authors[authorOf[i]];
        const target = authorHref(alink);
        if (target) td.appendChild(link(shown(author), target)); else td.textContent = shown(author);
      } else if (c.key === 'zipfilename') {
        if (archive !== 'none') td.appendChild(link(shown(archive), href(archive)));
      } else if (c.plan) {
        // The design's plan (the top of its picture), and the way to its details.
        const b = el('button', 'plan');
        b.type = 'button';
        b.dataset.open = String(i);
        b.setAttribute('aria-label', 'Layout and statistics of ' + name);
        if (pictures) {
          // Its address is set once the rows are painted (below).
          const img = el('img');
          img.alt = '';
          img.dataset.src = pictureOf(i, archive);
          b.appendChild(img);
        } else {
          b.textContent = '\u2026';
        }
        td.appendChild(b);
      } else if (c.copies) {
        if (copies[i]) {
          const b = el('button', null, String(copies[i]));
          b.type = 'button';
          b.dataset.group = String(groupOf[i]);
          b.setAttribute('aria-label', copies[i] + (copies[i] === 1 ? ' copy' : ' copies') + ': show the group');
          td.appendChild(b);
        }
      } else {
        const v = num.get(c.key)[i];
        td.textContent = String(v);
        if (c.band) {
          const b = band(v);
          td.className = 'num band b' + b;
          td.appendChild(el('span', 'sr', ' ' + BANDS[b]));
        }
      }
    });
    return tr;
  };
  let drawn = [-1, -1, -1];
  const PICTURE_PAUSE = 150;  // ms
  let pictureTimer = 0;
  const render = (force) => {
    const m = view.length;
    const inSight = Math.ceil(scroller.clientHeight / rowHeight) + 1;
    const first = Math.max(0, Math.min(m - inSight, Math.floor(scroller.scrollTop / rowHeight)) - OVERSCAN);
    const last = Math.min(m, first + inSight + 2 * OVERSCAN);
    if (!force && drawn[0] === first && drawn[1] === last && drawn[2] === m) return;
    drawn = [first, last, m];
    const frag = document.createDocumentFragment();
    frag.appendChild(spacer(first * rowHeight));
    for (let k = first; k < last; k++) frag.appendChild(renderRow(view[k], k));
    frag.appendChild(spacer((m - last) * rowHeight));
    tbody.replaceChildren(frag);
    table.setAttribute('aria-rowcount', String(m + 1));
    if (pictures) {
      // The browser makes a small document of each picture it has not shown before, some
      // milliseconds each, fifty rows' worth at a time: the rows are painted first, and their
      // pictures loaded once the view has stayed as it is for a moment, so that typing, sorting
      // or scrolling on is not held up by pictures of rows already gone.
      clearTimeout(pictureTimer);
      pictureTimer = setTimeout(() => {
        for (const img of tbody.querySelectorAll('img[data-src]')) {
          img.src = img.dataset.src;
          delete img.dataset.src;
        }
      }, PICTURE_PAUSE);
    }
  };
  let scheduled = false;
  scroller.addEventListener('scroll', () => {
    if (scheduled) return;
    scheduled = true;
    requestAnimationFrame(() => { scheduled = false; render(false); });
  });
  window.addEventListener('resize', () => render(true));

  // Headings, filters and the count.
  const headings = $('headings');
  let tableWidth = 0;
  for (const c of COLUMNS) {
    const th = el('th', c.text ? null : 'num');
    th.scope = 'col';
    if (!c.copies && !c.plan) th.dataset.sort = c.key;
    th.dataset.key = c.key;
    if (c.plan) {
      // Plans are not sorted: a plain heading.
      th.appendChild(el('span', 'heading', c.title));
    } else {
      const b = el('button', null, c.title);
      b.type = 'button';
      th.appendChild(b);
    }
    // Fixed column widths spare the browser a layout of every row after each change.
    const width = c.width || 4.6;
    th.style.width = width + 'em';
    tableWidth += width;
    headings.appendChild(th);
  }
  table.style.width = tableWidth + 'em';
  const onHeading = (key, secondary) => {
    const col = byKey.get(key);
    const firstDesc = !col.text;  // numbers start from the largest, text from A
    const at = state.sort.findIndex((k) => k.key === key);
    if (secondary && state.sort.length && at !== 0) {
      if (at > 0) state.sort[at].desc = !state.sort[at].desc;
      else state.sort = state.sort.concat([{key, desc: firstDesc}]).slice(0, 3);
    } else if (at === 0) {
      state.sort = [{key, desc: !state.sort[0].desc}];
    } else {
      state.sort = [{key, desc: firstDesc}];
    }
    update(true);
  };
  headings.addEventListener('click', (e) => {
    const th = e.target.closest('th');
    if (th && !byKey.get(th.dataset.key).plan) onHeading(th.dataset.key, e.shiftKey);
  });
  headings.addEventListener('keydown', (e) => {
    const th = e.target.closest('th');
    if (th && e.shiftKey && (e.key === 'Enter' || e.key === ' ')) {
      e.preventDefault();
      onHeading(th.dataset.key, true);
    }
  });

  const typeBox = $('types');
  const typeCount = new Uint32Array(data.types.length);
  for (let i = 0; i < n; i++) typeCount[typeOf[i]]++;
  data.types.forEach((t, i) => {
    const label = el('label');
    const box = el('input');
    box.type = 'checkbox';
    box.value = t;
    label.append(box, ' ' + t + ' (' + typeCount[i] + ')');
    typeBox.appendChild(label);
  });
  const rangeBox = $('ranges');
  for (const key of RANGES) {
    const wrap = el('div', 'range');
    const label = el('span', null, titleOf(key));
    label.id = 'range-' + key;
    wrap.appendChild(label);
    for (const side of ['min', 'max']) {
      const input = el('input');
      input.type = 'number';
      input.step = 'any';
      input.id = side + '-' + key;
      input.dataset.range = key;
      input.placeholder = side;
      input.setAttribute('aria-label', titleOf(key) + (side === 'min' ? ' minimum' : ' maximum'));
      wrap.appendChild(input);
    }
    rangeBox.appendChild(wrap);
  }

  const showControls = () => {
    $('search').value = state.q;
    for (const box of typeBox.querySelectorAll('input')) box.checked = state.types.has(box.value);
    $('types-summary').textContent = 'Ride types: ' + (state.types.size ? state.types.size + ' chosen' : 'all');
    for (const key of RANGES) {
      const [lo, hi] = state.ranges[key] || [NaN, NaN];
      $('min-' + key).value = isNaN(lo) ? '' : String(lo);
      $('max-' + key).value = isNaN(hi) ? '' : String(hi);
    }
    $('copies-only').checked = state.copies;
    $('fit-a').value = isNaN(state.fit[0]) ? '' : String(state.fit[0]);
    $('fit-b').value = isNaN(state.fit[1]) ? '' : String(state.fit[1]);
  };
  const showSort = () => {
    for (const th of headings.children) {
      const at = state.sort.findIndex((k) => k.key === th.dataset.key);
      const button = th.firstChild;
      if (at === 0) th.setAttribute('aria-sort', state.sort[0].desc ? 'descending' : 'ascending');
      else th.removeAttribute('aria-sort');
      button.classList.toggle('key2', at > 0);
      if (at > 0) button.dataset.mark = ' ' + (at + 1) + (state.sort[at].desc ? '\u25BC' : '\u25B2');
      button.title = at > 0 ? 'sort key ' + (at + 1) + (state.sort[at].desc ? ', descending' : ', ascending') : '';
    }
    $('caption').textContent = 'Designs' + (state.sort.length ? ', sorted by ' + state.sort.map((k) => byKey.get(k.key).title + (k.desc ? ' descending' : ' ascending')).join(', then ') : '');
  };
  const showGroup = () => {
    const note = $('group-note');
    note.hidden = !state.group;
    if (state.group) $('group-text').textContent = 'Designs with identical contents (' + groupSize[state.group] + ')';
    $('layout-note').hidden = !state.layout;
    if (state.layout) $('layout-text').textContent = 'Designs with the same layout (' + layoutSize.get(state.layout) + ')';
  };
  const update = (resorted) => {
    if (resorted) sortRows();
    filterRows();
    showSort();
    showGroup();
    $('count').textContent = view.length + ' of ' + n + ' designs';
    render(true);
    toHash();
  };

  $('filters').addEventListener('submit', (e) => e.preventDefault());
  $('search').addEventListener('input', (e) => { state.q = e.target.value; update(false); });
  typeBox.addEventListener('change', () => {
    state.types = new Set([...typeBox.querySelectorAll('input:checked')].map((b) => b.value));
    $('types-summary').textContent = 'Ride types: ' + (state.types.size ? state.types.size + ' chosen' : 'all');
    update(false);
  });
  rangeBox.addEventListener('input', (e) => {
    const key = e.target.dataset.range;
    if (!key) return;
    const read = (id) => ($(id).value === '' ? NaN : Number($(id).value));
    state.ranges[key] = [read('min-' + key), read('max-' + key)];
    update(false);
  });
  $('copies-only').addEventListener('change', (e) => { state.copies = e.target.checked; update(false); });
  $('filters').addEventListener('reset', (e) => {
    e.preventDefault();
    const sort = state.sort;
    state = fresh();
    state.sort = sort;
    showControls();
    update(false);
  });
  $('group-clear').addEventListener('click', () => { state.group = 0; update(false); });
  $('layout-clear').addEventListener('click', () => { state.layout = 0; update(false); });
  $('fit').addEventListener('input', () => {
    const read = (id) => ($(id).value === '' ? NaN : Number($(id).value));
    state.fit = [read('fit-a'), read('fit-b')];
    update(false);
  });

  // One design's details: its picture, every statistic and its layout's facts.
  const detail = $('detail');
  let detailRow = -1;
  const openDetail = (i) => {
    detailRow = i;
    const name = shown(names[i]);
    $('detail-title').textContent = name;
    const archive = data.archives[archiveOf[i]];
    const picture = $('detail-picture');
    picture.hidden = !pictures;
    if (pictures) {
      picture.src = pictureOf(i, archive);
      picture.alt = 'Plan of ' + name + ', north up, coloured by height, over its side profile';
    }
    const facts = $('detail-facts');
    facts.replaceChildren();
    const add = (term, value) => facts.append(el('dt', null, term), el('dd', null, value));
    add('Coaster Type', data.types[typeOf[i]]);
    for (const c of COLUMNS) if (!c.text && !c.copies && !c.plan) add(c.title, String(num.get(c.key)[i]));
    add('Author', shown(data.authors[authorOf[i]][0]));
    if (archive !== 'none') add('Archive', shown(archive));
    const v = (key) => num.get(key)[i];
    if (!isNaN(v('Layout_Pieces'))) {
      add('Footprint', v('Layout_Width') + ' by ' + v('Layout_Length') + ' tiles');
      add('Track pieces', String(v('Layout_Pieces')));
      add('Rise', v('Layout_Rise') + ' height units (4 to a tile)');
      add('Dip', v('Layout_Dip') + ' height units');
      add('Closed circuit', v('Layout_Closed') ? 'yes' : 'no');
    }
    const others = layoutOf[i] ? layoutSize.get(layoutOf[i]) - 1 : 0;
    add('Same layout', others ? others + (others === 1 ? ' other design' : ' other designs') : 'no other design');
    $('same-layout').disabled = !others;
    detail.showModal();
  };
  $('detail-close').addEventListener('click', () => detail.close());
  $('same-layout').addEventListener('click', () => {
    state.layout = layoutOf[detailRow];
    detail.close();
    update(false);
    scroller.scrollTop = 0;
  });
  tbody.addEventListener('click', (e) => {
    const b = e.target.closest('button[data-group]');
    if (b) {
      state.group = Number(b.dataset.group);
      update(false);
      scroller.scrollTop = 0;
      return;
    }
    // The plan's button, or a click anywhere on a row but its links, opens the details.
    const open = e.target.closest('button[data-open]');
    const tr = e.target.closest('tr[data-row]');
    if (open) openDetail(Number(open.dataset.open));
    else if (tr && !e.target.closest('a, button')) openDetail(Number(tr.dataset.row));
  });
  window.addEventListener('hashchange', () => {
    const next = fromHash();
    const resort = !sameSort(next.sort, state.sort);
    state = next;
    showControls();
    update(resort);
  });

  $('title').textContent = 'Velodex explorer: ' + shown(data.folder);
  document.title = 'Explorer - ' + shown(data.folder);
  state = fromHash();
  showControls();
  update(true);
  const measured = tbody.querySelector('tr:not(.spacer)');
  if (measured && measured.offsetHeight && measured.offsetHeight !== rowHeight) {
    rowHeight = measured.offsetHeight;
    render(true);
  }
  // Once the first rows are on screen, the search text and the name order are made ahead of
  // the first keystroke or click that needs them.
  requestAnimationFrame(() => setTimeout(() => {
    performance.mark('explorer-painted');
    setTimeout(() => { searchText(); setTimeout(() => rankOf('File_Name'), 0); }, 0);
  }, 0));
})();
