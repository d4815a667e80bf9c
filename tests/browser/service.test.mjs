// From a built service to a successful call without leaving the browser:
// Run starts the service in a container of its own, the try-it page calls
// its operations from a form made from the WSDL's schema, and Stop, a
// crash, a library that cannot be loaded and the end of the wizards'
// container are each shown for what they are.
import assert from 'node:assert/strict';
import { readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { describe, test } from 'node:test';
import { session } from './lib/harness.mjs';
import { pressAndLand, visit } from './lib/journey.mjs';

// A calculator as its developer would fill it in: dividing by zero is the
// caller's fault.
const CALCULATOR = `#include "CalculatorPortTypeImpl.h"

namespace {
::example_calculator::Result resultOf(double value) {
    ::example_calculator::Result result;
    result.setValue(value);
    return result;
}
}  // namespace

::example_calculator::Result CalculatorPortTypeImpl::add(const ::example_calculator::Operands& p) {
    return resultOf(p.getA() + p.getB());
}
::example_calculator::Result CalculatorPortTypeImpl::subtract(const ::example_calculator::Operands& p) {
    return resultOf(p.getA() - p.getB());
}
::example_calculator::Result CalculatorPortTypeImpl::multiply(const ::example_calculator::Operands& p) {
    return resultOf(p.getA() * p.getB());
}
::example_calculator::Result CalculatorPortTypeImpl::divide(const ::example_calculator::Operands& p) {
    if (p.getB() == 0) {
        throw orvo::Fault("Client", "division by zero");
    }
    return resultOf(p.getA() / p.getB());
}
`;

function alive(pid) {
  try {
    process.kill(pid, 0);
    return true;
  } catch {
    return false;
  }
}

async function until(condition, what, ms = 10_000) {
  const end = Date.now() + ms;
  while (!condition()) {
    assert.ok(Date.now() < end, `${what} within ${ms} ms`);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

// Generates a server project of an example with make and the sample code,
// and builds it; the page is the project's status page.
async function generateAndBuild(s, example, name, prepare = () => {}) {
  const at = (p) => new URL(p, s.server.base).href;
  const input = encodeURIComponent(`${s.server.home}\\examples\\${example}`);
  const projects = encodeURIComponent(`${s.server.home}\\projects`);
  await s.page.goto(at(`server?oper=generate&projectDir=${projects}&projectName=${name}&filename=${input}&make=on&server=on&sample=on`));
  await s.page.waitForURL('**/orvo/status?**');
  const folder = path.join(s.server.home, 'projects', name);
  prepare(folder);
  await pressAndLand(s, 'Build');
  assert.match(await s.page.locator('.build .notice').first().textContent(), /^The build succeeded/);
  return folder;
}

async function serviceNotice(page) {
  return (await page.locator('.service .notice').first().textContent()).replace(/\s+/g, ' ').trim();
}

// Sends the try-it form and waits for its answer page.
async function send(page) {
  await Promise.all([
    page.waitForResponse((r) => r.request().method() === 'POST' && new URL(r.url()).pathname === '/orvo/tryit'),
    page.getByRole('button', { name: 'Send' }).click(),
  ]);
  await page.waitForLoadState('load');
}

describe('run a service and try it', { timeout: 600_000 }, () => {
  test('the calculator: run, add, divide by zero, remembered form, crash and stop', async () => {
    const s = await session('service');
    let servicePid = 0;
    try {
      const folder = await generateAndBuild(s, 'calculator.wsdl', 'calc', (dir) =>
        writeFileSync(path.join(dir, 'CalculatorPortTypeImpl.cpp'), CALCULATOR));

      await pressAndLand(s, 'Run');
      assert.match(await serviceNotice(s.page), /^The service is running at http:\/\/127\.0\.0\.1:\d+ \(process \d+, since/);
      servicePid = Number(await s.page.locator('.service-pid').textContent());
      assert.ok(alive(servicePid));
      // Its logs are in the project.
      assert.match(readFileSync(path.join(folder, 'service', 'output.txt'), 'utf8'), /^kxcontainer: serving /);
      await visit(s, 'service-running');

      await s.page.getByRole('link', { name: 'Try CalculatorPortType' }).click();
      await s.page.getByRole('link', { name: 'add', exact: true }).click();
      await s.page.getByLabel('a', { exact: true }).fill('2.5');
      await s.page.getByLabel('b', { exact: true }).fill('4');
      await send(s.page);
      const result = s.page.locator('table.values tbody tr');
      assert.deepEqual(await result.locator('th').allTextContents(), ['Result/value']);
      assert.equal(Number(await result.locator('td').textContent()), 6.5);
      assert.match(await s.page.locator('#timing').textContent(), /^HTTP 200 in \d+(\.\d)? ms\.$/);
      // The request and the answer side by side, laid out and coloured.
      const request = await s.page.locator('#request-xml').textContent();
      assert.match(request, /<ns1:Operands>\n\s+<a>2\.5<\/a>\n\s+<b>4<\/b>/);
      assert.match(await s.page.locator('#answer-xml').textContent(), /<value>6\.5<\/value>/);
      assert.ok(await s.page.locator('#answer-xml .x-tag').count() > 2);
      await visit(s, 'tryit-add');

      await s.page.getByRole('link', { name: 'divide', exact: true }).click();
      await s.page.getByLabel('a', { exact: true }).fill('1');
      await s.page.getByLabel('b', { exact: true }).fill('0');
      await send(s.page);
      const fault = s.page.locator('#fault');
      assert.match(await fault.locator('.fault-code').textContent(), /Client$/);
      assert.equal(await fault.locator('.fault-string').textContent(), 'division by zero');
      assert.match(await s.page.locator('#timing').textContent(), /^HTTP 500 /);
      await visit(s, 'tryit-fault');

      // Each operation's last request comes back; Reset forgets it.
      await s.page.getByRole('link', { name: 'add', exact: true }).click();
      assert.equal(await s.page.getByLabel('a', { exact: true }).inputValue(), '2.5');
      await s.page.getByRole('link', { name: 'divide', exact: true }).click();
      assert.equal(await s.page.getByLabel('b', { exact: true }).inputValue(), '0');
      await s.page.getByRole('button', { name: 'Reset' }).click();
      assert.equal(await s.page.getByLabel('b', { exact: true }).inputValue(), '');
      await s.page.getByRole('link', { name: 'divide', exact: true }).click();
      assert.equal(await s.page.getByLabel('b', { exact: true }).inputValue(), '');

      // A crash of the service leaves the wizards' container serving, and
      // the page says how the service ended.
      process.kill(servicePid, 'SIGKILL');
      await s.page.getByRole('link', { name: 'Back to the project' }).click();
      const statusPage = s.page.url();
      for (let i = 0; i < 100 && /^The service is running/.test(await serviceNotice(s.page)); i++) {
        await new Promise((resolve) => setTimeout(resolve, 50));
        await s.page.goto(statusPage);
      }
      assert.match(await serviceNotice(s.page), /^The service is not running: it was ended by signal 9 \(SIGKILL\)\./);
      assert.ok(!alive(servicePid), 'the ended service is reaped');
      await s.page.goto(new URL('index', s.server.base).href);
      assert.equal((await s.page.title()).split(' · ')[1], 'orvowizard');
      await s.page.goBack();

      // Run again, then Stop: the process is gone and the try-it page says
      // the service is not running.
      await pressAndLand(s, 'Run');
      servicePid = Number(await s.page.locator('.service-pid').textContent());
      await pressAndLand(s, 'Stop');
      assert.equal(await serviceNotice(s.page), 'The service was stopped.');
      assert.ok(!alive(servicePid));
      await s.page.goto(new URL(`tryit?dir=${encodeURIComponent(folder)}`, s.server.base).href);
      assert.match(await s.page.locator('.notice.error').textContent(), /not running/);
    } finally {
      await s.done();
      if (servicePid) {
        assert.ok(!alive(servicePid), 'the service ends with the container');
      }
    }
  });

  test('the stock quote service answers; a library that cannot be loaded is shown; services end with the container', async () => {
    const s = await session('service-quote');
    let servicePid = 0;
    try {
      await generateAndBuild(s, 'stockquote.wsdl', 'quote');
      await pressAndLand(s, 'Run');
      servicePid = Number(await s.page.locator('.service-pid').textContent());
      await s.page.locator('.ports a.button').first().click();
      await s.page.getByRole('link', { name: 'getQuote', exact: true }).click();
      await s.page.getByLabel('symbol', { exact: true }).fill('ACME');
      await send(s.page);
      assert.match(await s.page.locator('#timing').textContent(), /^HTTP 200 /);
      assert.equal(await s.page.locator('#fault').count(), 0);
      // The optional currency was left empty, so it is not sent.
      assert.doesNotMatch(await s.page.locator('#request-xml').textContent(), /currency/);
      await visit(s, 'tryit-quote');

      // A service whose library needs a function nobody defines builds, but
      // its container cannot load it: Run says so with the loader's reason.
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
      if (servicePid) {
        await until(() => !alive(servicePid), 'the service gone after the container stopped');
      }
    }
  });
});
