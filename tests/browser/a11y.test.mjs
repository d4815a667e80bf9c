// Accessibility of every kind of page in both themes: names of all controls, contrast, a
// narrow window, a label and hint for every wizard field, a keyboard that reaches every control
// with a visible focus; last the farewell page, after Stop server has asked and the server ended.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { session, withTimeout } from './lib/harness.mjs';
import { accessibleNames, keyboardWalk, lowContrastText } from './lib/a11y.mjs';
import { heading, pathOf, visit } from './lib/journey.mjs';

const WIZARDS = ['server', 'client', 'foundation', 'tavrin'];

// The pages to look at, with a project that has errors and one without.
async function preparePages(s) {
  const okStatus = await s.generate('server', {
    projectName: 'fine', filename: s.example('calculator.wsdl'), make: 'on', html: 'on', sample: 'on', server: 'on', client: 'on',
  });
  const errorStatus = await s.generate('server', { projectName: 'faulty', filename: s.example('broken.wsdl') });
  await s.page.goto(okStatus);
  const viewer = await s.page.getByRole('link', { name: 'CalculatorPortTypeSkeleton.cpp' }).getAttribute('href');
  return [
    ['start', s.at('')], ...WIZARDS.map((tier) => [tier, s.at(tier)]), ['browse', s.at('browse?tier=server')],
    ['projects', s.at('viewer')], ['status', okStatus], ['status-errors', errorStatus],
    ['status-refused', s.at('status?tier=client')], ['viewer', new URL(viewer, okStatus).href],
  ];
}

describe('accessibility', { timeout: 300_000 }, () => {
  test('the checks find unnamed controls, faint text and unreachable fields', async () => {
    const browser = await session('a11y-checks');
    try {
      await browser.page.goto('about:blank'); // away from the server's pages and their content policy
      await browser.page.setContent(`<style>.faint { color: #bbb; background: #fff; } :focus { outline: none; }</style>
        <p class="faint">Hard to read</p><p style="color: #333">Easy to read</p>
        <label>Named <input id="named"></label><input id="unnamed"><button id="empty"></button>
        <button id="labelled" aria-label="Close"></button><input id="skipped" tabindex="-1" aria-label="Not reachable">`);
      const unnamed = (await accessibleNames(browser.page)).filter((entry) => entry.name === '');
      assert.deepEqual(unnamed.map((entry) => /id="(\w+)"/.exec(entry.html)[1]), ['unnamed', 'empty']);
      const faint = await lowContrastText(browser.page);
      assert.equal(faint.length, 1);
      assert.match(faint[0], /Hard to read/);
      const { stops, missed } = await keyboardWalk(browser.page);
      assert.deepEqual(missed.map((c) => c.id), ['skipped']);
      assert.deepEqual(stops.map((stop) => stop.indicator), [false, false, false, false], 'outline: none shows no focus');
    } finally {
      await browser.done();
    }
  });

  // The dark theme runs in a phone-sized window: the page itself never
  // scrolls sideways (the viewer's code and wide tables scroll in their frames).
  for (const [colorScheme, width] of [['light', 1280], ['dark', 390]]) {
    test(`${colorScheme} theme, ${width}px wide: names, contrast, width and screenshots of every page`, async () => {
      const s = await session(`a11y-${colorScheme}`, { colorScheme });
      try {
        await s.page.setViewportSize({ width, height: 844 });
        for (const [label, url] of await preparePages(s)) {
          await s.page.goto(url);
          if (label === 'viewer') await s.page.locator('#code-frame:not([hidden])').waitFor();
          await visit(s, label);
          assert.deepEqual(await lowContrastText(s.page), [], `contrast on ${label} (${colorScheme})`);
          const overflow = await s.page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
          assert.ok(overflow <= 0, `${label}: ${overflow}px wider than the window`);
        }

        await s.page.goto(s.at(''));
        const stopButton = s.page.getByRole('button', { name: 'Stop server' });
        const asked = [];
        s.page.once('dialog', (dialog) => {
          asked.push(`${dialog.type()}: ${dialog.message()}`);
          return dialog.dismiss();
        });
        await stopButton.click();
        assert.deepEqual(asked, ['confirm: Stop the orvowizard server? Open pages will stop working.']);
        assert.equal(pathOf(s.page), '/orvo/');
        assert.equal(s.server.process.exitCode, null, 'dismissed, the server still runs');
        assert.equal((await s.get(s.at('static/style.css'))).status, 200);
        s.page.once('dialog', (dialog) => dialog.accept());
        await stopButton.click();
        await s.page.waitForURL('**/orvo/index');
        assert.equal(await heading(s.page), 'orvowizard has stopped');
        await visit(s, 'stopped');
        assert.deepEqual(await lowContrastText(s.page), [], `contrast on the farewell page (${colorScheme})`);
        assert.equal(await withTimeout(s.server.exited, 15_000, 'kxcontainer exit'), 0);
      } finally {
        await s.done();
      }
    });
  }

  test('the keyboard reaches every control with a visible focus; every wizard field has a label and a one-line hint', async () => {
    const s = await session('a11y-keyboard');
    try {
      for (const p of ['', ...WIZARDS, 'browse?tier=foundation', 'viewer']) {
        await s.page.goto(s.at(p));
        const where = p.replace(/\?.*$/, '') || 'start';
        const { stops, missed } = await keyboardWalk(s.page);
        assert.equal(stops[0]?.text, 'Skip to content', `${where}: the skip link comes first`);
        assert.deepEqual(missed, [], `${where}: controls the keyboard does not reach`);
        assert.deepEqual(stops.filter((stop) => !stop.indicator), [], `${where}: focus without a visible indicator`);
        await visit(s, `keyboard-${where}`);
        if (!WIZARDS.includes(p)) continue;
        // The hint is what a screen reader reads after the field's name.
        const fields = await s.page.locator('form.wizard').evaluate((form) =>
          [...form.querySelectorAll('input:not([type="hidden"]), select')].map((field) => ({
            name: field.name,
            label: field.labels?.[0]?.textContent.trim() ?? '',
            hint: (field.getAttribute('aria-describedby') ?? '').split(/\s+/).filter(Boolean)
              .map((id) => document.getElementById(id)?.textContent.trim() ?? '').join(' '),
          })));
        assert.ok(fields.length >= 10, `${p}: ${fields.length} fields`);
        for (const field of fields) {
          assert.notEqual(field.label, '', `${p}: ${field.name} has a <label>`);
          assert.match(field.hint, /^.+$/, `${p}: ${field.name} has a hint of one line`);
        }
        assert.match(fields.find((field) => field.name === 'projectName').hint, /folder/);
      }

      // The keyboard alone works a wizard: Space ticks, Enter opens the folded settings and presses.
      await s.page.goto(s.at('client'));
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
    } finally {
      await s.done();
    }
  });
});
