// From generated to built without leaving the browser: Build runs make and
// shows the compiler's verdict beside the files, a compile error links to
// its line in the viewer, the project downloads as a zip holding nothing
// from outside it, and a run's console output shows while the run goes on.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, symlinkSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { describe, test } from 'node:test';
import { session } from './lib/harness.mjs';
import { heading, pressAndLand, visit } from './lib/journey.mjs';

// While a form's request is under way Chromium answers no queries of the
// page, so the page reports the run's output itself: every change of the
// output panel goes to the console, where the test collects it with the
// time it came.
async function watchOutput(page, selector) {
  const reports = [];
  page.on('console', (message) => {
    if (message.text().startsWith('kx-output ')) {
      reports.push({ text: JSON.parse(message.text().slice(10)), at: Date.now() });
    }
  });
  await page.evaluate((sel) => {
    const panel = document.querySelector(sel);
    new MutationObserver(() => console.log(`kx-output ${JSON.stringify(panel.textContent)}`))
      .observe(panel, { childList: true, characterData: true, subtree: true });
  }, selector);
  return reports;
}

async function build(s) {
  await pressAndLand(s, 'Build');
  return (await s.page.locator('.build .notice').first().textContent()).trim();
}

describe('build, follow and download', { timeout: 600_000 }, () => {
  test('build the calculator, download it, and follow a compile error to its line', async () => {
    const s = await session('build');
    try {
      const at = (p) => new URL(p, s.server.base).href;
      const example = encodeURIComponent(`${s.server.home}\\examples\\calculator.wsdl`);
      const projects = encodeURIComponent(`${s.server.home}\\projects`);
      await s.page.goto(at(`server?oper=generate&projectDir=${projects}&projectName=calc&filename=${example}&make=on&server=on&sample=on`));
      await s.page.waitForURL('**/orvo/status?**');
      const folder = path.join(s.server.home, 'projects', 'calc');

      // While make runs, its output shows; then the verdict and the library.
      const reports = await watchOutput(s.page, '.build .run-output');
      assert.match(await build(s), /^The build succeeded/);
      assert.ok(reports.some((r) => /^g\+\+ .* -c \S+\.cpp/m.test(r.text)), JSON.stringify(reports.slice(-3)));
      assert.deepEqual(await s.page.locator('.products li .path').allTextContents(), ['libcalc.so']);
      await visit(s, 'build-succeeded');

      // The zip holds the project's files, not its build outputs, and not
      // what a link planted in the project points at.
      writeFileSync(path.join(s.server.home, 'secret.txt'), 'not for download');
      symlinkSync(path.join(s.server.home, 'secret.txt'), path.join(folder, 'planted.txt'));
      const [download] = await Promise.all([
        s.page.waitForEvent('download'),
        s.page.getByRole('link', { name: 'Download as zip' }).click({ noWaitAfter: true }),
      ]);
      assert.equal(download.suggestedFilename(), 'calc.zip');
      const zip = path.join(path.dirname(folder), 'calc-download.zip');
      await download.saveAs(zip);
      const entries = execFileSync('unzip', ['-Z1', zip], { encoding: 'utf8' }).trim().split('\n');
      assert.ok(entries.includes('calc/CalculatorPortTypeImpl.cpp'), entries.join(' '));
      assert.ok(entries.includes('calc/makefile'));
      assert.deepEqual(entries.filter((e) => /\.(o|so)$|planted/.test(e)), []);
      assert.equal(execFileSync('unzip', ['-p', zip, 'calc/makefile'], { encoding: 'utf8' }),
        readFileSync(path.join(folder, 'makefile'), 'utf8'));

      // A compile error: listed with its file and line, and the link opens
      // the viewer with that line marked.
      const source = path.join(folder, 'CalculatorPortTypeImpl.cpp');
      const lines = readFileSync(source, 'utf8').split('\n');
      const broken = lines.findIndex((line) => /return /.test(line));
      lines[broken] = '    return undeclared_on_purpose;';
      writeFileSync(source, lines.join('\n'));
      assert.match(await build(s), /^The build failed: make ended with exit status \d+\.$/);
      const problem = s.page.locator('.build .diagnostics li.error').filter({ hasText: 'undeclared_on_purpose' });
      assert.match(await problem.locator('.where').textContent(), new RegExp(`CalculatorPortTypeImpl\\.cpp line ${broken + 1}, column \\d+`));
      await visit(s, 'build-failed');
      await problem.getByRole('link', { name: 'CalculatorPortTypeImpl.cpp' }).click();
      await s.page.waitForURL('**/static/viewer.html?**');
      assert.equal(new URL(s.page.url()).searchParams.get('line'), String(broken + 1));
      const mark = s.page.locator(`#line-${broken + 1}`);
      await mark.waitFor();
      assert.ok(await mark.isVisible());
      assert.match(await s.page.locator('#file-meta').textContent(), new RegExp(`line ${broken + 1} marked$`));
      await visit(s, 'build-error-in-viewer');
    } finally {
      await s.done();
    }
  });

  test('slow runs in two tabs show their own output before they end, then land on the status page', async () => {
    const s = await session('follow', {}, { generatorDelay: 5 });
    try {
      const tabs = [s.page, await s.context.newPage()];
      const reports = [];
      for (const [i, tab] of tabs.entries()) {
        await tab.goto(new URL('client', s.server.base).href);
        await tab.getByLabel('Project name').fill(`followed${i}`);
        await tab.getByLabel('Input file').fill(`${s.server.home}\\examples\\calculator.wsdl`);
        reports.push(await watchOutput(tab, 'form.wizard .run-output'));
      }
      const clicked = Date.now();
      for (const tab of tabs) {
        await tab.getByRole('button', { name: 'Generate' }).click({ noWaitAfter: true });
      }
      for (const [i, tab] of tabs.entries()) {
        await tab.waitForURL('**/orvo/status?**', { timeout: 60_000 });
        const landed = Date.now();
        assert.equal(await heading(tab), `followed${i}`);
        // The generator's whole output showed while its stand-in still
        // waited (5 s before the run ended), and only this tab's run.
        const whole = reports[i].find((r) => r.text.includes('0 errors, 0 warnings'));
        assert.ok(whole, JSON.stringify(reports[i]));
        assert.match(whole.text, new RegExp(`^svcgen .*\\n[^]*project: followed${i} \\(client\\)`));
        assert.doesNotMatch(whole.text, new RegExp(`followed${1 - i}`));
        assert.ok(landed - whole.at >= 3_000, `output at ${whole.at - clicked} ms, status page at ${landed - clicked} ms`);
      }
    } finally {
      await s.done();
    }
  });
});
