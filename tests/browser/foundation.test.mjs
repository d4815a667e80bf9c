// The XML data binding wizard in the browser, with the purchase-order schema.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { session } from './lib/harness.mjs';
import {
  browseAndPick, checkedFlags, generate, groupHeadings, heading, openGeneratedFile,
  openWizardFromStart, reopenFromProjects, resetAndExpectDefaults,
} from './lib/journey.mjs';

describe('data binding wizard', { timeout: 240_000 }, () => {
  test('purchaseorder.xsd: browse, generate, view a class, reopen, reset', async () => {
    const s = await session('foundation-journey');
    try {
      await openWizardFromStart(s, 'XML data binding', 'foundation');
      await s.page.getByLabel('Project name').fill('orders');
      await browseAndPick(s, 'foundation', 'purchaseorder.xsd');
      await s.page.getByLabel('Separate marshaller classes').check();
      await s.page.getByLabel('Compiler and operating system').selectOption('IBM AIX/Visual Age');

      await generate(s, 'foundation-status');
      assert.equal(await heading(s.page), 'orders');
      assert.match(await s.page.locator('.eyebrow').textContent(), /foundation project/);
      const groups = await groupHeadings(s.page);
      assert.ok(groups.includes('Data classes'), groups.join(', '));
      const data = s.page.getByRole('region', { name: /^Data classes/ });
      const headers = await data.getByRole('link').evaluateAll((as) =>
        as.map((a) => a.getAttribute('aria-label')).filter((name) => name && name.endsWith('.h')));
      assert.ok(headers.length >= 2, headers.join(', '));

      await openGeneratedFile(s, headers[0], { expectText: /class /, language: 'cpp', label: 'foundation-header' });
      await openGeneratedFile(s, 'orvowizard.txt', {
        linkName: 'Generator output', expectText: /bindgen/, language: 'plaintext', label: 'foundation-output',
      });

      await reopenFromProjects(s, 'foundation', 'orders', { badge: 'generated' });
      assert.equal(await s.page.getByLabel('Project name').inputValue(), 'orders');
      assert.match(await s.page.getByLabel('Input file').inputValue(), /purchaseorder\.xsd$/);
      assert.equal(await s.page.getByLabel('Compiler and operating system').inputValue(), 'IBM AIX/Visual Age');
      assert.deepEqual(await checkedFlags(s.page, ['externalmarshaller']), { externalmarshaller: true });

      await resetAndExpectDefaults(s, 'foundation', { externalmarshaller: false });
      assert.equal(await s.page.getByLabel('Documentation directory').inputValue(), '');
    } finally {
      await s.done();
    }
  });
});
