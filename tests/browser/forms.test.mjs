// What the wizard forms' scripts do beyond the straight way through (the
// link to the settings, progress and output while a run goes on, the
// keyboard shortcut), and the whole flow with JavaScript switched off.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { session } from './lib/harness.mjs';
import { checkedFlags, DEFAULT_OS, heading, visit, watchOutput } from './lib/journey.mjs';

test('the settings link follows the form and refills the wizard; Save shows its own progress', { timeout: 180_000 }, async () => {
  const s = await session('forms-link');
  const field = (label) => s.page.getByLabel(label);
  try {
    await s.page.goto(s.at('foundation'));
    const link = s.page.getByRole('link', { name: 'Link to these settings' });
    const typed = { 'Project name': 'linked', 'Input file': s.example('purchaseorder.xsd'), 'Include directory': 'include dir' };
    for (const [label, value] of Object.entries(typed)) await field(label).fill(value);
    await field('Compiler and operating system').selectOption('Solaris/Sunpro 64bit');
    await field('HTML documentation').uncheck();
    await field('Separate marshaller classes').check();
    const href = await link.getAttribute('href');
    const url = new URL(href);
    const params = Object.fromEntries(url.searchParams);
    assert.deepEqual([url.pathname, params.oper, params.projectName, params.compileros, params.externalmarshaller, params.incDir],
      ['/orvo/foundation', 'update', 'linked', 'Solaris/Sunpro 64bit', 'on', 'include dir']);
    assert.equal(params.html, undefined, 'an unticked box is left out');
    assert.equal(params.token, undefined, 'the link carries no token');
    assert.equal(await link.textContent(), href);
    await s.page.getByRole('button', { name: 'Copy link' }).click();
    await s.page.getByText(/^(Copied|Selected: press Ctrl\+C to copy)$/).waitFor();
    await visit(s, 'link-filled');

    await s.page.getByRole('button', { name: 'Reset' }).click();
    await s.page.waitForURL('**/orvo/foundation');
    assert.equal(await field('Compiler and operating system').inputValue(), DEFAULT_OS);
    await s.page.goto(href);
    for (const [label, value] of Object.entries(typed)) assert.equal(await field(label).inputValue(), value, label);
    assert.equal(await field('Compiler and operating system').inputValue(), 'Solaris/Sunpro 64bit');
    assert.deepEqual(await checkedFlags(s.page, ['html', 'externalmarshaller', 'make']),
      { html: false, externalmarshaller: true, make: true });
    // The page rendered from the link offers the same link again.
    assert.equal(new URL(await link.getAttribute('href')).search, url.search);
    await visit(s, 'link-opened');

    // Save is over too fast to watch: a listener after the page's own notes the progress line.
    await s.page.evaluate(() => {
      const form = document.querySelector('form.wizard');
      form.addEventListener('submit', () => sessionStorage.setItem('seen', JSON.stringify({
        busy: form.classList.contains('busy'), status: form.querySelector('.progress[role="status"]').textContent,
      })));
    });
    await s.page.getByRole('button', { name: 'Save' }).click();
    await s.page.waitForURL('**/orvo/viewer?**');
    assert.match(await s.page.locator('#current-dir').textContent(), /linked$/);
    await visit(s, 'link-saved');
    assert.deepEqual(JSON.parse(await s.page.evaluate(() => sessionStorage.getItem('seen'))), { busy: true, status: 'Saving…' });
  } finally {
    await s.done();
  }
});

