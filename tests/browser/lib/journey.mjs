// The steps of a user's way through a wizard, as the browser tests take
// them: each step acts like a person (links and buttons by their names),
// checks what the next page shows, and records the page (a screenshot, and
// that every control on it has an accessible name).
import assert from 'node:assert/strict';
import { accessibleNames } from './a11y.mjs';

export const DEFAULT_OS = 'Windows 2000/MSVC 6';
const COMMON_FLAGS = ['make', 'msvcproject', 'sample', 'html', 'stl'];

// Screenshot plus the accessible-name check; every page a test visits goes
// through here.
export async function visit(s, label) {
  await s.page.waitForLoadState('load');
  await s.shot(s.page, label);
  const names = await accessibleNames(s.page);
  // Every page of the application has at least its top bar's links (the
  // farewell page, which has none, is the exception).
  const minimum = (await s.page.title()).startsWith('Stopped') ? 0 : 7;
  assert.ok(names.length >= minimum, `only ${names.length} controls and links found on ${label}`);
  const unnamed = names.filter((entry) => entry.name === '');
  assert.deepEqual(unnamed, [], `controls without an accessible name on ${label}`);
  assert.deepEqual(s.pageErrors, [], `script errors on ${label}`);
}

export function pathOf(page) {
  return new URL(page.url()).pathname;
}

export async function heading(page) {
  return (await page.locator('main h1').first().textContent()).trim();
}

export async function openWizardFromStart(s, cardName, tier) {
  assert.equal(pathOf(s.page), '/orvo/');
  assert.match(await heading(s.page), /Generate web-service and data-binding code/);
  await visit(s, 'start');
  await s.page.locator('.cards').getByRole('link', { name: cardName }).click();
  await s.page.waitForURL(`**/orvo/${tier}`);
  assert.equal(await heading(s.page), cardName);
  await visit(s, `${tier}-wizard`);
}

// Browse… → the file browser lists home/examples → "Use <file>" → back on
// the wizard with the file filled in (and the rest of the form kept).
export async function browseAndPick(s, tier, fileName) {
  const typedName = await s.page.getByLabel('Project name').inputValue();
  await s.page.getByRole('button', { name: 'Browse…' }).click();
  await s.page.waitForURL((url) => url.pathname === '/orvo/browse' && url.searchParams.get('tier') === tier);
  assert.equal(await heading(s.page), 'Choose an input file');
  assert.match(await s.page.getByLabel('Folder').inputValue(), /examples$/);
  await visit(s, `${tier}-browse`);
  await s.page.getByRole('link', { name: `Use ${fileName}` }).click();
  await s.page.waitForURL((url) => url.pathname === `/orvo/${tier}`);
  assert.match(await s.page.getByLabel('Input file').inputValue(), new RegExp(`examples.${fileName.replace('.', '\\.')}$`));
  assert.equal(await s.page.getByLabel('Project name').inputValue(), typedName, 'Browse keeps the form');
  await visit(s, `${tier}-picked`);
}

export async function generate(s, label) {
  await s.page.getByRole('button', { name: 'Generate' }).click();
  await s.page.waitForURL('**/orvo/status?**', { timeout: 120_000 });
  await visit(s, label);
}

export async function groupHeadings(page) {
  return page.locator('.file-group h3').evaluateAll((hs) => hs.map((h) => h.firstChild.textContent.trim()));
}

