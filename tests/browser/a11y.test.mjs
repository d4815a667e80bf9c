// Accessibility of every kind of page, in the light and the dark theme:
// accessible names of all controls (Chromium's accessibility tree), a hint
// for every wizard field, contrast of the text as rendered, and a keyboard
// that reaches every control with a visible focus.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { openBrowser, session } from './lib/harness.mjs';
import { lowContrastText, reachableControls, tabStops, unnamedControls } from './lib/a11y.mjs';
import { visit } from './lib/journey.mjs';

const WIZARDS = ['server', 'client', 'foundation', 'tavrin'];

// A project with errors and one without, so that the status page shows
// both kinds of content; returns the pages to look at.
async function preparePages(s) {
  const at = (p) => new URL(p, s.server.base).href;
  const example = (name) => `${s.server.home}\\examples\\${name}`;
  const projects = `${s.server.home}\\projects`;
  const run = async (tier, query) => {
    await s.page.goto(at(`${tier}?oper=generate&projectDir=${encodeURIComponent(projects)}&${query}`));
    await s.page.waitForURL('**/orvo/status?**', { timeout: 120_000 });
    return s.page.url();
  };
  const okStatus = await run('server', `projectName=fine&filename=${encodeURIComponent(example('calculator.wsdl'))}&make=on&html=on&sample=on&server=on&client=on`);
  const errorStatus = await run('server', `projectName=faulty&filename=${encodeURIComponent(example('broken.wsdl'))}`);
  await s.page.goto(okStatus);
  const sourceLink = s.page.getByRole('link', { name: 'CalculatorPortTypeSkeleton.cpp' });
  const viewer = new URL(await sourceLink.getAttribute('href'), s.page.url()).href;
  return [
    ['start', at('')],
    ...WIZARDS.map((tier) => [tier, at(tier)]),
    ['browse', at('browse?tier=server')],
    ['projects', at('viewer')],
    ['status', okStatus],
    ['status-errors', errorStatus],
    ['status-refused', at('status?tier=client')],
    ['viewer', viewer],
  ];
}

