// What the browser tests share: a kxcontainer of their own (on a free port,
// with a scratch copy of the product home), a headless Chromium that talks to
// nothing but that server, and screenshots of the pages visited.
import { spawn } from 'node:child_process';
import { chmod, cp, mkdir, mkdtemp, rm, writeFile } from 'node:fs/promises';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
export const SOURCE_DIR = path.resolve(here, '..', '..', '..');
export const WEBAPP_DIR = path.join(SOURCE_DIR, 'webapp');
// CTest hands over the build's bin folder (kxcontainer and the generators).
export const BIN_DIR = process.env.KX_TEST_BIN_DIR || path.join(SOURCE_DIR, 'build', 'bin');
export const SCREENSHOT_DIR =
  process.env.KX_SCREENSHOT_DIR || path.join(path.dirname(BIN_DIR), 'browser-screenshots');
const CHROMIUM = process.env.KX_CHROMIUM || '/usr/bin/chromium';
const START_TIMEOUT_MS = 20_000;
const STOP_TIMEOUT_MS = 15_000;

function withTimeout(promise, ms, what) {
  let timer;
  const timeout = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`${what}: no result within ${ms} ms`)), ms);
  });
  return Promise.race([promise, timeout]).finally(() => clearTimeout(timer));
}

// A copy of home/ with its examples and documentation, and an empty projects
// folder (projects and logs of the source tree are left behind).
async function scratchHome(scratch) {
  const source = path.join(SOURCE_DIR, 'home');
  const home = path.join(scratch, 'home');
  await cp(source, home, {
    recursive: true,
    filter: (file) => {
      const rel = path.relative(source, file);
      return !(rel === 'logs' || rel.startsWith(`logs${path.sep}`) || rel.startsWith(`projects${path.sep}`));
    },
  });
  await mkdir(path.join(home, 'projects'), { recursive: true });
  return home;
}

// A folder of stand-ins for the generators that run the real ones and then
// wait the given seconds: runs slow enough to watch a page while they go on,
// whose output is all there before they end.
async function slowGenerators(scratch, seconds) {
  const folder = path.join(scratch, 'slow-bin');
  await mkdir(folder);
  for (const name of ['svcgen', 'bindgen', 'prjforge']) {
    const file = path.join(folder, name);
    await writeFile(file, `#!/bin/sh\n"${path.join(BIN_DIR, name)}" "$@"\nstatus=$?\nsleep ${seconds}\nexit $status\n`);
    await chmod(file, 0o755);
  }
  return folder;
}

// Starts kxcontainer on port 0 and reads the address it prints. The result
// knows the address with the token (url), the application's root (base), the
// scratch home, and how to stop the server; exited resolves to the exit code.
// generatorDelay (seconds) makes every generator run take that much longer.
export async function startContainer({ generatorDelay = 0 } = {}) {
  const scratch = await mkdtemp(path.join(os.tmpdir(), 'kx-browser-'));
  const home = await scratchHome(scratch);
  const bins = [BIN_DIR];
  if (generatorDelay > 0) {
    bins.unshift(await slowGenerators(scratch, generatorDelay));
  }
  const child = spawn(
    path.join(BIN_DIR, 'kxcontainer'),
    ['--port', '0', '--webapp', WEBAPP_DIR, '--home', home, '--log-dir', path.join(scratch, 'logs')],
    {
      env: { ...process.env, PATH: [...bins, process.env.PATH].join(path.delimiter), KX_COMMAND_TIME_LIMIT: '120' },
      stdio: ['ignore', 'pipe', 'pipe'],
    },
  );
  let stdout = '';
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr = (stderr + chunk).slice(-8192); });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve(signal ? signal : code)));

  const url = await withTimeout(
    new Promise((resolve, reject) => {
      child.stdout.on('data', (chunk) => {
        // Past the address line, standard output belongs to the servlets;
        // it is read (and kept short) so the pipe never fills.
        stdout = (stdout + chunk).slice(-8192);
        const match = /serving .* at (http:\/\/127\.0\.0\.1:\d+\/\S*)/.exec(stdout);
        if (match) {
          resolve(match[1]);
        }
      });
      exited.then((code) => reject(new Error(`kxcontainer exited (${code}) at start: ${stderr}`)));
    }),
    START_TIMEOUT_MS,
    'kxcontainer start',
  ).catch(async (error) => {
    child.kill('SIGKILL');
    await rm(scratch, { recursive: true, force: true });
    throw error;
  });

  const base = url.replace(/\?.*$/, '');
  return {
    url,
    base,
    home,
    process: child,
    exited,
    async stop() {
      if (child.exitCode === null && child.signalCode === null) {
        child.kill('SIGTERM');
      }
      try {
        await withTimeout(exited, STOP_TIMEOUT_MS, 'kxcontainer stop');
      } catch (error) {
        child.kill('SIGKILL');
        await exited;
      }
      await rm(scratch, { recursive: true, force: true });
    },
  };
}

