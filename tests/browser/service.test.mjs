// From generated to a successful call in the browser: Build, Download, Run,
// the try-it page, a compile error in the viewer; Stop, a crash, a library
// that cannot be loaded and the end of the wizards' container each shown.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, symlinkSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { session } from './lib/harness.mjs';
import { pressAndLand, visit, watchOutput } from './lib/journey.mjs';

// A calculator as its developer would fill it in: dividing by zero is a client fault.
const CALCULATOR = `#include "CalculatorPortTypeImpl.h"
using ::example_calculator::Operands;
using ::example_calculator::Result;
static Result of(double value) { Result result; result.setValue(value); return result; }
Result CalculatorPortTypeImpl::add(const Operands& p) { return of(p.getA() + p.getB()); }
Result CalculatorPortTypeImpl::subtract(const Operands& p) { return of(p.getA() - p.getB()); }
Result CalculatorPortTypeImpl::multiply(const Operands& p) { return of(p.getA() * p.getB()); }
Result CalculatorPortTypeImpl::divide(const Operands& p) {
    if (p.getB() == 0) throw orvo::Fault("Client", "division by zero");
    return of(p.getA() / p.getB());
}
`;

// Whether the process is there and not yet reaped (signal 0 only checks).
const alive = (pid) => { try { return process.kill(pid, 0); } catch { return false; } };

// A server project of an example with make and samples, changed by prepare(folder), built.
async function generateAndBuild(s, example, name, prepare = () => {}) {
  await s.generate('server', { projectName: name, filename: s.example(example), make: 'on', server: 'on', sample: 'on' });
  const folder = path.join(s.server.home, 'projects', name);
  prepare(folder);
  const reports = await watchOutput(s.page, '.build .run-output');
  await pressAndLand(s, 'Build');
  assert.match(await buildNotice(s.page), /^The build succeeded/);
  // make's output showed while it ran.
  assert.ok(reports.some((r) => /^g\+\+ .* -c \S+\.cpp/m.test(r.text)), JSON.stringify(reports.slice(-3)));
  return folder;
}

const buildNotice = async (page) => (await page.locator('.build .notice').first().textContent()).trim();
const serviceNotice = async (page) => (await page.locator('.service .notice').first().textContent()).replace(/\s+/g, ' ').trim();
const servicePidOn = async (page) => Number(await page.locator('.service-pid').textContent());

// Fills the try-it form of an operation, sends it and waits for its answer page.
async function send(page, operation, values) {
  await page.getByRole('link', { name: operation, exact: true }).click();
  for (const [name, value] of Object.entries(values)) await page.getByLabel(name, { exact: true }).fill(value);
  await Promise.all([
    page.waitForResponse((r) => r.request().method() === 'POST' && new URL(r.url()).pathname === '/orvo/tryit'),
    page.getByRole('button', { name: 'Send' }).click(),
  ]);
  await page.waitForLoadState('load');
}

