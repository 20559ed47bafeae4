// SPDX-License-Identifier: GPL-3.0-or-later
// The station's web page: live readings, history charts and records from the service's JSON API.
'use strict';

const UNIT_KINDS = ['temperature', 'rain', 'pressure', 'wind'];
const FALLBACK = { units: { temperature: 'C', rain: 'mm', pressure: 'hPa', wind: 'km/h' }, lang: 'en' };
const COLOURS = ['#1f77b4', '#d35400', '#16a085', '#d17aa0', '#5dade2', '#e6a817', '#8e44ad',
                 '#7f8c8d', '#c0392b', '#2c3e50', '#27ae60', '#f39c12'];
const STORE = 'nimbrel.page';

const page = { texts: {}, prefs: null, view: 'now', state: null, console: null, chart: null,
               stream: null, retry: 0, channels: new Set() };

const $ = id => document.getElementById(id);
// English dates as the window writes them: day before month.
const locale = () => (page.prefs.lang === 'en' ? 'en-GB' : page.prefs.lang);
const t = key => (page.texts[page.prefs.lang] || page.texts.en || {})[key] || key;
// "CH%1" with the channel's number.
const channelName = n => t('channel').replace('%1', n);

function loadPrefs() {
  try { return JSON.parse(localStorage.getItem(STORE)) || null; } catch (e) { return null; }
}

function savePrefs() {
  try { localStorage.setItem(STORE, JSON.stringify(page.prefs)); } catch (e) { /* private mode */ }
}

// Units and language as the API's query parameters once the visitor chose them; until then none,
// so that the service answers in its saved settings.
function unitQuery() {
  if (!page.prefs.fromUser) return new URLSearchParams();
  const q = new URLSearchParams(page.prefs.units);
  q.set('lang', page.prefs.lang);
  return q;
}

async function getJson(path, query) {
  const text = query.toString();
  const answer = await fetch(text ? path + '?' + text : path, { headers: { Accept: 'application/json' } });
  let body = null;
  try { body = await answer.json(); } catch (e) { body = null; }
  if (!answer.ok) throw new Error((body && body.error) || answer.status + ' ' + answer.statusText);
  return body;
}

// ---- texts -----------------------------------------------------------------------------------

function relabel() {
  document.documentElement.lang = page.prefs.lang;
  for (const el of document.querySelectorAll('[data-t]')) el.textContent = t(el.dataset.t);
  $('lang').setAttribute('aria-label', t('language'));
  renderNotice();
  renderChannels();
}

function fillChoices() {
  const lang = $('lang');
  lang.textContent = '';
  for (const code of Object.keys(page.texts)) lang.add(new Option(page.texts[code].language_name, code));
  lang.value = page.prefs.lang;
  for (const kind of UNIT_KINDS) $('unit-' + kind).value = page.prefs.units[kind];
}

// ---- now -------------------------------------------------------------------------------------

// "21.3 °C" -> figure and unit; a reading the service did not format shows its number.
function split(state, formatted, key) {
  const text = formatted && typeof formatted[key] === 'string' ? formatted[key] : null;
  if (text !== null) {
    const gap = text.indexOf(' ');
    return gap < 0 ? [text, ''] : [text.slice(0, gap), text.slice(gap + 1)];
  }
  const value = state ? state[key] : null;
  if (value === null || value === undefined) return ['--', ''];
  return key === 'logger' ? [String(value), '%'] : [String(value), ''];
}

function showFigure(el, figure) {
  el.textContent = figure[0];
  if (figure[1]) {
    const unit = document.createElement('span');
    unit.className = 'unit';
    unit.textContent = figure[1];
    el.appendChild(unit);
  }
}

function renderNow(current) {
  const state = current.state || {};
  for (const el of document.querySelectorAll('#view-now [data-key]')) {
    showFigure(el, split(state, current.formatted, el.dataset.key));
  }
  $('stamp').textContent = readingTime(current);
  const formatted = current.formatted || {};
  // The dial's marker 1 (N) to 16 (NNW), as the window's compass; else the degrees.
  const dial = Number(formatted.wind_dial);
  const degrees = dial >= 1 && dial <= 16 ? (dial - 1) * 22.5 : Number(state.wind_direction);
  const shown = Number.isFinite(degrees) && state.wind_direction !== null && state.wind_direction !== undefined;
  $('needle').setAttribute('transform', 'rotate(' + (shown ? degrees : 0) + ' 50 50)');
  $('needle').setAttribute('visibility', shown ? 'visible' : 'hidden');
  $('compass-text').textContent = formatted.wind_direction || state.wind_compass || '--';
  renderChannelTable(state, current.formatted);
  $('console-state').textContent = t('state_' + (current.console || 'waiting'));
}

