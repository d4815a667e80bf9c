// What the browser tests share: a kxcontainer of their own (on a free port,
// with a scratch copy of the product home), a headless Chromium that talks to
// nothing but that server, and screenshots of the pages visited.
import { spawn } from 'node:child_process';
import { cp, mkdir, mkdtemp, rm, writeFile } from 'node:fs/promises';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const SOURCE_DIR = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..', '..');
// CTest hands over the build's bin folder (kxcontainer and the generators).
const BIN_DIR = process.env.KX_TEST_BIN_DIR || path.join(SOURCE_DIR, 'build', 'bin');
const SCREENSHOT_DIR = process.env.KX_SCREENSHOT_DIR || path.join(path.dirname(BIN_DIR), 'browser-screenshots');

export function withTimeout(promise, ms, what) {
  let timer;
  return Promise.race([promise, new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`${what}: no result within ${ms} ms`)), ms);
  })]).finally(() => clearTimeout(timer));
}

// Starts kxcontainer on port 0 with a copy of home/ (no logs or projects) and reads the
// address it prints. generatorDelay (seconds) puts stand-ins first on PATH that run the
// real generator and then wait: runs slow enough to watch a page meanwhile.
async function startContainer({ generatorDelay = 0 } = {}) {
  const scratch = await mkdtemp(path.join(os.tmpdir(), 'kx-browser-'));
  const source = path.join(SOURCE_DIR, 'home');
  const home = path.join(scratch, 'home');
  await cp(source, home, { recursive: true, filter: (f) => !/^(logs$|logs\/|projects\/)/.test(path.relative(source, f)) });
  await mkdir(path.join(home, 'projects'), { recursive: true });
  const bins = [BIN_DIR];
  if (generatorDelay > 0) {
    bins.unshift(path.join(scratch, 'slow-bin'));
    await mkdir(bins[0]);
    for (const name of ['svcgen', 'bindgen', 'prjforge']) {
      const run = `#!/bin/sh\n"${path.join(BIN_DIR, name)}" "$@"\nstatus=$?\nsleep ${generatorDelay}\nexit $status\n`;
      await writeFile(path.join(bins[0], name), run, { mode: 0o755 });
    }
  }
  const env = { ...process.env, PATH: [...bins, process.env.PATH].join(path.delimiter), KX_COMMAND_TIME_LIMIT: '120' };
  const child = spawn(path.join(BIN_DIR, 'kxcontainer'),
    ['--port', '0', '--webapp', path.join(SOURCE_DIR, 'webapp'), '--home', home, '--log-dir', path.join(scratch, 'logs')],
    { env, stdio: ['ignore', 'pipe', 'pipe'] });
  let stdout = '';
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr = (stderr + chunk).slice(-8192); });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve(signal ?? code)));
  // Past the address line, standard output belongs to the servlets; it is
  // read (and kept short) so the pipe never fills.
  const url = await withTimeout(new Promise((resolve, reject) => {
    child.stdout.on('data', (chunk) => {
      stdout = (stdout + chunk).slice(-8192);
      // The address is the first line's last word: on the server's own name
      // (orvo-<random>.localhost), which Chromium leads to loopback itself.
      const match = /^kxcontainer: serving .* at (http:\/\/\S+)\n/.exec(stdout);
      if (match) resolve(match[1]);
    });
    exited.then((code) => reject(new Error(`kxcontainer exited (${code}) at start: ${stderr}`)));
  }), 20_000, 'kxcontainer start').catch(async (error) => {
    child.kill('SIGKILL');
    await rm(scratch, { recursive: true, force: true });
    throw error;
  });
  return {
    url, base: url.replace(/\?.*$/, ''), hostName: new URL(url).hostname, home, process: child, exited,
    async stop() {
      if (child.exitCode === null && child.signalCode === null) child.kill('SIGTERM');
      await withTimeout(exited, 15_000, 'kxcontainer stop').catch(() => { child.kill('SIGKILL'); return exited; });
      await rm(scratch, { recursive: true, force: true });
    },
  };
}

// Everything one test needs: a server, a fresh headless Chromium (own profile, every request
// refused but to the server's own name and 127.0.0.1) on the start page, and shot(page, label), which saves numbered
// full-page screenshots into <build>/browser-screenshots/<suite>/; done() stops both.
export async function session(suite, { colorScheme = 'light', javaScriptEnabled = true } = {}, serverOptions = {}) {
  const server = await startContainer(serverOptions);
  const profile = await mkdtemp(path.join(os.tmpdir(), 'kx-chromium-'));
  let context;
  const done = async () => {
    await context?.close().catch(() => {});
    await rm(profile, { recursive: true, force: true });
    await server.stop();
  };
  const pageErrors = [];
  try {
    context = await chromium.launchPersistentContext(profile, {
      executablePath: process.env.KX_CHROMIUM || '/usr/bin/chromium',
      headless: true,
      args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
        '--disable-component-update', '--disable-sync', '--no-first-run', '--disable-quic'],
      viewport: { width: 1280, height: 900 }, colorScheme, javaScriptEnabled, timeout: 30_000,
    });
    context.setDefaultTimeout(15_000);
    context.setDefaultNavigationTimeout(30_000);
    await context.route('**/*', (route) =>
      [server.hostName, '127.0.0.1'].includes(new URL(route.request().url()).hostname)
        ? route.fallback() : route.abort('blockedbyclient'));
    context.pages()[0].on('pageerror', (error) => pageErrors.push(error.message));
    await context.pages()[0].goto(server.url);
  } catch (error) {
    await done();
    throw error;
  }
  const page = context.pages()[0];
  const folder = path.join(SCREENSHOT_DIR, suite);
  const ready = rm(folder, { recursive: true, force: true }).then(() => mkdir(folder, { recursive: true }));
  let count = 0;
  const at = (p) => new URL(p, server.base).href;
  // A GET through the browser's own network stack, with its cookies: Node's resolver
  // (and so Playwright's request API) does not know *.localhost on every machine, while
  // Chromium leads it to loopback. It runs in a page of its own on the server's origin,
  // so the page under test keeps its state.
  const get = async (url) => {
    const helper = await context.newPage();
    try {
      await helper.goto(at('static/style.css'));
      return await helper.evaluate(async (address) => {
        const response = await fetch(address, { credentials: 'same-origin', cache: 'no-store' });
        return { status: response.status, text: await response.text() };
      }, url);
    } finally {
      await helper.close();
    }
  };
  return {
    server, context, page, pageErrors, at, done, get,
    example: (name) => `${server.home}\\examples\\${name}`,
    async shot(shown, label) {
      await ready;
      count += 1;
      await shown.screenshot({ path: path.join(folder, `${String(count).padStart(2, '0')}-${label}.png`), fullPage: true });
    },
    // Runs a wizard by its address into home/projects; returns the status page's address.
    async generate(tier, params) {
      const query = new URLSearchParams({ oper: 'generate', projectDir: `${server.home}\\projects`, ...params });
      await page.goto(at(`${tier}?${query}`));
      await page.waitForURL('**/orvo/status?**', { timeout: 120_000 });
      return page.url();
    },
  };
}
