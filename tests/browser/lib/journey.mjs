// What the tests check on every page they visit, and the small steps that
// many of them take.
import assert from 'node:assert/strict';
import { accessibleNames } from './a11y.mjs';

export const DEFAULT_OS = 'Windows 2000/MSVC 6';

// A screenshot, every control named, no script errors; every page of the
// application has at least its top bar's links (the farewell page has none).
export async function visit(s, label) {
  await s.page.waitForLoadState('load');
  await s.shot(s.page, label);
  const names = await accessibleNames(s.page);
  const minimum = (await s.page.title()).startsWith('Stopped') ? 0 : 7;
  assert.ok(names.length >= minimum, `only ${names.length} controls and links found on ${label}`);
  assert.deepEqual(names.filter((entry) => entry.name === ''), [], `controls without an accessible name on ${label}`);
  assert.deepEqual(s.pageErrors, [], `script errors on ${label}`);
}

export function pathOf(page) {
  return new URL(page.url()).pathname;
}

export async function heading(page) {
  return (await page.locator('main h1').first().textContent()).trim();
}

export async function checkedFlags(page, names) {
  const result = {};
  for (const name of names) result[name] = await page.locator(`input[type="checkbox"][name="${name}"]`).isChecked();
  return result;
}

// Presses Build, Run or Stop and waits for the form's redirect and the new status page; the
// click itself does not wait, as a build may take longer than a click's time limit.
export async function pressAndLand(s, buttonName) {
  const isStatus = (response, method) => response.request().method() === method &&
    new URL(response.url()).pathname === '/orvo/status';
  let posted = false;
  const landed = s.page.waitForResponse((r) => {
    posted ||= isStatus(r, 'POST');
    return posted && isStatus(r, 'GET') && r.request().isNavigationRequest();
  }, { timeout: 240_000 });
  await s.page.getByRole('button', { name: buttonName, exact: true }).click({ noWaitAfter: true });
  await landed;
  await s.page.waitForLoadState('load');
}

// While a form's request is under way Chromium answers no queries of the page, so the page
// logs every change of a run's output panel; collected here with the time it came.
export async function watchOutput(page, selector) {
  const reports = [];
  page.on('console', (message) => {
    if (message.text().startsWith('kx-output ')) reports.push({ text: JSON.parse(message.text().slice(10)), at: Date.now() });
  });
  await page.evaluate((sel) => {
    const panel = document.querySelector(sel);
    new MutationObserver(() => console.log(`kx-output ${JSON.stringify(panel.textContent)}`))
      .observe(panel, { childList: true, characterData: true, subtree: true });
  }, selector);
  return reports;
}