test('build, download, run and try the calculator and the stock quote; crash, stop, a broken library, the container\'s end', { timeout: 900_000 }, async () => {
  const s = await session('service');
  let servicePid = 0;
  try {
    const folder = await generateAndBuild(s, 'calculator.wsdl', 'calc', (dir) =>
      writeFileSync(path.join(dir, 'CalculatorPortTypeImpl.cpp'), CALCULATOR));
    assert.deepEqual(await s.page.locator('.products li .path').allTextContents(), ['libcalc.so']);
    await visit(s, 'build-succeeded');

    // The zip holds the project's files, not its build outputs nor what a planted link points at.
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
    assert.ok(entries.includes('calc/CalculatorPortTypeImpl.cpp') && entries.includes('calc/makefile'), entries.join(' '));
    assert.deepEqual(entries.filter((e) => /\.(o|so)$|planted/.test(e)), []);
    assert.equal(execFileSync('unzip', ['-p', zip, 'calc/makefile'], { encoding: 'utf8' }),
      readFileSync(path.join(folder, 'makefile'), 'utf8'));

    await pressAndLand(s, 'Run');
    // On a name of its own for the browser; programs are told its port on 127.0.0.1.
    const running = await serviceNotice(s.page);
    const [, servicePort] = /^The service is running at http:\/\/orvo-service-[0-9a-f]{16}\.localhost:(\d+) \(process \d+, since/.exec(running) ?? [];
    assert.ok(servicePort, running);
    assert.equal(await s.page.locator('.service-loopback').textContent(), `127.0.0.1:${servicePort}`);
    servicePid = await servicePidOn(s.page);
    assert.match(readFileSync(path.join(folder, 'service', 'output.txt'), 'utf8'), /^kxcontainer: serving /);
    await visit(s, 'service-running');

    await s.page.getByRole('link', { name: 'Try CalculatorPortType' }).click();
    await send(s.page, 'add', { a: '2.5', b: '4' });
    const result = s.page.locator('table.values tbody tr');
    assert.deepEqual(await result.locator('th').allTextContents(), ['Result/value']);
    assert.equal(Number(await result.locator('td').textContent()), 6.5);
    assert.match(await s.page.locator('#timing').textContent(), /^HTTP 200 in \d+(\.\d)? ms\.$/);
    // The request and the answer side by side, laid out and coloured.
    assert.match(await s.page.locator('#request-xml').textContent(), /<ns1:Operands>\n\s+<a>2\.5<\/a>\n\s+<b>4<\/b>/);
    assert.match(await s.page.locator('#answer-xml').textContent(), /<value>6\.5<\/value>/);
    assert.ok(await s.page.locator('#answer-xml .x-tag').count() > 2);
    await visit(s, 'tryit-add');

    await send(s.page, 'divide', { a: '1', b: '0' });
    assert.match(await s.page.locator('#fault .fault-code').textContent(), /Client$/);
    assert.equal(await s.page.locator('#fault .fault-string').textContent(), 'division by zero');
    assert.match(await s.page.locator('#timing').textContent(), /^HTTP 500 /);
    await visit(s, 'tryit-fault');

    // Each operation's last request comes back; Reset forgets it.
    const b = s.page.getByLabel('b', { exact: true });
    await s.page.getByRole('link', { name: 'add', exact: true }).click();
    assert.equal(await s.page.getByLabel('a', { exact: true }).inputValue(), '2.5');
    await s.page.getByRole('link', { name: 'divide', exact: true }).click();
    assert.equal(await b.inputValue(), '0');
    await s.page.getByRole('button', { name: 'Reset' }).click();
    assert.equal(await b.inputValue(), '');
    await s.page.getByRole('link', { name: 'divide', exact: true }).click();
    assert.equal(await b.inputValue(), '');

    // After a crash the page says how the service ended.
    process.kill(servicePid, 'SIGKILL');
    await s.page.getByRole('link', { name: 'Back to the project' }).click();
    for (let i = 0; i < 100 && /^The service is running/.test(await serviceNotice(s.page)); i++) {
      await new Promise((resolve) => setTimeout(resolve, 50));
      await s.page.reload();
    }
    assert.match(await serviceNotice(s.page), /^The service is not running: it was ended by signal 9 \(SIGKILL\)\./);
    assert.ok(!alive(servicePid), 'the ended service is reaped');

    // Run again, then Stop: the process is gone and the try-it page says so.
    await pressAndLand(s, 'Run');
    servicePid = await servicePidOn(s.page);
    await pressAndLand(s, 'Stop');
    assert.equal(await serviceNotice(s.page), 'The service was stopped.');
    assert.ok(!alive(servicePid));
    const statusPage = s.page.url();
    await s.page.goto(s.at(`tryit?dir=${encodeURIComponent(folder)}`));
    assert.match(await s.page.locator('.notice.error').textContent(), /not running/);

    // A compile error is listed with its file and line; its link marks that line in the viewer.
    await s.page.goto(statusPage);
    const source = path.join(folder, 'CalculatorPortTypeImpl.cpp');
    const lines = readFileSync(source, 'utf8').split('\n');
    const line = lines.findIndex((text) => text.includes('p.getA() / p.getB()')) + 1;
    lines[line - 1] = '    return undeclared_on_purpose;';
    writeFileSync(source, lines.join('\n'));
    await pressAndLand(s, 'Build');
    assert.match(await buildNotice(s.page), /^The build failed: make ended with exit status \d+\.$/);
    const problem = s.page.locator('.build .diagnostics li.error').filter({ hasText: 'undeclared_on_purpose' });
    assert.match(await problem.locator('.where').textContent(), new RegExp(`CalculatorPortTypeImpl\\.cpp line ${line}, column \\d+`));
    await visit(s, 'build-failed');
    await problem.getByRole('link', { name: 'CalculatorPortTypeImpl.cpp' }).click();
    await s.page.waitForURL('**/static/viewer.html?**');
    assert.equal(new URL(s.page.url()).searchParams.get('line'), String(line));
    await s.page.locator(`#line-${line}`).waitFor({ state: 'visible' });
    assert.match(await s.page.locator('#file-meta').textContent(), new RegExp(`line ${line} marked$`));
    await visit(s, 'build-error-in-viewer');

    await generateAndBuild(s, 'stockquote.wsdl', 'quote');
    await pressAndLand(s, 'Run');
    servicePid = await servicePidOn(s.page);
    await s.page.locator('.ports a.button').first().click();
    await send(s.page, 'getQuote', { symbol: 'ACME' });
    assert.match(await s.page.locator('#timing').textContent(), /^HTTP 200 /);
    assert.equal(await s.page.locator('#fault').count(), 0);
    // The optional currency was left empty, so it is not sent.
    assert.doesNotMatch(await s.page.locator('#request-xml').textContent(), /currency/);
    await visit(s, 'tryit-quote');

    // A library that needs a function nobody defines builds but does not load: Run says why.
    const broken = await generateAndBuild(s, 'calculator.wsdl', 'broken', (dir) => {
      const impl = path.join(dir, 'CalculatorPortTypeImpl.cpp');
      writeFileSync(impl, readFileSync(impl, 'utf8')
        .replace('#include "CalculatorPortTypeImpl.h"', '#include "CalculatorPortTypeImpl.h"\nextern int missing_on_purpose();')
        .replace('// Fill in the operation add.', 'missing_on_purpose();'));
    });
    await pressAndLand(s, 'Run');
    const notice = await serviceNotice(s.page);
    assert.match(notice, /^The service did not start/);
    assert.match(notice, /undefined symbol: .*missing_on_purpose/);
    assert.ok(readFileSync(path.join(broken, 'service', 'errors.txt'), 'utf8').includes('missing_on_purpose'));
    await visit(s, 'service-failed');
  } finally {
    // SIGTERM to the wizards' container ends the service it started.
    await s.done();
    for (let i = 0; servicePid && alive(servicePid); i++) {
      assert.ok(i < 200, 'the service is gone 10 s after the container stopped');
      await new Promise((resolve) => setTimeout(resolve, 50));
    }
  }
});
