// The web-service server wizard in the browser: the whole way from the start
// page to a generated project and back, and a faulty WSDL file whose errors
// the status page puts first.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { session } from './lib/harness.mjs';
import {
  browseAndPick, checkedFlags, generate, groupHeadings, heading, openGeneratedFile,
  openWizardFromStart, reopenFromProjects, resetAndExpectDefaults, visit,
} from './lib/journey.mjs';

describe('server wizard', { timeout: 240_000 }, () => {
  test('calculator.wsdl: browse, generate, view a source, reopen, reset', async () => {
    const s = await session('server-journey');
    try {
      await openWizardFromStart(s, 'Web-service server', 'server');
      await s.page.getByLabel('Project name').fill('calc');
      await browseAndPick(s, 'server', 'calculator.wsdl');
      await s.page.getByLabel('Compiler and operating system').selectOption('Red Hat Linux/icc');
      await s.page.getByLabel('SSL').check();
      await s.page.getByLabel('Developer-studio projects').uncheck();

      await generate(s, 'server-status');
      assert.equal(await heading(s.page), 'calc');
      assert.equal(await s.page.locator('.diagnostics').count(), 0);
      assert.match(await s.page.locator('.notice.ok').textContent(), /no errors and no warnings/);
      assert.deepEqual(await groupHeadings(s.page), ['Server', 'Client', 'Data classes', 'Samples']);
      const server = s.page.getByRole('region', { name: /^Server/ });
      assert.ok(await server.getByRole('link', { name: 'CalculatorPortTypeSkeleton.cpp' }).isVisible());
      assert.ok(await server.getByRole('link', { name: 'Documentation of CalculatorPortTypeSkeleton' }).isVisible());
      // With JavaScript the file links lead to the viewer, keeping the raw
      // address for a fallback.
      const link = server.getByRole('link', { name: 'CalculatorPortTypeSkeleton.cpp' });
      assert.match(await link.getAttribute('href'), /^\/orvo\/static\/viewer\.html\?src=%2Forvo%2Fstatus%2FCalculatorPortTypeSkeleton\.cpp/);
      assert.match(await link.getAttribute('data-raw'), /^status\/CalculatorPortTypeSkeleton\.cpp\?dir=/);

      await openGeneratedFile(s, 'CalculatorPortTypeSkeleton.cpp', {
        expectText: /CalculatorPortTypeSkeleton/, language: 'cpp', label: 'server-source',
      });
      await openGeneratedFile(s, 'web.xml', { expectText: /<web-app/, language: 'xml', label: 'server-webxml' });

      await reopenFromProjects(s, 'server', 'calc', { badge: 'generated' });
      assert.equal(await s.page.getByLabel('Project name').inputValue(), 'calc');
      assert.match(await s.page.getByLabel('Input file').inputValue(), /calculator\.wsdl$/);
      assert.equal(await s.page.getByLabel('Compiler and operating system').inputValue(), 'Red Hat Linux/icc');
      assert.deepEqual(await checkedFlags(s.page, ['ssl', 'server', 'client', 'msvcproject', 'make']),
        { ssl: true, server: true, client: true, msvcproject: false, make: true });

      await resetAndExpectDefaults(s, 'server', { server: true, client: true, ssl: false });
    } finally {
      await s.done();
    }
  });

  test('broken.wsdl: errors and warnings come first, with line and column', async () => {
    const s = await session('server-broken');
    try {
      await openWizardFromStart(s, 'Web-service server', 'server');
      await s.page.getByLabel('Project name').fill('broken');
      await browseAndPick(s, 'server', 'broken.wsdl');
      await generate(s, 'broken-status');

      const problems = s.page.getByRole('region', { name: /Errors and warnings/ });
      const items = problems.getByRole('listitem');
      assert.ok(await items.count() >= 2, 'several problems are listed');
      const errors = problems.locator('li.error');
      assert.ok(await errors.count() >= 1);
      assert.match(await errors.first().locator('.where').textContent(), /line \d+, column \d+/);
      assert.match(await problems.locator('li.error .badge').first().textContent(), /Error/);
      // The problems stand before the file groups.
      const order = await s.page.locator('main h2').allTextContents();
      assert.ok(order[0].startsWith('Errors and warnings'), order.join(' | '));
      await reopenFromProjects(s, 'server', 'broken', { badge: 'errors' });
    } finally {
      await s.done();
    }
  });
});
