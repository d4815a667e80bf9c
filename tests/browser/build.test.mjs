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
import { heading, visit } from './lib/journey.mjs';

// The status page after Build, once make has ended.
async function build(s) {
  await s.page.getByRole('button', { name: 'Build' }).click();
  await s.page.waitForURL('**/orvo/status?**#build-heading', { timeout: 240_000 });
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
      const outputShown = s.page.locator('.build .run-output').filter({ hasText: 'g++' }).waitFor({ timeout: 240_000 });
      const verdict = build(s);
      await outputShown;
      assert.equal(await s.page.locator('.build .progress-text').textContent(), 'Building…');
      assert.match(await verdict, /^The build succeeded/);
      assert.deepEqual(await s.page.locator('.products li .path').allTextContents(), ['libcalc.so']);
      await visit(s, 'build-succeeded');

      // The zip holds the project's files, not its build outputs, and not
      // what a link planted in the project points at.
      writeFileSync(path.join(s.server.home, 'secret.txt'), 'not for download');
      symlinkSync(path.join(s.server.home, 'secret.txt'), path.join(folder, 'planted.txt'));
      const [download] = await Promise.all([
        s.page.waitForEvent('download'),
        s.page.getByRole('link', { name: 'Download as zip' }).click(),
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

  test('a slow run shows its output before it ends, and lands on the status page', async () => {
    const s = await session('follow', {}, { generatorDelay: 5 });
    try {
      await s.page.goto(new URL('client', s.server.base).href);
      await s.page.getByLabel('Project name').fill('followed');
      await s.page.getByLabel('Input file').fill(`${s.server.home}\\examples\\calculator.wsdl`);
      await s.page.getByRole('button', { name: 'Generate' }).click({ noWaitAfter: true });
      // The generator has finished writing; its stand-in still waits.
      const output = s.page.getByRole('region', { name: 'Generator output' });
      await output.filter({ hasText: '0 errors, 0 warnings' }).waitFor({ timeout: 4_000 });
      assert.equal(new URL(s.page.url()).pathname, '/orvo/client', 'the run has not ended yet');
      assert.match(await output.textContent(), /^svcgen .*\n/);
      await s.page.waitForURL('**/orvo/status?**', { timeout: 60_000 });
      assert.equal(await heading(s.page), 'followed');
    } finally {
      await s.done();
    }
  });
});