// The console's own date and time of the reading; else when the service received it.
function readingTime(current) {
  const state = current.state || {};
  if (state.date && state.time) return state.date + ' ' + state.time;
  return current.time ? new Date(current.time).toLocaleString(locale()) : '--';
}

function renderChannelTable(state, formatted) {
  const body = $('channel-table').tBodies[0];
  body.textContent = '';
  for (let ch = 1; ch <= 7; ch++) {
    const keys = ['ch' + ch + '_temperature', 'ch' + ch + '_humidity'];
    if (keys.every(k => state[k] === null || state[k] === undefined)) continue;
    const row = body.insertRow();
    const head = document.createElement('th');
    head.textContent = channelName(ch);
    row.appendChild(head);
    for (const key of keys) showFigure(row.insertCell(), split(state, formatted, key));
  }
}

function renderNotice() {
  const notice = $('notice');
  const key = page.console === 'service_gone' ? 'service_gone'
            : page.console === 'waiting' ? 'console_waiting'
            : page.console === 'gone' ? 'console_gone'
            : page.console === null ? 'connecting' : null;
  notice.hidden = key === null;
  notice.textContent = key ? t(key) : '';
}

function takeCurrent(current) {
  if (!page.prefs.fromUser) adoptServerChoice(current);
  page.state = current;
  page.console = current.console || 'connected';
  renderNow(current);
  renderNotice();
}

// The live stream: EventSource reconnects by itself after a dropped connection; when it gives up
// (the service answered with an error or is gone for good) it is opened again, slower each time.
function openStream() {
  if (page.stream) page.stream.close();
  const stream = new EventSource('/api/v1/events');
  page.stream = stream;
  const take = ev => {
    page.retry = 0;
    let data;
    try { data = JSON.parse(ev.data); } catch (e) { return; }  // a damaged event is skipped
    if (data && (data.state !== undefined || data.formatted !== undefined)) {
      // The stream carries the service's own units and language: a visitor who chose others
      // asks for the reading in theirs.
      if (page.prefs.fromUser) refreshCurrent(); else takeCurrent(data);
    } else if (data && typeof data.console === 'string') {
      page.console = data.console;
      renderNotice();
    }
  };
  for (const name of ['state', 'console', 'message']) stream.addEventListener(name, take);
  stream.addEventListener('open', () => {
    page.retry = 0;
    if (page.console === 'service_gone') { page.console = null; renderNotice(); refreshCurrent(); }
  });
  stream.addEventListener('error', () => {
    page.console = 'service_gone';
    renderNotice();
    if (stream.readyState === EventSource.CLOSED) {
      page.retry = Math.min(page.retry + 1, 6);
      setTimeout(() => { if (page.stream === stream) openStream(); }, 1000 * page.retry);
    }
  });
}

async function refreshCurrent() {
  try {
    takeCurrent(await getJson('/api/v1/current', unitQuery()));
  } catch (e) {
    page.console = 'service_gone';
    renderNotice();
  }
}

// Until the visitor chooses, the page shows the service's saved settings: the language it
// names, the units its figures carry (or that it names as defaults).
function adoptServerChoice(current) {
  const units = Object.assign({}, page.prefs.units, inferUnits(current.formatted),
                              (current.defaults && current.defaults.units) || {});
  const named = current.lang || (current.defaults && current.defaults.lang);
  const lang = page.texts[named] ? named : page.prefs.lang;
  if (lang === page.prefs.lang && UNIT_KINDS.every(k => units[k] === page.prefs.units[k])) return;
  page.prefs = { units, lang, fromUser: false };
  fillChoices();
  relabel();
}

const UNIT_SAMPLES = { temperature: ['outdoor_temperature', 'indoor_temperature'], rain: ['rain_daily'],
                       pressure: ['pressure'], wind: ['wind_speed', 'wind_gust'] };

function inferUnits(formatted) {
  const units = {};
  if (!formatted) return units;
  for (const kind of UNIT_KINDS) {
    const offered = [...$('unit-' + kind).options].map(o => o.value);
    for (const key of UNIT_SAMPLES[kind]) {
      const text = typeof formatted[key] === 'string' ? formatted[key] : '';
      const unit = text.slice(text.indexOf(' ') + 1).replace('°', '');
      if (text.includes(' ') && offered.includes(unit)) { units[kind] = unit; break; }
    }
  }
  return units;
}

