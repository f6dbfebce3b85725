// The line dashboard's page. Every text that comes from a station or a device (station names,
// module IDs, messages) is set as text (textContent), never as markup.
'use strict';

const tiles = new Map();  // station -> its tile element
let countersSeen = -1;
let summaryTimer = null;
const charts = {};

function $(id) { return document.getElementById(id); }

function el(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined && text !== null) node.textContent = String(text);
  return node;
}

function pad(n) { return String(n).padStart(2, '0'); }

function timeText(ms) {
  const d = new Date(ms);
  return d.getFullYear() + '-' + pad(d.getMonth() + 1) + '-' + pad(d.getDate()) + ' ' +
      pad(d.getHours()) + ':' + pad(d.getMinutes()) + ':' + pad(d.getSeconds());
}

// As the history counts them: every result but success and skipped is a failure.
function isFailure(result) {
  return result !== '' && result !== 'success' && result !== 'skipped';
}

// The states a tile has a look for; any other is shown, but styled as none of them.
const knownStates = new Set(['searching', 'waiting', 'configuring', 'transferring', 'restoring',
                             'retrying', 'stopped']);

// A tile's fixed parts, made once per station; their texts change with each state.
function makeTile(station) {
  const tile = el('article', 'tile');
  tile.dataset.station = station;
  tile.append(el('div', 'station', station), el('div', 'state'), el('div', 'line progress'),
              el('div', 'bar'), el('div', 'line module'), el('div', 'line last'),
              el('div', 'message'), el('div', 'action'), el('div', 'line rate'),
              el('div', 'line counters'));
  tile.querySelector('.bar').append(el('div'));
  $('tiles').append(tile);
  return tile;
}

function setLine(node, label, value) {
  node.replaceChildren(el('span', 'label', label + ' '), el('span', 'value', value));
}

function showTile(s) {
  const tile = tiles.get(s.station) || makeTile(s.station);
  tiles.set(s.station, tile);
  const failed = isFailure(s.lastResult);
  const look = s.offline ? 'offline' : knownStates.has(s.state) ? s.state : 'other';
  tile.className = 'tile ' + look + (failed ? ' failed' : '');
  tile.querySelector('.state').textContent = s.offline ? 'offline' : s.state;
  tile.querySelector('.state').title = s.offline ?
      'no state for ' + Math.round(s.ageMs / 1000) + ' s (last: ' + s.state + ')' : '';
  const moving = s.pages > 0 && (s.state === 'transferring' || s.state === 'restoring');
  setLine(tile.querySelector('.progress'), 'page', moving ? s.page + ' of ' + s.pages : '-');
  tile.querySelector('.bar div').style.width = moving ? (100 * s.page / s.pages) + '%' : '0';
  setLine(tile.querySelector('.module'), 'module', s.moduleId === null ? '-' : s.moduleId);
  setLine(tile.querySelector('.last'), 'last result', s.lastResult || '-');
  tile.querySelector('.message').textContent = failed ? s.lastMessage : '';
  tile.querySelector('.action').textContent = failed && s.lastAction ? s.lastAction : '';
  setLine(tile.querySelector('.rate'), 'modules per hour',
          s.modulesPerHour === null ? '-' : s.modulesPerHour);
  setLine(tile.querySelector('.counters'), 'updated / failed / skipped',
          s.updated + ' / ' + s.failed + ' / ' + s.skipped +
          (s.frames ? ' · resends ' + s.resends + ' of ' + s.frames + ' frames' : ''));
}

function showStations(view) {
  const problem = $('problem');
  problem.hidden = !view.error;
  problem.textContent = view.error ? 'The history cannot be read: ' + view.error : '';
  if (view.error) return;
  let counters = 0;
  for (const s of view.stations) {
    showTile(s);
    counters += s.updated + s.failed + s.skipped;
  }
  $('no-stations').hidden = view.stations.length > 0;
  // A module finished somewhere: the totals, plots and failures follow.
  if (counters !== countersSeen) {
    countersSeen = counters;
    clearTimeout(summaryTimer);
    summaryTimer = setTimeout(loadSummary, 200);
  }
}

function listen() {
  const events = new EventSource('api/events');
  events.addEventListener('stations', (e) => showStations(JSON.parse(e.data)));
  events.onopen = () => { $('live').textContent = 'live'; $('live').className = 'live up'; };
  events.onerror = () => {
    $('live').textContent = 'reconnecting';
    $('live').className = 'live down';
    // A stream the server refused (too many pages open) is not tried again by the browser.
    if (events.readyState === EventSource.CLOSED) setTimeout(listen, 3000);
  };
}

// One chart, made on its first data and given new data after.
function plot(id, rows, options) {
  const box = $(id);
  if (rows.length === 0) {
    if (charts[id]) { charts[id].destroy(); delete charts[id]; }
    box.replaceChildren(el('p', 'empty', 'No data yet.'));
    return null;
  }
  if (charts[id]) {
    charts[id].updateOptions(Object.assign({file: rows}, options));
  } else {
    box.replaceChildren();
    charts[id] = new Dygraph(box, rows, options);
  }
  return charts[id];
}

// The stations' names beside their colours, as text.
function legend(id, names, chart) {
  const colors = chart ? chart.getColors() : [];
  $(id).replaceChildren(...names.map((name, i) => {
    const item = el('li');
    const swatch = el('span', 'swatch');
    swatch.style.background = colors[i] || '#888';
    item.append(swatch, document.createTextNode(name));
    return item;
  }));
}

// One row per attempt, one column per station: [time, s0, s1, ...].
function linkRows(links, column) {
  const width = links.stations.length;
  return links.points.map((p) => {
    const row = new Array(width + 1).fill(null);
    row[0] = new Date(p[0]);
    row[p[1] + 1] = p[column];
    return row;
  });
}

