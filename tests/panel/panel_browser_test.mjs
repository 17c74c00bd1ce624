// The panel in a real browser: headless Chromium loads the page served by
// "hvzelta panel" against the built-in emulator, reads the identity, switches
// 120 V on and watches the chart reach it, trips the current limit, sees a
// refused value's error, and checks that requests from another origin or
// without the token are refused. Prints the update rate the page sees and the
// panel's CPU use with the page connected.
//
// usage: node panel_browser_test.mjs HVZELTA [SCREENSHOT_DIR]
// Exit status 77 (skipped) when Chromium or the npm packages are missing.

import { spawn } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { request } from 'node:http';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { createInterface } from 'node:readline';
import { fileURLToPath } from 'node:url';

const CHROMIUM = '/usr/bin/chromium';
const here = dirname(fileURLToPath(import.meta.url));
const [cli, screenshots] = process.argv.slice(2);
const WHOLE_TEST_MS = 55000;

if (!existsSync(CHROMIUM) || !existsSync(join(here, 'node_modules', 'puppeteer-core'))) {
  console.log(`skipped: needs ${CHROMIUM} and ${join(here, 'node_modules')} (scripts/install-deps.sh installs both)`);
  process.exit(77);
}
const { default: puppeteer } = await import('puppeteer-core');

const children = [];
let browser = null;
const profile = mkdtempSync(join(tmpdir(), 'hvzelta-panel-'));

async function cleanUp() {
  if (browser) await browser.close().catch(() => {});
  for (const child of children) if (child.exitCode === null) child.kill('SIGTERM');
  rmSync(profile, { recursive: true, force: true });
}
const deadline = setTimeout(async () => {
  console.error('FAIL: the test did not end within ' + WHOLE_TEST_MS / 1000 + ' s');
  await cleanUp();
  process.exit(1);
}, WHOLE_TEST_MS);

function check(condition, what) {
  if (!condition) throw new Error(what);
  console.log('ok   ' + what);
}

// Starts the program and resolves with the first line it prints.
function start(args) {
  const child = spawn(cli, args, { stdio: ['ignore', 'pipe', 'inherit'] });
  children.push(child);
  return new Promise((resolve, reject) => {
    createInterface({ input: child.stdout }).once('line', (line) => resolve({ child, line }));
    child.once('exit', (code) => reject(new Error(`hvzelta ${args[0]} ended with ${code} before printing`)));
  });
}

// A raw request, with whatever Host and Origin a hostile page could send.
function send(url, { method = 'GET', headers = {}, body = '' } = {}) {
  return new Promise((resolve, reject) => {
    const sent = request(url, { method, headers }, (response) => {
      let text = '';
      response.on('data', (chunk) => { text += chunk; });
      response.on('end', () => resolve({ status: response.statusCode, text }));
    });
    sent.on('error', reject);
    sent.end(body);
  });
}

// Seconds of CPU the process has used (user and system).
function cpuSeconds(pid) {
  const fields = readFileSync(`/proc/${pid}/stat`, 'utf8').split(') ')[1].split(' ');
  return (Number(fields[11]) + Number(fields[12])) / 100;
}