// Every generator run takes 5 s more: time to watch the pages meanwhile.
test('slow runs: Ctrl+Enter from any field, progress and the run\'s own output in each of two tabs', { timeout: 180_000 }, async () => {
  const s = await session('forms-progress', {}, { generatorDelay: 5 });
  try {
    const tabs = [s.page, await s.context.newPage()];
    const output = [];
    for (const [i, tab] of tabs.entries()) {
      await tab.goto(s.at('client'));
      await tab.getByLabel('Project name').fill(`slow${i}`);
      await tab.getByLabel('Input file').fill(s.example('calculator.wsdl'));
      output.push(await watchOutput(tab, 'form.wizard .run-output'));
    }
    await s.page.getByLabel('SSL').focus();
    await visit(s, 'progress-wizard');
    let posts = 0;
    s.page.on('request', (request) => { posts += request.method() === 'POST' ? 1 : 0; });
    // While a form's request is under way Chromium answers no evaluate calls, but console
    // messages arrive: the page reports its state every 100 ms, proof that its scripts run.
    const reports = [];
    s.page.on('console', (message) => {
      if (message.text().startsWith('kx-state ')) reports.push(JSON.parse(message.text().slice(9)));
    });
    await s.page.evaluate(() => {
      const form = document.querySelector('form.wizard');
      form.addEventListener('submit', () => {
        window.scrollTo(0, 0);
        setInterval(() => {
          const spinner = form.querySelector('.spinner');
          const style = getComputedStyle(spinner);
          window.scrollBy(0, 10);
          console.log(`kx-state ${JSON.stringify({
            busy: form.classList.contains('busy'),
            status: form.querySelector('.progress[role="status"]').textContent.trim(),
            spinner: style.display !== 'none' && style.animationName === 'spin' && spinner.getBoundingClientRect().width > 0,
            disabled: [...form.querySelectorAll('button[type="submit"]')].every((b) => b.disabled),
            scrollY: window.scrollY,
          })}`);
        }, 100);
      });
    });
    const clicked = Date.now();
    await s.page.keyboard.press('Control+Enter');
    await tabs[1].getByRole('button', { name: 'Generate' }).click({ noWaitAfter: true });
    // A second Ctrl+Enter while the run goes on starts no second run.
    await new Promise((resolve) => setTimeout(resolve, 500));
    await s.page.keyboard.press('Control+Enter');
    for (const [i, tab] of tabs.entries()) {
      await tab.waitForURL('**/orvo/status?**', { timeout: 120_000 });
      const landed = Date.now();
      assert.equal(await heading(tab), `slow${i}`);
      // The run's whole output showed while its stand-in still waited, and only this tab's run.
      const whole = output[i].find((r) => r.text.includes('0 errors, 0 warnings'));
      assert.ok(whole, JSON.stringify(output[i]));
      assert.match(whole.text, new RegExp(`^svcgen .*\\n[^]*project: slow${i} \\(client\\)`));
      assert.doesNotMatch(whole.text, new RegExp(`slow${1 - i}`));
      assert.ok(landed - whole.at >= 3_000, `output at ${whole.at - clicked} ms, status page at ${landed - clicked} ms`);
    }
    await visit(s, 'progress-status');
    assert.equal(posts, 1, 'one run only');
    assert.ok(reports.length >= 10, `the page kept running during the 5 s run (${reports.length} reports)`);
    const last = reports.at(-1);
    assert.deepEqual({ ...last, scrollY: 0 }, { busy: true, status: 'Generating…', spinner: true, disabled: true, scrollY: 0 });
    assert.ok(last.scrollY > reports[0].scrollY, 'the page scrolls');

    // Back on the wizard page, the form is usable again.
    await s.page.goBack();
    await s.page.waitForURL('**/orvo/client');
    assert.equal(await s.page.getByRole('button', { name: 'Generate' }).isEnabled(), true);
    assert.equal(await s.page.locator('form.wizard.busy').count(), 0);
  } finally {
    await s.done();
  }
});

test('without JavaScript: fill, browse, refresh the link, generate and open raw files', { timeout: 180_000 }, async () => {
  const s = await session('forms-nojs', { javaScriptEnabled: false });
  try {
    await s.page.goto(s.at('server'));
    assert.equal(await s.page.getByRole('button', { name: 'Copy link' }).isVisible(), false);
    await s.page.getByLabel('Project name').fill('plain');
    await s.page.getByRole('button', { name: 'Browse…' }).click();
    await s.page.waitForURL('**/orvo/browse?tier=server');
    await s.page.getByRole('link', { name: 'Use calculator.wsdl' }).click();
    await s.page.waitForURL('**/orvo/server?filename=**');
    assert.equal(await s.page.getByLabel('Project name').inputValue(), 'plain');

    // "Refresh the link" sends the form by GET; the link comes back made from the edited values.
    await s.page.getByLabel('Compiler and operating system').selectOption('Red Hat Linux/g++');
    await s.page.getByRole('button', { name: 'Refresh the link' }).click();
    await s.page.waitForURL((url) => url.searchParams.get('compileros') === 'Red Hat Linux/g++');
    const href = await s.page.getByRole('link', { name: 'Link to these settings' }).getAttribute('href');
    assert.match(href, /^server\?oper=update&projectName=plain&/);
    assert.match(href, /compileros=Red%20Hat%20Linux%2Fg%2B%2B/);
    await visit(s, 'nojs-wizard');

    await s.page.getByRole('button', { name: 'Generate' }).click();
    await s.page.waitForURL('**/orvo/status?**', { timeout: 120_000 });
    assert.equal(await heading(s.page), 'plain');
    await visit(s, 'nojs-status');
    const source = s.page.getByRole('link', { name: 'CalculatorPortTypeSkeleton.cpp' });
    assert.match(await source.getAttribute('href'), /^status\/CalculatorPortTypeSkeleton\.cpp\?dir=/);
    await source.click();
    await s.page.waitForURL('**/orvo/status/CalculatorPortTypeSkeleton.cpp?dir=**');
    assert.match(await s.page.locator('body').textContent(), /CalculatorPortTypeSkeleton::add/);
    await s.shot(s.page, 'nojs-raw');
  } finally {
    await s.done();
  }
});
