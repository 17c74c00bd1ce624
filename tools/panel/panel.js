// The panel's page: shows the state the server streams and posts the
// changes made on it. The token, when the panel has one, comes from the
// page's own address and goes with every request.
'use strict';

const token = new URLSearchParams(location.search).get('token') || '';
const query = token ? '?token=' + encodeURIComponent(token) : '';

const SETTINGS = [
  { key: 'level', label: 'Level', unit: 'V' },
  { key: 'range', label: 'Range', unit: 'V' },
  { key: 'offset', label: 'Offset', unit: 'V' },
  { key: 'frequency', label: 'Frequency', unit: 'Hz' },
  { key: 'currentLimit', label: 'Current limit', unit: 'A' },
  { key: 'coupling', label: 'Coupling', unit: '' },
  { key: 'limitBehavior', label: 'Limit behaviour', unit: '' },
];
const UNITS = {
  VOLTAGE_AC: 'V', VOLTAGE_DC: 'V', CURRENT_AC: 'A', CURRENT_DC: 'A', CURRENT_MAX: 'A', CURRENT_MAX_HOLD: 'A',
  CURRENT_CREST_FACTOR: '', FREQUENCY: 'Hz', POWER_AC: 'W', POWER_DC: 'W', AC_APPARENT: 'VA',
  POWER_AC_REACTIVE: 'var', AC_POWER_FACTOR: '',
};
// The chart's traces: index into a point [time, V, I, P].
const TRACES = [
  { index: 1, name: 'Voltage', unit: 'V', color: '--volt' },
  { index: 2, name: 'Current', unit: 'A', color: '--amp' },
  { index: 3, name: 'Power', unit: 'W', color: '--watt' },
];
// The chart keeps five minutes and spans what it holds, at least half a minute.
const WINDOW_MS = 5 * 60 * 1000;
const SHORTEST_SPAN_MS = 30 * 1000;

const $ = (id) => document.getElementById(id);
const element = (tag, attributes = {}, text = '') => {
  const node = document.createElement(tag);
  Object.assign(node, attributes);
  if (text) node.textContent = text;
  return node;
};
const format = (value) => (typeof value === 'number' ? Number(value.toPrecision(6)).toString() : '—');

// What the page has seen, open to whoever drives the page.
window.panel = { state: null, points: [], received: 0 };

async function post(path, body = {}) {
  try {
    const response = await fetch(path, {
      method: 'POST',
      headers: { 'Content-Type': 'application/json', 'X-Panel-Token': token },
      body: JSON.stringify(body),
    });
    const text = await response.text();
    try {
      return JSON.parse(text).error || '';
    } catch {
      return text.trim() || response.statusText;
    }
  } catch (failure) {
    return 'the panel does not answer: ' + failure.message;
  }
}

function buildSettings(names) {
  const table = $('settings');
  for (const setting of SETTINGS) {
    const row = table.insertRow();
    row.insertCell().textContent = setting.label;
    const choices = names[setting.key] || [];
    const input = choices.length
      ? element('select', { id: 'set-' + setting.key })
      : element('input', { id: 'set-' + setting.key, type: 'number', step: 'any' });
    for (const choice of choices) input.append(element('option', { value: choice }, choice));
    const apply = async () => {
      const value = choices.length ? input.value : Number(input.value);
      input.dataset.editing = '';
      showRefusal(setting.key, await post('/api/set', { name: setting.key, value }));
    };
    input.addEventListener('input', () => { input.dataset.editing = '1'; });
    input.addEventListener('keydown', (event) => { if (event.key === 'Enter') apply(); });
    if (choices.length) input.addEventListener('change', apply);
    row.insertCell().append(input);
    row.insertCell().textContent = setting.unit;
    const button = element('button', { id: 'apply-' + setting.key, type: 'button' }, 'Set');
    button.addEventListener('click', apply);
    row.insertCell().append(button);
    row.insertCell().append(element('span', { id: 'limits-' + setting.key, className: 'limits' }));
    row.cells[4].className = 'limits';
    const refusalRow = table.insertRow();
    refusalRow.className = 'refusal-row';
    refusalRow.insertCell();
    const refusal = refusalRow.insertCell();
    refusal.colSpan = 4;
    refusal.append(element('span', { id: 'err-' + setting.key, className: 'refusal' }));
  }
}

function showRefusal(control, message) {
  const target = $('err-' + control) || $('err-actions');
  if (target) target.textContent = message || '';
}

function buildTiles() {
  for (const [name, unit] of Object.entries(UNITS)) {
    const tile = element('div', { className: 'tile' });
    tile.append(element('div', { className: 'name' }, name.replaceAll('_', ' ').toLowerCase()));
    tile.append(element('div', { className: 'value', id: 'm-' + name }, '—'));
    tile.dataset.unit = unit;
    $('measurements').append(tile);
  }
}

