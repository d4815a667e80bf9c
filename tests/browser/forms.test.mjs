// What the wizard forms' scripts do beyond the straight way through (the
// link to the settings, progress while a run goes on, the keyboard
// shortcut), and the whole flow with JavaScript switched off.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { session } from './lib/harness.mjs';
import { checkedFlags, DEFAULT_OS, heading, pathOf, visit } from './lib/journey.mjs';

async function gotoWizard(s, tier) {
  await s.page.goto(new URL(tier, s.server.base).href);
}

// Types the path of an example into the input file field.
async function typeExample(s, name) {
  await s.page.getByLabel('Input file').fill(`${s.server.home}\\examples\\${name}`);
}

describe('link to these settings', { timeout: 180_000 }, () => {
  test('follows the form and refills the wizard when opened', async () => {
    const s = await session('forms-link');
    try {
      await gotoWizard(s, 'foundation');
      const link = s.page.getByRole('link', { name: 'Link to these settings' });
      await s.page.getByLabel('Project name').fill('linked');
      await typeExample(s, 'purchaseorder.xsd');
      await s.page.getByLabel('Compiler and operating system').selectOption('Solaris/Sunpro 64bit');
      await s.page.getByLabel('HTML documentation').uncheck();
      await s.page.getByLabel('Separate marshaller classes').check();
      await s.page.getByLabel('Include directory').fill('include dir');
      const href = await link.getAttribute('href');
      const url = new URL(href);
      assert.equal(url.pathname, '/orvo/foundation');
      assert.equal(url.searchParams.get('oper'), 'update');
      assert.equal(url.searchParams.get('projectName'), 'linked');
      assert.equal(url.searchParams.get('compileros'), 'Solaris/Sunpro 64bit');
      assert.equal(url.searchParams.get('externalmarshaller'), 'on');
      assert.equal(url.searchParams.get('html'), null, 'an unticked box is left out');
      assert.equal(url.searchParams.get('incDir'), 'include dir');
      assert.equal(url.searchParams.get('token'), null, 'the link carries no token');
      assert.equal(await link.textContent(), href);
      await s.page.getByRole('button', { name: 'Copy link' }).click();
      await s.page.getByText(/^(Copied|Selected: press Ctrl\+C to copy)$/).waitFor();
      await visit(s, 'link-filled');

      await s.page.getByRole('button', { name: 'Reset' }).click();
      await s.page.waitForURL('**/orvo/foundation');
      assert.equal(await s.page.getByLabel('Compiler and operating system').inputValue(), DEFAULT_OS);
      await s.page.goto(href);
      assert.equal(await s.page.getByLabel('Project name').inputValue(), 'linked');
      assert.match(await s.page.getByLabel('Input file').inputValue(), /purchaseorder\.xsd$/);
      assert.equal(await s.page.getByLabel('Compiler and operating system').inputValue(), 'Solaris/Sunpro 64bit');
      assert.equal(await s.page.getByLabel('Include directory').inputValue(), 'include dir');
      assert.deepEqual(await checkedFlags(s.page, ['html', 'externalmarshaller', 'make']),
        { html: false, externalmarshaller: true, make: true });
      // The page rendered from the link offers the same link again.
      assert.equal(new URL(await link.getAttribute('href')).search, url.search);
      await visit(s, 'link-opened');
    } finally {
      await s.done();
    }
  });
});

