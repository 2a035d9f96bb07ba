// What the web tests share: where the builds are, a static server and a headless Chromium, each
// started by the test that needs it and stopped when it ends.

import { spawn } from 'node:child_process';
import { existsSync, mkdtempSync, rmSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

import puppeteer from 'puppeteer-core';

export const ROOT = join(dirname(fileURLToPath(import.meta.url)), '..', '..');
export const WEB = join(ROOT, 'build', 'web');
export const RELEASE = join(ROOT, 'build', 'release');
export const APEHOST = join(RELEASE, 'host', 'apehost');
export const CHROMIUM = process.env.APE_CHROMIUM ?? '/usr/bin/chromium';

// Fails early, with the command that makes what is missing.
export function requireBuilds() {
  if (!existsSync(join(WEB, 'coilfx.wasm'))) throw new Error(`no ${WEB}: run scripts/web --build`);
  if (!existsSync(APEHOST)) {
    throw new Error(`no ${APEHOST}: cmake --preset release && cmake --build --preset release`);
  }
}

export function scratchDir(t) {
  const dir = mkdtempSync(join(tmpdir(), 'ape-web-'));
  t.after(() => rmSync(dir, { recursive: true, force: true }));
  return dir;
}

async function freePort() {
  return new Promise((resolve, reject) => {
    const probe = createServer();
    probe.once('error', reject);
    probe.listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

// python3 -m http.server on directory, on 127.0.0.1; returns its address.
export async function startServer(t, directory) {
  const port = await freePort();
  const server = spawn('python3', ['-m', 'http.server', String(port), '--bind', '127.0.0.1',
                                   '--directory', directory], { stdio: 'ignore' });
  t.after(() => server.kill());
  const address = `http://127.0.0.1:${port}/`;
  for (let i = 0; i < 100; ++i) {
    try {
      if ((await fetch(address)).ok) return address;
    } catch {
      // not listening yet
    }
    await new Promise((r) => setTimeout(r, 100));
  }
  throw new Error(`the server on ${address} did not start`);
}

// Headless Chromium with a fresh profile; extraArgs for autoplay, fake capture devices and such.
export async function startBrowser(t, extraArgs = []) {
  const profile = mkdtempSync(join(tmpdir(), 'ape-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           `--user-data-dir=${profile}`, ...extraArgs],
  });
  t.after(async () => {
    await browser.close();
    rmSync(profile, { recursive: true, force: true });
  });
  return browser;
}

// A page that records its console errors and uncaught exceptions in page.problems.
export async function openPage(browser, address) {
  const page = await browser.newPage();
  page.problems = [];
  page.on('console', (m) => {
    if (m.type() === 'error') page.problems.push(`console: ${m.text()}`);
  });
  page.on('pageerror', (e) => page.problems.push(`exception: ${e.message}`));
  page.on('requestfailed', (r) => page.problems.push(`request failed: ${r.url()}`));
  await page.setViewport({ width: 1000, height: 600 });
  await page.goto(address);
  return page;
}

// Waits until fn (evaluated in the page) returns a truthy value; returns it.
export async function waitInPage(page, fn, arg, seconds = 20) {
  const handle = await page.waitForFunction(fn, { timeout: seconds * 1000, polling: 100 }, arg);
  return handle.jsonValue();
}