function showState(state) {
  window.panel.state = state;
  window.panel.received += 1;
  $('alarm').hidden = !state.overCurrent;
  $('alarm').textContent = state.output
    ? 'OVER CURRENT: the current reached its limit'
    : 'OVER CURRENT: the output tripped; raise the limit or lighten the load, then clear protection';
  $('failure').hidden = !state.failure;
  $('failure').textContent = state.failure || '';
  const toggle = $('output-toggle');
  toggle.textContent = state.output ? 'ON' : 'OFF';
  toggle.className = 'output ' + (state.output ? 'on' : 'off');
  for (const [name, value] of Object.entries(state.measurements || {})) {
    const tile = $('m-' + name);
    if (tile) tile.textContent = format(value) + (UNITS[name] ? ' ' + UNITS[name] : '');
  }
  for (const setting of SETTINGS) {
    const entry = (state.settings || {})[setting.key];
    const input = $('set-' + setting.key);
    if (!entry || !input) continue;
    if (!input.dataset.editing && document.activeElement !== input && entry.value !== null) {
      input.value = typeof entry.value === 'number' ? format(entry.value) : entry.value;
    }
    $('limits-' + setting.key).textContent =
      'min' in entry ? 'MIN ' + format(entry.min) + ' · MAX ' + format(entry.max) : '';
  }
  for (const control of [...SETTINGS.map((setting) => setting.key), 'output']) {
    showRefusal(control, (state.refusals || {})[control] || ((state.settings || {})[control] || {}).readError);
  }
  $('err-actions').textContent = ['trigger', 'clear', 'reset']
    .filter((control) => (state.refusals || {})[control])
    .map((control) => control + ': ' + state.refusals[control]).join('; ');
  const list = $('errors');
  list.replaceChildren();
  for (const entry of [...(state.errors || [])].reverse()) {
    const when = new Date(entry.time).toLocaleTimeString();
    list.append(element('li', {}, when + '  ' + entry.code + ', "' + entry.message + '"'));
  }
  if (!list.children.length) list.append(element('li', { className: 'dim' }, 'empty'));
  const m = state.measurements || {};
  if ('VOLTAGE_AC' in m) addPoint([state.time, m.VOLTAGE_AC, m.CURRENT_AC || 0, m.POWER_AC || 0]);
}

function addPoint(point) {
  const points = window.panel.points;
  points.push(point);
  while (points.length && points[0][0] < point[0] - WINDOW_MS) points.shift();
}

// Three bands, one a trace, each scaled to its own largest value.
function drawChart() {
  const canvas = $('chart');
  const context = canvas.getContext('2d');
  const style = getComputedStyle(document.documentElement);
  const { width, height } = canvas;
  context.clearRect(0, 0, width, height);
  const points = window.panel.points;
  const band = height / TRACES.length;
  const left = 8;
  const right = width - 8;
  const end = points.length ? points[points.length - 1][0] : Date.now();
  const span = Math.max(SHORTEST_SPAN_MS, points.length ? end - points[0][0] : 0);
  const x = (time) => right - ((end - time) / span) * (right - left);
  context.font = '12px system-ui, sans-serif';
  TRACES.forEach((trace, row) => {
    const top = row * band;
    const values = points.map((point) => point[trace.index]);
    const largest = Math.max(1e-9, ...values.map(Math.abs));
    const y = (value) => top + band - 6 - (value / largest) * (band - 26);
    context.strokeStyle = '#2c343d';
    context.beginPath();
    context.moveTo(left, top + band - 0.5);
    context.lineTo(right, top + band - 0.5);
    context.stroke();
    context.strokeStyle = style.getPropertyValue(trace.color).trim();
    context.lineWidth = 1.5;
    context.beginPath();
    points.forEach((point, i) => {
      if (i === 0) context.moveTo(x(point[0]), y(point[trace.index]));
      else context.lineTo(x(point[0]), y(point[trace.index]));
    });
    context.stroke();
    const latest = values.length ? values[values.length - 1] : null;
    context.fillStyle = context.strokeStyle;
    context.fillText(trace.name + '  ' + format(latest) + ' ' + trace.unit + '   (top ' + format(largest) + ' ' +
      trace.unit + ')', left + 4, top + 14);
  });
  context.fillStyle = style.getPropertyValue('--dim').trim();
  const label = span < 120000 ? 'last ' + Math.round(span / 1000) + ' s' : 'last ' + (span / 60000).toFixed(1) + ' min';
  context.textAlign = 'right';
  context.fillText(label, right - 4, height - 4);
  context.textAlign = 'left';
}

// How many states arrived over the last few seconds.
function startRateMeter() {
  let last = { count: 0, time: performance.now() };
  setInterval(() => {
    const now = { count: window.panel.received, time: performance.now() };
    const rate = ((now.count - last.count) * 1000) / (now.time - last.time);
    window.panel.rate = rate;
    $('rate').textContent = rate.toFixed(1) + ' updates/s';
    last = now;
  }, 2000);
}

function connect() {
  const events = new EventSource('/events' + query);
  events.addEventListener('open', () => $('link').classList.add('up'));
  events.addEventListener('error', () => $('link').classList.remove('up'));
  events.addEventListener('history', (event) => {
    window.panel.points = JSON.parse(event.data);
  });
  events.addEventListener('state', (event) => {
    showState(JSON.parse(event.data));
    requestAnimationFrame(drawChart);
  });
}

async function start() {
  buildTiles();
  const response = await fetch('/api/identity' + query);
  if (!response.ok) {
    $('identity').textContent = 'refused: ' + (await response.text());
    return;
  }
  const identity = await response.json();
  window.panel.identity = identity;
  $('identity').textContent = [identity.manufacturer, identity.model, identity.firmware].filter(Boolean).join(' · ');
  $('resource').textContent = identity.resource;
  $('channel').textContent = identity.output;
  buildSettings(identity.settings);
  $('output-toggle').addEventListener('click', async () => {
    const on = !(window.panel.state && window.panel.state.output);
    showRefusal('output', await post('/api/output', { on }));
  });
  for (const action of ['trigger', 'clear', 'reset']) {
    $(action).addEventListener('click', async () => {
      $('err-actions').textContent = await post('/api/' + action);
    });
  }
  startRateMeter();
  connect();
}

start();