async function run() {
  const sim = await start(['sim', '--port', '0', '--json']);
  const resource = JSON.parse(sim.line).resources.socket;
  const panel = await start(['panel', '-r', resource, '--listen', '127.0.0.1:0', '--no-browser', '--token']);
  const url = new URL(panel.line);
  check(/^[0-9a-f]{32}$/.test(url.searchParams.get('token')), 'the panel prints its URL with a token');

  browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    userDataDir: profile,
    args: ['--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  const page = await browser.newPage();
  await page.setViewport({ width: 1200, height: 760 });
  const pageErrors = [];
  page.on('pageerror', (error) => pageErrors.push(error.message));
  await page.goto(url.href);
  await page.waitForFunction(() => window.panel.identity && window.panel.state, { timeout: 10000 });
  const identity = await page.$eval('#identity', (node) => node.textContent);
  check(identity.includes('Halvorn') && identity.includes('ZTA'), `the page shows the identity (${identity})`);

  await page.$eval('#set-level', (input) => { input.value = ''; });
  await page.type('#set-level', '120');
  await page.click('#apply-level');
  await page.click('#output-toggle');
  await page.waitForFunction(() => window.panel.points.some((point) => Math.abs(point[1] - 120) < 0.5),
    { timeout: 10000 });
  check(true, 'the chart\'s voltage reaches 120 V after switching on');
  const second = await browser.newPage();
  await second.goto(url.href);
  await second.waitForFunction(() => window.panel.state && window.panel.state.output &&
    window.panel.points.some((point) => Math.abs(point[1] - 120) < 0.5), { timeout: 10000 });
  await second.close();
  check(true, 'a second page sees the output on and the chart\'s history');

  const before = { received: await page.evaluate(() => window.panel.received), cpu: cpuSeconds(panel.child.pid),
    time: Date.now() };
  await new Promise((resolve) => setTimeout(resolve, 3000));
  const seconds = (Date.now() - before.time) / 1000;
  const rate = ((await page.evaluate(() => window.panel.received)) - before.received) / seconds;
  const cpu = ((cpuSeconds(panel.child.pid) - before.cpu) / seconds) * 100;
  console.log(`measurements reaching the page: ${rate.toFixed(1)}/s (goal >= 5)`);
  console.log(`panel CPU with one page connected: ${cpu.toFixed(1)} % of one core (goal <= 5 %)`);
  check(rate >= 1, 'the page is updated every second at least');
  if (screenshots) await page.screenshot({ path: join(screenshots, 'panel-at-rest.png') });
  check(cpu < 80, 'the panel does not spin');

  await page.select('#set-limitBehavior', 'TRIP');
  await page.waitForFunction(() => window.panel.state.settings.limitBehavior.value === 'TRIP', { timeout: 10000 });
  await page.$eval('#set-currentLimit', (input) => { input.value = ''; });
  await page.type('#set-currentLimit', '1');
  await page.click('#apply-currentLimit');
  await page.waitForSelector('#alarm:not([hidden])', { timeout: 10000 });
  const alarm = await page.$eval('#alarm', (node) => node.textContent);
  check(alarm.includes('tripped') && !(await page.evaluate(() => window.panel.state.output)),
    `a trip shows the alarm and the output off (${alarm})`);
  if (screenshots) await page.screenshot({ path: join(screenshots, 'panel-tripped.png') });
  await page.click('#clear');
  await page.waitForSelector('#alarm[hidden]', { timeout: 10000 });

  await page.$eval('#set-level', (input) => { input.value = ''; });
  await page.type('#set-level', '9999');
  await page.click('#apply-level');
  await page.waitForFunction(() => document.getElementById('err-level').textContent !== '', { timeout: 10000 });
  const refusal = await page.$eval('#err-level', (node) => node.textContent);
  check(/range/i.test(refusal), `a refused level shows the instrument's error beside it (${refusal})`);
  await page.$eval('#err-actions', (node) => { node.textContent = 'pending'; });
  await page.click('#trigger');
  await page.waitForFunction(() => document.getElementById('err-actions').textContent !== 'pending',
    { timeout: 10000 });
  const triggered = await page.$eval('#err-actions', (node) => node.textContent);
  check(triggered === '', `the trigger is taken (${triggered})`);
  await page.click('#reset');
  await page.waitForFunction(() => window.panel.state.settings.limitBehavior.value !== 'TRIP', { timeout: 10000 });
  check(pageErrors.length === 0, 'the page raised no script error ' + pageErrors.join('; '));

  const api = new URL('/api/output', url);
  const json = { 'Content-Type': 'application/json' };
  const token = { 'X-Panel-Token': url.searchParams.get('token') };
  const refusals = [
    ['from another origin', { ...json, ...token, Origin: 'http://evil.example' }],
    ['without the token', { ...json, Origin: url.origin }],
    ['with a wrong token', { ...json, Origin: url.origin, 'X-Panel-Token': '0'.repeat(32) }],
    ['under another host name (DNS rebinding)', { ...json, ...token, Host: `evil.example:${url.port}` }],
    ['as a form post', { ...token, 'Content-Type': 'text/plain' }],
  ];
  for (const [how, headers] of refusals) {
    const answer = await send(api, { method: 'POST', headers, body: '{"on": true}' });
    check(answer.status === 403, `a change ${how} is refused (${answer.status}: ${answer.text.trim()})`);
  }
  check((await send(new URL('/etc/passwd?' + url.searchParams, url))).status === 404, 'nothing else is served');
  const allowed = await send(api, { method: 'POST', headers: { ...json, ...token, Origin: url.origin },
    body: '{"on": false}' });
  check(allowed.status === 200, 'the same change with the token from the page\'s origin is taken');

  await browser.close();
  browser = null;
  panel.child.kill('SIGTERM');
  const code = await new Promise((resolve) => panel.child.once('exit', resolve));
  check(code === 0, 'the panel ends cleanly on SIGTERM');
}

try {
  await run();
  await cleanUp();
  clearTimeout(deadline);
  console.log('PASS');
} catch (failure) {
  console.error('FAIL: ' + failure.message);
  await cleanUp();
  process.exit(1);
}