// ---- history ---------------------------------------------------------------------------------

function renderChannels() {
  const box = $('channel-choice');
  for (const old of box.querySelectorAll('label')) old.remove();
  const what = $('what').value;
  box.hidden = what !== 'temperature' && what !== 'humidity';
  for (let ch = 1; ch <= 7; ch++) {
    const label = document.createElement('label');
    const tick = document.createElement('input');
    tick.type = 'checkbox';
    tick.value = String(ch);
    tick.checked = page.channels.has(ch);
    tick.addEventListener('change', () => {
      if (tick.checked) page.channels.add(ch); else page.channels.delete(ch);
      drawHistory();
    });
    label.append(tick, ' ' + channelName(ch));
    box.appendChild(label);
  }
}

function seriesLabel(key) {
  const ch = /^ch(\d)_/.exec(key);
  if (ch) return channelName(ch[1]);
  const known = ['indoor', 'outdoor', 'dew_point', 'heat_index', 'wind_chill', 'pressure_relative',
                 'pressure_absolute', 'uv_index', 'rain_rate', 'rain_daily', 'rain_hourly', 'rain_weekly',
                 'rain_monthly'];
  if (known.includes(key)) return t(key);
  const head = known.find(k => key.startsWith(k + '_'));
  if (head) return t(head);
  if (key.startsWith('wind_')) return t(key.slice(5));
  return key;
}

function historyQuery() {
  const q = unitQuery();
  q.set('what', $('what').value);
  const period = $('period').value;
  if (period === 'range') {
    // Dates typed the wrong way round mean the days between them, as the window takes them.
    const [from, to] = [$('from').value, $('to').value].sort();
    q.set('from', from);
    q.set('to', to);
  } else {
    q.set('last', period);
  }
  q.set('points', String(Math.max(100, Math.min(1000, Math.round($('chart').clientWidth)))));
  const what = $('what').value;
  if (page.channels.size && (what === 'temperature' || what === 'humidity')) {
    q.set('channels', [...page.channels].sort().join(','));
  }
  return q;
}

// "2025-01-02T00:00" read as the console's local time.
function seconds(stamp) {
  const [day, time] = stamp.split('T');
  const [y, m, d] = day.split('-').map(Number);
  const [hh, mm] = (time || '0:0').split(':').map(Number);
  return new Date(y, m - 1, d, hh, mm).getTime() / 1000;
}

// The columns' times (the first series' times, which all series share) and, per series, the
// last value of each column for the line and its min and max for the band. An empty column is
// undefined, which uPlot steps over: columns narrower than the records' interval are no gap. The
// line breaks only where the service says two readings are too far apart (`breaks`).
function chartData(answer) {
  const first = answer.series[0].columns;
  const times = first.map(c => seconds(c[0]));
  const lines = [], bands = [];
  for (const s of answer.series) {
    lines.push(s.columns.map(c => c[2] === null ? undefined : c[2]));
    bands.push(s.columns.map(c => [c[3], c[4]]));
  }
  return { times, lines, bands };
}

// The pixel spans a line must not cross: from the reading before each break to the break.
function breakGaps(breaks, line) {
  return (u, seriesIndex, first, last, nullGaps) => {
    const gaps = nullGaps.slice();
    const x = i => Math.round(u.valToPos(u.data[0][i], 'x', true));
    for (const at of breaks || []) {
      if (at <= first || at > last) continue;
      let before = at - 1;
      while (before > 0 && line[before] === undefined) before--;
      gaps.push([x(before), x(at)]);
    }
    return gaps.sort((a, b) => a[0] - b[0]);
  };
}

const PLACES = { '%': 0, '': 0, in: 2, 'in/h': 2, inHg: 2 };
function decimals(unit) { return unit in PLACES ? PLACES[unit] : 1; }

// Hours within a day or two, days beyond, in the page's language.
function timeLabels(u, splits) {
  const span = splits.length > 1 ? splits[splits.length - 1] - splits[0] : 0;
  const style = span <= 2 * 86400 ? { hour: '2-digit', minute: '2-digit', hourCycle: 'h23' }
              : span <= 200 * 86400 ? { day: '2-digit', month: '2-digit' } : { month: 'short', year: '2-digit' };
  const format = new Intl.DateTimeFormat(locale(), style);
  // A day's label once, at its midnight, not again at its noon.
  const hourly = style.hour !== undefined;
  return splits.map(s => {
    const at = new Date(s * 1000);
    return hourly || (at.getHours() === 0 && at.getMinutes() === 0) ? format.format(at) : '';
  });
}