// A fresh headless Chromium (its own profile folder). Requests to anything
// but 127.0.0.1 are refused, so a page can never reach the network.
export async function openBrowser({ colorScheme = 'light', javaScriptEnabled = true } = {}) {
  const profile = await mkdtemp(path.join(os.tmpdir(), 'kx-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    args: [
      '--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--no-first-run', '--disable-quic',
    ],
    viewport: { width: 1280, height: 900 },
    colorScheme,
    javaScriptEnabled,
    timeout: 30_000,
  });
  context.setDefaultTimeout(15_000);
  context.setDefaultNavigationTimeout(30_000);
  await context.route('**/*', (route) => {
    const { hostname } = new URL(route.request().url());
    return hostname === '127.0.0.1' ? route.fallback() : route.abort('blockedbyclient');
  });
  const page = context.pages()[0] ?? (await context.newPage());
  const pageErrors = [];
  page.on('pageerror', (error) => pageErrors.push(error.message));
  return {
    context,
    page,
    pageErrors,
    async close() {
      await context.close().catch(() => {});
      await rm(profile, { recursive: true, force: true });
    },
  };
}

// Full-page screenshots into <build>/browser-screenshots/<suite>/, numbered in
// the order they were taken. shot.now(page, label) takes the visible part at
// once over CDP, also while a form's request is under way (when Playwright's
// own screenshot would wait for the next page).
export function screenshots(suite) {
  let count = 0;
  const folder = path.join(SCREENSHOT_DIR, suite);
  const ready = rm(folder, { recursive: true, force: true }).then(() => mkdir(folder, { recursive: true }));
  const nextFile = async (label) => {
    await ready;
    count += 1;
    return path.join(folder, `${String(count).padStart(2, '0')}-${label}.png`);
  };
  const shot = async (page, label) => {
    const file = await nextFile(label);
    await page.screenshot({ path: file, fullPage: true });
    return file;
  };
  shot.now = async (page, label) => {
    const file = await nextFile(label);
    const cdp = await page.context().newCDPSession(page);
    try {
      const { data } = await cdp.send('Page.captureScreenshot', { format: 'png' });
      await writeFile(file, Buffer.from(data, 'base64'));
    } finally {
      await cdp.detach().catch(() => {});
    }
    return file;
  };
  return shot;
}

// Everything one test needs: a server, a browser on its start page, and a
// screenshot function; done() stops both.
export async function session(suite, browserOptions = {}, serverOptions = {}) {
  const server = await startContainer(serverOptions);
  let browser;
  try {
    browser = await openBrowser(browserOptions);
    await browser.page.goto(server.url);
  } catch (error) {
    await browser?.close();
    await server.stop();
    throw error;
  }
  return {
    server,
    ...browser,
    shot: screenshots(suite),
    async done() {
      await browser.close();
      await server.stop();
    },
  };
}