describe('progress and shortcut', { timeout: 180_000 }, () => {
  test('Generate shows progress while the run goes on, and the page stays usable', async () => {
    // Every generator run takes 4 s more: time to look at the page meanwhile.
    const s = await session('forms-progress', {}, { generatorDelay: 4 });
    try {
      await gotoWizard(s, 'client');
      await s.page.getByLabel('Project name').fill('slow');
      await typeExample(s, 'calculator.wsdl');
      await visit(s, 'progress-wizard');
      let posts = 0;
      s.page.on('request', (request) => {
        if (request.method() === 'POST') posts += 1;
      });
      // While a form's request is under way Chromium answers no evaluate
      // calls, but console messages still arrive: the page reports its own
      // state every 100 ms from the moment the form goes off (and each
      // report is itself proof that the page's scripts keep running).
      const reports = [];
      s.page.on('console', (message) => {
        if (message.text().startsWith('kx-state ')) reports.push(JSON.parse(message.text().slice(9)));
      });
      await s.page.evaluate(() => {
        const form = document.querySelector('form.wizard');
        form.addEventListener('submit', () => {
          let sent = 0;
          window.scrollTo(0, 0);
          const report = () => {
            const spinner = form.querySelector('.spinner');
            const style = getComputedStyle(spinner);
            window.scrollBy(0, 10);
            console.log(`kx-state ${JSON.stringify({
              sent: sent += 1,
              busy: form.classList.contains('busy'),
              status: form.querySelector('.progress[role="status"]').textContent.trim(),
              spinner: style.display !== 'none' && style.animationName === 'spin' && spinner.getBoundingClientRect().width > 0,
              disabled: [...form.querySelectorAll('button[type="submit"]')].every((b) => b.disabled),
              scrollY: window.scrollY,
            })}`);
          };
          setInterval(report, 100);
        });
      });
      await s.page.getByRole('button', { name: 'Generate' }).click({ noWaitAfter: true });
      // A second Ctrl+Enter while the run goes on starts no second run.
      await new Promise((resolve) => setTimeout(resolve, 500));
      await s.page.keyboard.press('Control+Enter');
      await s.shot.now(s.page, 'busy');
      await s.page.waitForURL('**/orvo/status?**', { timeout: 120_000 });
      assert.equal(await heading(s.page), 'slow');
      await visit(s, 'progress-status');
      assert.equal(posts, 1, 'one run only');
      assert.ok(reports.length >= 10, `the page kept running during the 4 s run (${reports.length} reports)`);
      const last = reports.at(-1);
      assert.deepEqual({ ...last, sent: 0, scrollY: 0 },
        { sent: 0, busy: true, status: 'Generating…', spinner: true, disabled: true, scrollY: 0 });
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

  test('Ctrl+Enter generates from any field; Save shows its own progress', async () => {
    const s = await session('forms-shortcut');
    try {
      await gotoWizard(s, 'tavrin');
      await s.page.getByLabel('Project name').fill('quick');
      await s.page.getByLabel('Servlet name').fill('Quick');
      await s.page.getByLabel('Administration page').focus();
      await visit(s, 'shortcut-wizard');
      await s.page.keyboard.press('Control+Enter');
      await s.page.waitForURL('**/orvo/status?**', { timeout: 120_000 });
      assert.equal(await heading(s.page), 'quick');
      await visit(s, 'shortcut-status');
      assert.ok(await s.page.getByRole('link', { name: 'Quick.cpp' }).count() >= 1);

      // Save is over too fast to watch, so a listener that runs after the
      // page's own notes the progress line as the form goes off.
      await gotoWizard(s, 'tavrin');
      await s.page.evaluate(() => {
        const form = document.querySelector('form.wizard');
        form.addEventListener('submit', () => {
          sessionStorage.setItem('seen', JSON.stringify({
            busy: form.classList.contains('busy'),
            status: form.querySelector('.progress[role="status"]').textContent,
          }));
        });
      });
      await s.page.getByRole('button', { name: 'Save' }).click();
      await s.page.waitForURL('**/orvo/viewer?**');
      assert.match(await s.page.locator('#current-dir').textContent(), /quick$/);
      await visit(s, 'shortcut-saved');
      assert.deepEqual(JSON.parse(await s.page.evaluate(() => sessionStorage.getItem('seen'))),
        { busy: true, status: 'Saving…' });
    } finally {
      await s.done();
    }
  });
});

describe('without JavaScript', { timeout: 180_000 }, () => {
  test('fill, browse, generate, see the status and open raw files', async () => {
    const s = await session('forms-nojs', { javaScriptEnabled: false });
    try {
      await gotoWizard(s, 'server');
      assert.equal(await s.page.getByRole('button', { name: 'Copy link' }).isVisible(), false);
      await s.page.getByLabel('Project name').fill('plain');
      await s.page.getByRole('button', { name: 'Browse…' }).click();
      await s.page.waitForURL('**/orvo/browse?tier=server');
      await s.page.getByRole('link', { name: 'Use calculator.wsdl' }).click();
      await s.page.waitForURL('**/orvo/server?filename=**');
      assert.equal(await s.page.getByLabel('Project name').inputValue(), 'plain');

      // "Refresh the link" sends the form by GET; the page comes back with
      // the link made from the edited values.
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
      assert.equal(pathOf(s.page), '/orvo/status/CalculatorPortTypeSkeleton.cpp');
    } finally {
      await s.done();
    }
  });
});