// Each line's columns' min-max span as a faint stroke behind it: what the column reduced.
function drawBands(u, answer, bands) {
  const ctx = u.ctx;
  ctx.save();
  ctx.lineWidth = Math.max(1, devicePixelRatio);
  bands.forEach((band, k) => {
    const meta = answer.series[k];
    if (!u.series[k + 1].show || (meta.style && meta.style !== 'line')) return;
    const scale = u.series[k + 1].scale;
    ctx.strokeStyle = COLOURS[k % COLOURS.length] + '40';
    ctx.beginPath();
    for (let i = 0; i < band.length; i++) {
      const [lo, hi] = band[i];
      if (lo === null || hi === null || lo === hi) continue;
      const x = Math.round(u.valToPos(u.data[0][i], 'x', true));
      ctx.moveTo(x, u.valToPos(lo, scale, true));
      ctx.lineTo(x, u.valToPos(hi, scale, true));
    }
    ctx.stroke();
  });
  ctx.restore();
}

// The daily rain: each value a bar standing from its column's time for 24 hours.
function drawDayBars(u, answer) {
  const ctx = u.ctx;
  ctx.save();
  ctx.beginPath();
  ctx.rect(u.bbox.left, u.bbox.top, u.bbox.width, u.bbox.height);
  ctx.clip();  // the last day's bar ends past the chart's end
  answer.series.forEach((meta, k) => {
    if (meta.style !== 'bars' || !u.series[k + 1].show) return;
    const scale = u.series[k + 1].scale;
    const zero = u.valToPos(0, scale, true);
    ctx.fillStyle = COLOURS[k % COLOURS.length] + '88';
    u.data[k + 1].forEach((v, i) => {
      if (v === null || v === undefined || v <= 0) return;
      const x0 = u.valToPos(u.data[0][i], 'x', true);
      const x1 = u.valToPos(u.data[0][i] + 86400, 'x', true);
      const top = u.valToPos(v, scale, true);
      ctx.fillRect(x0, top, Math.max(1, x1 - x0 - 1), zero - top);
    });
  });
  ctx.restore();
}

// One series as the service describes it: a line, points (wind direction) or bars (the daily
// rain), on the left axis or the right one.
function chartSeries(meta, k, fallbackUnit) {
  const colour = COLOURS[k % COLOURS.length];
  const unit = meta.unit !== undefined ? meta.unit : fallbackUnit;
  const places = Number.isInteger(meta.decimals) ? meta.decimals : decimals(unit);
  const series = {
    label: seriesLabel(meta.key), stroke: colour, width: 1.5, spanGaps: false,
    scale: meta.axis === 'right' ? 'r' : 'y',
    value: (u, v) => v === null || v === undefined ? '--' : v.toFixed(places) + (unit ? ' ' + unit : ''),
  };
  if (meta.style === 'points') {
    series.paths = () => null;
    series.points = { show: true, size: 4, fill: colour, stroke: colour };
  } else if (meta.style === 'bars') {
    series.paths = () => null;  // drawn by drawDayBars, a day wide
    series.points = { show: false };
    series.fill = colour + '88';
  }
  return series;
}

function chartSize() {
  const box = $('chart');
  const width = Math.max(260, box.clientWidth);
  return { width, height: Math.round(Math.min(460, Math.max(240, width * 0.55))) };
}

