// The web-service client wizard in the browser, with both example services.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { session } from './lib/harness.mjs';
import {
  browseAndPick, checkedFlags, generate, groupHeadings, heading, openGeneratedFile,
  openWizardFromStart, reopenFromProjects, resetAndExpectDefaults,
} from './lib/journey.mjs';

describe('client wizard', { timeout: 240_000 }, () => {
  test('calculator.wsdl: browse, generate, view a proxy, reopen, reset', async () => {
    const s = await session('client-journey');
    try {
      await openWizardFromStart(s, 'Web-service client', 'client');
      await s.page.getByLabel('Project name').fill('calcclient');
      await browseAndPick(s, 'client', 'calculator.wsdl');
      await s.page.getByLabel('Compiler and operating system').selectOption('Solaris/g++');
      await s.page.getByLabel('HTML documentation').uncheck();

      await generate(s, 'client-status');
      assert.equal(await heading(s.page), 'calcclient');
      const groups = await groupHeadings(s.page);
      assert.ok(groups.includes('Client') && groups.includes('Data classes'), groups.join(', '));
      assert.ok(!groups.includes('Server'), 'a client project has no server files');
      assert.equal(await s.page.getByRole('link', { name: /^Documentation of/ }).count(), 0,
        'no documentation pages without HTML documentation');

      await openGeneratedFile(s, 'CalculatorPortTypeClientProxy.h', {
        expectText: /class CalculatorPortTypeClientProxy/, language: 'cpp', label: 'client-header',
      });
      await openGeneratedFile(s, 'makefile', { expectText: /\S/, language: 'makefile', label: 'client-makefile' });

      await reopenFromProjects(s, 'client', 'calcclient', { badge: 'generated' });
      assert.equal(await s.page.getByLabel('Project name').inputValue(), 'calcclient');
      assert.equal(await s.page.getByLabel('Compiler and operating system').inputValue(), 'Solaris/g++');
      assert.deepEqual(await checkedFlags(s.page, ['html', 'sample', 'ssl']), { html: false, sample: true, ssl: false });

      await resetAndExpectDefaults(s, 'client', { ssl: false });
    } finally {
      await s.done();
    }
  });

  test('stockquote.wsdl: generate and read the sample program', async () => {
    const s = await session('client-stockquote');
    try {
      await openWizardFromStart(s, 'Web-service client', 'client');
      await s.page.getByLabel('Project name').fill('quotes');
      await browseAndPick(s, 'client', 'stockquote.wsdl');
      await s.page.getByLabel('SSL').check();
      await generate(s, 'stockquote-status');
      assert.equal(await heading(s.page), 'quotes');
      assert.match(await s.page.locator('.facts').textContent(), /stockquote\.wsdl/);
      const samples = s.page.getByRole('region', { name: /^Samples/ });
      const sampleLinks = await samples.getByRole('link').evaluateAll((as) => as.map((a) => a.getAttribute('aria-label')));
      assert.ok(sampleLinks.some((name) => /Client\.cpp$/.test(name)), sampleLinks.join(', '));
      const sample = sampleLinks.find((name) => /Client\.cpp$/.test(name));
      await openGeneratedFile(s, sample, { expectText: /main|Proxy/, language: 'cpp', label: 'stockquote-sample' });
    } finally {
      await s.done();
    }
  });
});
