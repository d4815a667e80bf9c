// The servlet project wizard in the browser: no input file, a servlet name.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { session } from './lib/harness.mjs';
import {
  checkedFlags, generate, groupHeadings, heading, openGeneratedFile, openWizardFromStart,
  reopenFromProjects, resetAndExpectDefaults,
} from './lib/journey.mjs';

describe('servlet project wizard', { timeout: 240_000 }, () => {
  test('Hello servlet: generate, view the source, reopen, reset', async () => {
    const s = await session('tavrin-journey');
    try {
      await openWizardFromStart(s, 'Servlet project', 'tavrin');
      assert.equal(await s.page.getByLabel('Input file').count(), 0, 'no input file here');
      await s.page.getByLabel('Project name').fill('greeter');
      await s.page.getByLabel('Servlet name').fill('Hello');
      await s.page.getByLabel('Administration page').check();

      await generate(s, 'tavrin-status');
      assert.equal(await heading(s.page), 'greeter');
      const groups = await groupHeadings(s.page);
      assert.ok(groups.length > 0, 'generated files are listed');
      await openGeneratedFile(s, 'Hello.cpp', { expectText: /Hello::adminPage/, language: 'cpp', label: 'tavrin-source' });
      await openGeneratedFile(s, 'web.xml', { expectText: /<servlet-name>Hello<\/servlet-name>/, language: 'xml', label: 'tavrin-webxml' });

      await reopenFromProjects(s, 'tavrin', 'greeter', { badge: 'generated' });
      assert.equal(await s.page.getByLabel('Project name').inputValue(), 'greeter');
      assert.equal(await s.page.getByLabel('Servlet name').inputValue(), 'Hello');
      assert.deepEqual(await checkedFlags(s.page, ['admin', 'webxml']), { admin: true, webxml: true });

      await resetAndExpectDefaults(s, 'tavrin', { webxml: true, admin: false });
      assert.equal(await s.page.getByLabel('Servlet name').inputValue(), '');
    } finally {
      await s.done();
    }
  });
});