let drawToken = 0;
async function drawHistory() {
  if (page.view !== 'history') return;
  const token = ++drawToken;
  const message = $('chart-message');
  $('chart-title').textContent = t($('what').value);
  let answer;
  try {
    answer = await getJson('/api/v1/series', historyQuery());
  } catch (e) {
    if (token !== drawToken) return;
    return showChartMessage(t('load_failed') + ' ' + e.message);
  }
  if (token !== drawToken) return;
  const hasData = answer.series && answer.series.length && answer.series[0].columns.length &&
                  answer.series.some(s => s.columns.some(c => c[2] !== null));
  if (!hasData) return showChartMessage(t('no_data'));
  message.hidden = true;
  const data = chartData(answer);
  const unit = answer.unit || '';
  const series = [{ label: t('time'), value: (u, v) => v === null ? '--' : new Date(v * 1000).toLocaleString(locale()) }];
  answer.series.forEach((meta, k) => {
    const one = chartSeries(meta, k, unit);
    one.gaps = breakGaps(meta.breaks, data.lines[k]);
    series.push(one);
  });
  const axes = [{ values: timeLabels }, { scale: 'y', label: unit, size: 56 }];
  const right = answer.series.find(meta => meta.axis === 'right');
  if (right) axes.push({ scale: 'r', side: 1, label: right.unit || '', size: 50, grid: { show: false } });
  if (page.chart) page.chart.destroy();
  // Bars stand on zero: their axis starts there.
  const scales = {};
  for (const meta of answer.series.filter(m => m.style === 'bars')) {
    scales[meta.axis === 'right' ? 'r' : 'y'] = { range: (u, min, max) => [Math.min(0, min), Math.max(max, 1)] };
  }
  const options = Object.assign(chartSize(), {
    series, axes, scales,
    hooks: { drawAxes: [u => { drawBands(u, answer, data.bands); drawDayBars(u, answer); }] },
    cursor: { points: { size: 6 } },
  });
  page.chart = new uPlot(options, [data.times, ...data.lines], $('chart'));
  $('chart').dataset.drawn = String(answer.series.length);
  // uPlot paints in a microtask: the next frame has the chart (the measurements read this mark).
  requestAnimationFrame(() => performance.mark('chart-drawn'));
}

function showChartMessage(text) {
  if (page.chart) { page.chart.destroy(); page.chart = null; }
  $('chart').dataset.drawn = '0';
  $('chart-message').textContent = text;
  $('chart-message').hidden = false;
}

// ---- records ---------------------------------------------------------------------------------

function pad(n) { return String(n).padStart(2, '0'); }

// The console's date when there is one, else the browser's.
function today() {
  const stamp = page.state && page.state.state && page.state.state.date;
  if (/^\d{4}-\d{2}-\d{2}$/.test(stamp || '')) {
    const [y, m, d] = stamp.split('-').map(Number);
    return new Date(y, m - 1, d);
  }
  const now = new Date();
  return new Date(now.getFullYear(), now.getMonth(), now.getDate());
}

function dayText(date) { return date.getFullYear() + '-' + pad(date.getMonth() + 1) + '-' + pad(date.getDate()); }

// The service counts today, this month, year and season by the console's clock.
function recordsQuery() {
  const q = unitQuery();
  const period = $('records-period').value;
  if (period === 'today' || period === 'yesterday') q.set('day', period);
  else if (period !== 'all') q.set(period, 'current');
  const text = q.toString();
  return period === 'all' ? (text ? text + '&all' : 'all') : text;
}

// JSON drops a figure's trailing zero (22.0 arrives as 22): shown again with the unit's places.
function figureText(value, unit) {
  if (value === null || value === undefined) return '--';
  return Number(value).toFixed(decimals(unit)) + (unit ? ' ' + unit : '');
}

function valueText(summary, unit) {
  return summary === null || summary === undefined ? '--' : figureText(summary.value, unit);
}

function timeText(summary) {
  return summary && summary.time ? summary.time.replace('T', ' ') : '';
}

async function showRecords() {
  if (page.view !== 'records') return;
  const message = $('records-message');
  let stats;
  try {
    stats = await getJson('/api/v1/stats', recordsQuery());
  } catch (e) {
    $('records-table').tBodies[0].textContent = '';
    $('records-rain').textContent = '';
    message.textContent = t('load_failed') + ' ' + e.message;
    message.hidden = false;
    return;
  }
  message.hidden = true;
  $('records-span').textContent = stats.from + ' – ' + stats.to + ' · ' + t('record_count') + ' ' + stats.records;
  const body = $('records-table').tBodies[0];
  body.textContent = '';
  const without = [];
  for (const [key, s] of Object.entries(stats.values || {})) {
    if (!s || !s.count) { without.push(seriesLabelLong(key)); continue; }
    const row = body.insertRow();
    const unit = unitOf(key);
    for (const text of [seriesLabelLong(key), valueText(s.high, unit), timeText(s.high),
                        valueText(s.low, unit), timeText(s.low),
                        figureText(s.mean, unit), String(s.count)]) {
      row.insertCell().textContent = text;
    }
  }
  renderRain(stats, without);
}