describe('accessibility', { timeout: 300_000 }, () => {
  test('the checks find unnamed controls, faint text and unreachable fields', async () => {
    const browser = await openBrowser();
    try {
      await browser.page.setContent(`
        <style>.faint { color: #bbb; background: #fff; } :focus { outline: none; }</style>
        <p class="faint">Hard to read</p>
        <p style="color: #333">Easy to read</p>
        <label>Named <input id="named"></label>
        <input id="unnamed">
        <button id="empty"></button>
        <button id="labelled" aria-label="Close"></button>
        <input id="skipped" tabindex="-1" aria-label="Not reachable">`);
      const unnamed = await unnamedControls(browser.page);
      assert.deepEqual(unnamed.map((entry) => /id="(\w+)"/.exec(entry.html)[1]), ['unnamed', 'empty']);
      const faint = await lowContrastText(browser.page);
      assert.equal(faint.length, 1);
      assert.match(faint[0], /Hard to read/);
      const controls = await reachableControls(browser.page);
      const stops = await tabStops(browser.page);
      const reached = new Set(stops.map((stop) => stop.key));
      assert.deepEqual(controls.filter((c) => !reached.has(c.key)).map((c) => c.id), ['skipped']);
      assert.ok(stops.every((stop) => !stop.indicator), 'outline: none shows no focus indicator');
    } finally {
      await browser.close();
    }
  });

  for (const colorScheme of ['light', 'dark']) {
    test(`${colorScheme} theme: names, contrast and screenshots of every page`, async () => {
      const s = await session(`a11y-${colorScheme}`, { colorScheme });
      try {
        for (const [label, url] of await preparePages(s)) {
          await s.page.goto(url);
          if (label === 'viewer') await s.page.locator('#code-frame:not([hidden])').waitFor();
          await visit(s, label);
          const problems = await lowContrastText(s.page);
          assert.deepEqual(problems, [], `contrast on ${label} (${colorScheme})`);
        }
        // The farewell page, which the server sends as it stops.
        await s.page.goto(new URL('', s.server.base).href);
        s.page.once('dialog', (dialog) => dialog.accept());
        await s.page.getByRole('button', { name: 'Stop server' }).click();
        await s.page.getByRole('heading', { name: 'orvowizard has stopped' }).waitFor();
        await s.shot(s.page, 'stopped');
        assert.deepEqual(await lowContrastText(s.page), [], `contrast on the farewell page (${colorScheme})`);
      } finally {
        await s.done();
      }
    });
  }

  test('every wizard field has a label and a one-line hint', async () => {
    const s = await session('a11y-hints');
    try {
      for (const tier of WIZARDS) {
        await s.page.goto(new URL(tier, s.server.base).href);
        await visit(s, `hints-${tier}`);
        const fields = await s.page.locator('form.wizard').evaluate((form) => {
          const result = [];
          for (const field of form.querySelectorAll('input:not([type="hidden"]), select')) {
            const label = field.labels?.[0]?.textContent.trim() ?? '';
            const hints = (field.getAttribute('aria-describedby') ?? '').split(/\s+/).filter(Boolean)
              .map((id) => document.getElementById(id)?.textContent.trim() ?? '');
            result.push({ name: field.name, label, hint: hints.join(' ') });
          }
          return result;
        });
        assert.ok(fields.length >= 10, `${tier}: ${fields.length} fields`);
        for (const field of fields) {
          assert.notEqual(field.label, '', `${tier}: ${field.name} has a <label>`);
          assert.notEqual(field.hint, '', `${tier}: ${field.name} has a hint`);
          assert.ok(!field.hint.includes('\n'), `${tier}: the hint of ${field.name} is one line`);
        }
        // The hints are what a screen reader reads after the name.
        const description = await s.page.getByLabel('Project name').evaluate((input) =>
          document.getElementById(input.getAttribute('aria-describedby')).textContent);
        assert.match(description, /folder/);
      }
    } finally {
      await s.done();
    }
  });

  test('the keyboard reaches every control, always with a visible focus', async () => {
    const s = await session('a11y-keyboard');
    try {
      const pages = ['', ...WIZARDS, 'browse?tier=foundation', 'viewer'];
      for (const p of pages) {
        await s.page.goto(new URL(p, s.server.base).href);
        const controls = await reachableControls(s.page);
        const stops = await tabStops(s.page);
        const where = p || 'start';
        assert.ok(stops.length > 0, `${where}: Tab moves the focus`);
        assert.equal(stops[0].text, 'Skip to content', `${where}: the skip link comes first`);
        const reached = new Set(stops.map((stop) => stop.key));
        const missed = controls.filter((control) => !reached.has(control.key));
        assert.deepEqual(missed, [], `${where}: controls the keyboard does not reach`);
        const unmarked = stops.filter((stop) => !stop.indicator);
        assert.deepEqual(unmarked, [], `${where}: focus without a visible indicator`);
        await visit(s, `keyboard-${where.replace(/\?.*$/, '')}`);
      }

      // The keyboard alone works a wizard: Space ticks a box, Enter opens
      // the folded settings and presses buttons.
      await s.page.goto(new URL('client', s.server.base).href);
      await s.page.getByLabel('SSL').focus();
      await s.page.keyboard.press('Space');
      assert.equal(await s.page.getByLabel('SSL').isChecked(), true);
      await s.page.locator('summary').focus();
      await s.page.keyboard.press('Enter');
      assert.equal(await s.page.getByLabel('Output directory').isVisible(), true);
      await s.page.getByRole('button', { name: 'Browse…' }).focus();
      await s.page.keyboard.press('Enter');
      await s.page.waitForURL('**/orvo/browse?tier=client');
      await visit(s, 'keyboard-browse');
      assert.deepEqual(await unnamedControls(s.page), []);
    } finally {
      await s.done();
    }
  });

  test('a narrow window needs no sideways scrolling', async () => {
    const s = await session('a11y-narrow');
    try {
      await s.page.setViewportSize({ width: 390, height: 844 });
      const pages = await preparePages(s);
      for (const [label, url] of pages) {
        await s.page.goto(url);
        if (label === 'viewer') await s.page.locator('#code-frame:not([hidden])').waitFor();
        await visit(s, `narrow-${label}`);
        // The code of the viewer and wide tables scroll inside their own
        // frames; the page itself stays as wide as the window.
        const overflow = await s.page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
        assert.ok(overflow <= 0, `${label}: ${overflow}px wider than the window`);
      }
    } finally {
      await s.done();
    }
  });
});
