// Each wizard in the browser, the whole way: from the start page through
// Browse… (when it takes an input file) to a generated project, two of its
// files in the viewer, back through the project list into the wizard with
// the settings kept, and Reset to the defaults. One table row per wizard.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { session } from './lib/harness.mjs';
import {
  browseAndPick, checkedFlags, generate, groupHeadings, heading, openGeneratedFile,
  openWizardFromStart, reopenFromProjects, resetAndExpectDefaults,
} from './lib/journey.mjs';

const WIZARDS = [
  {
    card: 'Web-service server', tier: 'server', project: 'calc', input: 'calculator.wsdl',
    os: 'Red Hat Linux/icc', check: ['SSL'], uncheck: ['Developer-studio projects'],
    async generated(page) {
      assert.equal(await page.locator('.diagnostics').count(), 0);
      assert.match(await page.locator('.notice.ok').textContent(), /no errors and no warnings/);
      assert.deepEqual(await groupHeadings(page), ['Server', 'Client', 'Data classes', 'Samples']);
      const server = page.getByRole('region', { name: /^Server/ });
      assert.ok(await server.getByRole('link', { name: 'Documentation of CalculatorPortTypeSkeleton' }).isVisible());
      // With JavaScript the file links lead to the viewer, keeping the raw
      // address for a fallback.
      const link = server.getByRole('link', { name: 'CalculatorPortTypeSkeleton.cpp' });
      assert.ok(await link.isVisible());
      assert.match(await link.getAttribute('href'), /^\/orvo\/static\/viewer\.html\?src=%2Forvo%2Fstatus%2FCalculatorPortTypeSkeleton\.cpp/);
      assert.match(await link.getAttribute('data-raw'), /^status\/CalculatorPortTypeSkeleton\.cpp\?dir=/);
      return [
        { name: 'CalculatorPortTypeSkeleton.cpp', expectText: /CalculatorPortTypeSkeleton/, language: 'cpp' },
        { name: 'web.xml', expectText: /<web-app/, language: 'xml' },
      ];
    },
    reopened: { ssl: true, server: true, client: true, msvcproject: false, make: true },
    defaults: { server: true, client: true, ssl: false },
  },
  {
    card: 'Web-service client', tier: 'client', project: 'calcclient', input: 'calculator.wsdl',
    os: 'Solaris/g++', uncheck: ['HTML documentation'],
    async generated(page) {
      const groups = await groupHeadings(page);
      assert.ok(groups.includes('Client') && groups.includes('Data classes'), groups.join(', '));
      assert.ok(!groups.includes('Server'), 'a client project has no server files');
      assert.equal(await page.getByRole('link', { name: /^Documentation of/ }).count(), 0,
        'no documentation pages without HTML documentation');
      return [
        { name: 'CalculatorPortTypeClientProxy.h', expectText: /class CalculatorPortTypeClientProxy/, language: 'cpp' },
        { name: 'makefile', expectText: /\S/, language: 'makefile' },
      ];
    },
    reopened: { html: false, sample: true, ssl: false },
    defaults: { ssl: false },
  },
  {
    card: 'XML data binding', tier: 'foundation', project: 'orders', input: 'purchaseorder.xsd',
    os: 'IBM AIX/Visual Age', check: ['Separate marshaller classes'],
    async generated(page) {
      assert.match(await page.locator('.eyebrow').textContent(), /foundation project/);
      const groups = await groupHeadings(page);
      assert.ok(groups.includes('Data classes'), groups.join(', '));
      const data = page.getByRole('region', { name: /^Data classes/ });
      const headers = await data.getByRole('link').evaluateAll((as) =>
        as.map((a) => a.getAttribute('aria-label')).filter((name) => name && name.endsWith('.h')));
      assert.ok(headers.length >= 2, headers.join(', '));
      return [
        { name: headers[0], expectText: /class /, language: 'cpp' },
        { name: 'orvowizard.txt', linkName: 'Generator output', expectText: /bindgen/, language: 'plaintext' },
      ];
    },
    reopened: { externalmarshaller: true },
    defaults: { externalmarshaller: false },
    emptyAfterReset: ['Documentation directory'],
  },
  {
    card: 'Servlet project', tier: 'tavrin', project: 'greeter',
    fields: { 'Servlet name': 'Hello' }, check: ['Administration page'],
    async generated(page) {
      assert.ok((await groupHeadings(page)).length > 0, 'generated files are listed');
      return [
        { name: 'Hello.cpp', expectText: /Hello::adminPage/, language: 'cpp' },
        { name: 'web.xml', expectText: /<servlet-name>Hello<\/servlet-name>/, language: 'xml' },
      ];
    },
    reopened: { admin: true, webxml: true },
    defaults: { webxml: true, admin: false },
    emptyAfterReset: ['Servlet name'],
  },
];

for (const w of WIZARDS) {
  describe(`${w.tier} wizard`, { timeout: 240_000 }, () => {
    test(`${w.project}: generate, view two files, reopen, reset`, async () => {
      const s = await session(`${w.tier}-journey`);
      const page = s.page;
      try {
        await openWizardFromStart(s, w.card, w.tier);
        await page.getByLabel('Project name').fill(w.project);
        if (w.input) {
          await browseAndPick(s, w.tier, w.input);
        } else {
          assert.equal(await page.getByLabel('Input file').count(), 0, 'no input file here');
        }
        for (const [label, value] of Object.entries(w.fields ?? {})) {
          await page.getByLabel(label).fill(value);
        }
        if (w.os) {
          await page.getByLabel('Compiler and operating system').selectOption(w.os);
        }
        for (const label of w.check ?? []) await page.getByLabel(label).check();
        for (const label of w.uncheck ?? []) await page.getByLabel(label).uncheck();

        await generate(s, `${w.tier}-status`);
        assert.equal(await heading(page), w.project);
        const files = await w.generated(page);
        for (const [i, file] of files.entries()) {
          await openGeneratedFile(s, file.name, { ...file, label: `${w.tier}-file${i}` });
        }

        await reopenFromProjects(s, w.tier, w.project, { badge: 'generated' });
        assert.equal(await page.getByLabel('Project name').inputValue(), w.project);
        if (w.input) {
          assert.match(await page.getByLabel('Input file').inputValue(), new RegExp(`${w.input.replace('.', '\\.')}$`));
        }
        for (const [label, value] of Object.entries(w.fields ?? {})) {
          assert.equal(await page.getByLabel(label).inputValue(), value);
        }
        if (w.os) {
          assert.equal(await page.getByLabel('Compiler and operating system').inputValue(), w.os);
        }
        assert.deepEqual(await checkedFlags(page, Object.keys(w.reopened)), w.reopened);

        await resetAndExpectDefaults(s, w.tier, w.defaults);
        for (const label of w.emptyAfterReset ?? []) {
          assert.equal(await page.getByLabel(label).inputValue(), '', label);
        }
      } finally {
        await s.done();
      }
    });
  });
}