// The unit the service gave a statistic in: the page's chosen units.
function unitOf(key) {
  const u = page.prefs.units;
  if (key.endsWith('_humidity')) return '%';
  if (key.startsWith('pressure')) return u.pressure;
  if (key === 'rain_rate') return u.rain + '/h';
  if (key === 'wind_speed' || key === 'wind_gust') return u.wind;
  if (key === 'uv_index') return '';
  return '°' + u.temperature;
}

function seriesLabelLong(key) {
  const ch = /^ch(\d)_(\w+)$/.exec(key);
  if (ch) return channelName(ch[1]) + ' – ' + t(ch[2]);
  const side = /^(indoor|outdoor)_(\w+)$/.exec(key);
  if (side) return t(side[1]) + ' – ' + t(side[2]);
  if (key === 'wind_speed' || key === 'wind_gust') return t('wind') + ' – ' + t(key.slice(5));
  return t(key);
}

function renderRain(stats, without) {
  const rain = stats.rain || {};
  const unit = page.prefs.units.rain;
  const list = $('records-rain');
  list.textContent = '';
  const add = (label, text) => {
    const dt = document.createElement('dt'), dd = document.createElement('dd');
    dt.textContent = label;
    dd.textContent = text;
    list.append(dt, dd);
  };
  add(t('total'), figureText(rain.total, unit));
  add(t('wettest_day'), rain.wettest_day ? figureText(rain.wettest_day.value, unit) + ' · ' + rain.wettest_day.date : '--');
  add(t('rain_days'), rain.rain_days === undefined ? '--' : String(rain.rain_days));
  add(t('rate_high'), rain.rate_high ? figureText(rain.rate_high.value, unit + '/h') + ' · ' + timeText(rain.rate_high) : '--');
  add(t('missing_days'), stats.missing_day_count ? String(stats.missing_day_count) : t('none'));
  if (without.length) add(t('no_readings'), without.join(', '));
}

// ---- views and choices -----------------------------------------------------------------------

function showView(view) {
  page.view = view;
  for (const button of document.querySelectorAll('#tabs button')) {
    button.setAttribute('aria-pressed', String(button.dataset.view === view));
  }
  for (const name of ['now', 'history', 'records']) $('view-' + name).hidden = name !== view;
  if (location.hash !== '#' + view) history.replaceState(null, '', '#' + view);
  if (view === 'history') drawHistory();
  if (view === 'records') showRecords();
}

function choicesChanged() {
  page.prefs = { lang: $('lang').value, units: {}, fromUser: true };
  for (const kind of UNIT_KINDS) page.prefs.units[kind] = $('unit-' + kind).value;
  savePrefs();
  relabel();
  openStream();
  refreshCurrent();
  showView(page.view);
}

function wire() {
  for (const button of document.querySelectorAll('#tabs button')) {
    button.addEventListener('click', () => showView(button.dataset.view));
  }
  for (const id of ['lang', ...UNIT_KINDS.map(k => 'unit-' + k)]) $(id).addEventListener('change', choicesChanged);
  $('what').addEventListener('change', () => { renderChannels(); drawHistory(); });
  $('period').addEventListener('change', () => {
    $('range').hidden = $('period').value !== 'range';
    if ($('period').value === 'range' && !$('from').value) {
      const day = today();
      $('to').value = dayText(day);
      $('from').value = dayText(new Date(day.getFullYear(), day.getMonth(), day.getDate() - 6));
    }
    drawHistory();
  });
  for (const id of ['from', 'to']) $(id).addEventListener('change', drawHistory);
  $('history-form').addEventListener('submit', e => e.preventDefault());
  $('records-period').addEventListener('change', showRecords);
  let resizing = 0;
  addEventListener('resize', () => {
    clearTimeout(resizing);
    resizing = setTimeout(() => { if (page.chart) page.chart.setSize(chartSize()); }, 150);
  });
}

function showHashView() {
  const view = location.hash.slice(1);
  showView(['now', 'history', 'records'].includes(view) ? view : 'now');
}

async function start() {
  try {
    page.texts = await (await fetch('/api/v1/texts')).json();
  } catch (e) {
    page.texts = {};
  }
  page.prefs = loadPrefs() || { units: Object.assign({}, FALLBACK.units), lang: FALLBACK.lang, fromUser: false };
  if (!page.texts[page.prefs.lang]) page.prefs.lang = FALLBACK.lang;
  fillChoices();
  wire();
  relabel();
  // The records' periods count from the console's date: read it before the first view.
  await refreshCurrent();
  showHashView();
  addEventListener('hashchange', showHashView);
  openStream();
}

start();