// A generated file from the status page: the viewer shows it highlighted,
// its raw link gives the same text, and "Back to the project" returns.
export async function openGeneratedFile(s, fileName, { linkName = fileName, expectText, language, label }) {
  await s.page.getByRole('link', { name: linkName, exact: true }).first().click();
  await s.page.waitForURL('**/orvo/static/viewer.html?src=**');
  await s.page.locator('#code-frame:not([hidden])').waitFor();
  assert.equal(await heading(s.page), fileName);
  const code = s.page.locator('#code');
  assert.match(await code.textContent(), expectText);
  assert.equal(await code.getAttribute('data-language'), language);
  if (language !== 'plaintext') {
    assert.ok(await code.locator('[class^="hljs-"]').count() > 5, `${fileName} is highlighted`);
  }
  const gutterLines = (await s.page.locator('#code-frame .gutter').textContent()).split('\n').length;
  const codeLines = (await code.textContent()).replace(/\n$/, '').split('\n').length;
  assert.equal(gutterLines, codeLines, 'one line number per line');
  const raw = await s.page.getByRole('link', { name: 'Raw file' }).getAttribute('href');
  const response = await s.page.request.get(new URL(raw, s.page.url()).href);
  assert.equal(response.status(), 200);
  assert.equal(await response.text(), await code.textContent());
  await visit(s, label);
  await s.page.getByRole('link', { name: 'Back to the project' }).click();
  await s.page.waitForURL('**/orvo/status?**');
}

// The project list shows the project; "Open in wizard" goes through the
// loader back to the wizard with oper=load.
export async function reopenFromProjects(s, tier, project, { badge }) {
  await s.page.getByRole('link', { name: 'All projects' }).click();
  await s.page.waitForURL('**/orvo/viewer');
  const row = s.page.getByRole('row').filter({ has: s.page.getByRole('rowheader', { name: project }) });
  assert.equal(await row.count(), 1, `${project} is listed`);
  assert.equal((await row.locator('.badge').first().textContent()).trim(), badge);
  await visit(s, `${tier}-projects`);
  await row.getByRole('link', { name: `Open ${project} in its wizard` }).click();
  await s.page.waitForURL((url) => url.pathname === `/orvo/${tier}` && url.searchParams.get('oper') === 'load');
  await visit(s, `${tier}-loaded`);
}

export async function checkedFlags(page, names) {
  const result = {};
  for (const name of names) {
    result[name] = await page.locator(`input[type="checkbox"][name="${name}"]`).isChecked();
  }
  return result;
}

// Reset: the wizard's defaults again (the project directory stays the
// home's projects folder).
export async function resetAndExpectDefaults(s, tier, ownDefaults) {
  await s.page.getByRole('button', { name: 'Reset' }).click();
  await s.page.waitForURL((url) => url.pathname === `/orvo/${tier}` && url.search === '');
  assert.equal(await s.page.getByLabel('Project name').inputValue(), '');
  assert.match(await s.page.getByLabel('Project directory').inputValue(), /projects$/);
  if (await s.page.getByLabel('Input file').count()) {
    assert.equal(await s.page.getByLabel('Input file').inputValue(), '');
  }
  assert.equal(await s.page.getByLabel('Compiler and operating system').inputValue(), DEFAULT_OS);
  const expected = Object.fromEntries(COMMON_FLAGS.map((name) => [name, true]));
  Object.assign(expected, ownDefaults);
  assert.deepEqual(await checkedFlags(s.page, Object.keys(expected)), expected);
  await visit(s, `${tier}-reset`);
}

// Presses a button of a status-page form (Build, Run, Stop) and waits for
// the page it leads to once the work has ended: the form's answer (a
// redirect) and then a new document at the status page's address. The
// click does not wait for the answer itself: a build may take longer than
// a click's time limit.
export async function pressAndLand(s, buttonName, { timeout = 240_000 } = {}) {
  const isStatus = (response, method) => response.request().method() === method &&
    new URL(response.url()).pathname === '/orvo/status';
  let posted = false;
  const landed = s.page.waitForResponse((r) => {
    posted ||= isStatus(r, 'POST');
    return posted && isStatus(r, 'GET') && r.request().isNavigationRequest();
  }, { timeout });
  await s.page.getByRole('button', { name: buttonName, exact: true }).click({ noWaitAfter: true });
  await landed;
  await s.page.waitForLoadState('load');
}