// Every hour of the shift up to now, those without attempts as zero.
function hourRows(summary) {
  const counts = new Map(summary.perHour.map((h) => [h[0], h]));
  const rows = [];
  const first = Math.floor(summary.shiftStartMs / 3600000) * 3600000;
  for (let hour = first; hour <= summary.now; hour += 3600000) {
    const h = counts.get(hour) || [hour, 0, 0];
    rows.push([new Date(hour), h[1], h[2]]);
  }
  return summary.perHour.length ? rows : [];
}

// The hours as bars, the series side by side within each hour.
function barPlotter(e) {
  const context = e.drawingContext;
  const points = e.points;
  let gap = Infinity;
  for (let i = 1; i < points.length; i++) gap = Math.min(gap, points[i].canvasx - points[i - 1].canvasx);
  if (!isFinite(gap)) gap = e.plotArea.w / 2;
  const width = Math.max(1, Math.floor(gap * 0.7 / e.seriesCount));
  const bottom = e.dygraph.toDomYCoord(0);
  context.fillStyle = e.color;
  for (const p of points) {
    const left = p.canvasx - gap * 0.35 + e.seriesIndex * width;
    context.fillRect(left, p.canvasy, width, bottom - p.canvasy);
  }
}

// Attempts close together in time (the first minutes of a shift) get ten minutes around them,
// so the time axis has labels and a lone point does not sit on its edge; else the plot's own.
function linkWindow(links) {
  if (links.points.length === 0) return null;
  let first = Infinity, last = -Infinity;
  for (const p of links.points) { first = Math.min(first, p[0]); last = Math.max(last, p[0]); }
  const span = 600000;
  if (last - first >= span) return null;
  const middle = (first + last) / 2;
  return [middle - span / 2, middle + span / 2];
}

function showPlots(summary) {
  const hours = hourRows(summary);
  const halfHour = 1800000;
  plot('plot-per-hour', hours, {labels: ['hour', 'updated', 'failed'], plotter: barPlotter,
       colors: ['#2f855a', '#c53030'], includeZero: true, axes: {x: {axisLabelWidth: 60}},
       dateWindow: hours.length ? [hours[0][0].getTime() - halfHour,
                                   hours[hours.length - 1][0].getTime() + halfHour] : null});
  const links = summary.links;
  const labels = ['time'].concat(links.stations.map((_, i) => 'station ' + (i + 1)));
  const common = {labels: labels, connectSeparatedPoints: true, drawPoints: true, pointSize: 3, xRangePad: 8,
                  includeZero: true, axes: {x: {axisLabelWidth: 70}}, dateWindow: linkWindow(links)};
  legend('legend-round-trip', links.stations, plot('plot-round-trip', linkRows(links, 2), common));
  legend('legend-resends', links.stations, plot('plot-resends', linkRows(links, 4), common));
}

function attemptRow(a) {
  const row = el('tr', isFailure(a.result) ? 'failed' : a.result);
  row.append(el('td', 'time', timeText(a.startMs)), el('td', 'station', a.station),
             el('td', 'module', a.moduleId === null ? '-' : a.moduleId),
             el('td', 'result', a.result), el('td', 'message', a.message),
             el('td', 'action', a.action === null ? '' : a.action));
  return row;
}

function showSummary(summary) {
  const totals = summary.totals;
  $('shift-start').textContent = timeText(summary.shiftStartMs);
  $('total-updated').textContent = totals.updated;
  $('total-failed').textContent = totals.failed;
  $('total-skipped').textContent = totals.skipped;
  const hours = (summary.now - summary.shiftStartMs) / 3600000;
  $('total-rate').textContent = hours > 1 / 60 ? (totals.updated / hours).toFixed(1) : '-';
  const body = $('failures-table').querySelector('tbody');
  body.replaceChildren(...summary.failures.map(attemptRow));
  $('failures-table').hidden = summary.failures.length === 0;
  $('failures-none').hidden = summary.failures.length !== 0;
  showPlots(summary);
}

async function getJson(path) {
  const response = await fetch(path, {cache: 'no-store'});
  if (!response.ok) throw new Error((await response.text()).trim());
  return response.json();
}

async function loadSummary() {
  try {
    showSummary(await getJson('api/summary'));
  } catch (error) {
    $('problem').hidden = false;
    $('problem').textContent = String(error.message || error);
  }
}

async function search(event) {
  event.preventDefault();
  const id = $('search-id').value;
  if (id === '') return;
  const status = $('search-status');
  status.textContent = 'Searching…';
  try {
    const found = await getJson('api/attempts?module=' + encodeURIComponent(id));
    $('search-results').querySelector('tbody').replaceChildren(...found.attempts.map(attemptRow));
    $('search-results').hidden = found.attempts.length === 0;
    status.textContent = found.attempts.length === 0 ? 'No attempt for this module ID.' :
        found.attempts.length + ' attempt' + (found.attempts.length === 1 ? '' : 's') + ', newest first.';
    status.dataset.module = id;
    const csv = $('csv-search');
    csv.href = 'export/attempts.csv?module=' + encodeURIComponent(id);
    csv.hidden = false;
  } catch (error) {
    status.textContent = String(error.message || error);
  }
}

function tick() { $('clock').textContent = timeText(Date.now()); }

document.addEventListener('DOMContentLoaded', () => {
  // The charts' own legend writes markup (and measures itself with a style attribute, which
  // the page's security policy forbids); the page shows its own, as text.
  Dygraph.PLUGINS = Dygraph.PLUGINS.filter((plugin) => plugin !== Dygraph.Plugins.Legend);
  $('search-form').addEventListener('submit', search);
  tick();
  setInterval(tick, 1000);
  setInterval(loadSummary, 30000);
  listen();
});
