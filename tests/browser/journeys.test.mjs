// Each wizard the whole way: start page, Browse… (for an input file), a generated project and
// two of its files in the viewer, back through the project list into the wizard with the
// settings kept, and Reset to the defaults. One table row per wizard. Before them, where the
// browser keeps the access token: on the server's own name, out of other local servers' reach.
import assert from 'node:assert/strict';
import http from 'node:http';
import { test } from 'node:test';
import { session } from './lib/harness.mjs';
import { checkedFlags, DEFAULT_OS, heading, pathOf, visit } from './lib/journey.mjs';

const groupHeadings = (page) =>
  page.locator('.file-group h3').evaluateAll((hs) => hs.map((h) => h.firstChild.textContent.trim()));
const endsWith = (name, before = '') => new RegExp(`${before}${name.replace('.', '\\.')}$`);
const COMMON_FLAGS = { make: true, msvcproject: true, sample: true, html: true, stl: true };

// Browsers send a cookie of 127.0.0.1 to every port of it: the token cookie lives on the
// server's own name, and a browser that opens the address on 127.0.0.1 is sent there.
test('the token cookie stays on the server\'s own name; another server on 127.0.0.1 gets none', { timeout: 60_000 }, async () => {
  const s = await session('own-name');
  const requests = [];
  const other = http.createServer((request, response) => {
    requests.push({ url: request.url, cookie: request.headers.cookie ?? '' });
    response.setHeader('Set-Cookie', 'other=1; Path=/');
    response.end('<!DOCTYPE html><title>Another local server</title><p>another server</p>');
  });
  try {
    assert.match(s.server.hostName, /^orvo-[0-9a-f]{16}\.localhost$/);
    assert.equal(new URL(s.page.url()).hostname, s.server.hostName);
    assert.match(await heading(s.page), /^Generate web-service/);
    const kept = (await s.context.cookies()).filter((c) => c.name === 'kxtoken');
    assert.deepEqual(kept.map((c) => c.domain), [s.server.hostName]);

    await new Promise((resolve) => other.listen(0, '127.0.0.1', resolve));
    const otherBase = `http://127.0.0.1:${other.address().port}`;
    await s.page.goto(`${otherBase}/page`);
    await s.page.goto(`${otherBase}/again`);
    assert.deepEqual(requests, [{ url: '/page', cookie: '' }, { url: '/again', cookie: 'other=1' }],
      'the other server sees its own cookie only');

    // The printed address opened on 127.0.0.1 instead: redirected to the own name, no cookie
    // left on 127.0.0.1 for the other server.
    const loopback = new URL(s.server.url);
    loopback.hostname = '127.0.0.1';
    await s.page.goto(loopback.href);
    assert.equal(new URL(s.page.url()).hostname, s.server.hostName);
    assert.match(await heading(s.page), /^Generate web-service/);
    await s.page.goto(`${otherBase}/after`);
    assert.doesNotMatch(requests.at(-1).cookie, /kxtoken/);
    assert.deepEqual((await s.context.cookies()).filter((c) => c.name === 'kxtoken').map((c) => c.domain), [s.server.hostName]);
  } finally {
    other.close();
    await s.done();
  }
});

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
      // With JavaScript the file links lead to the viewer, the raw address kept for a fallback.
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
  test(`${w.tier} wizard: ${w.project}: generate, view two files, reopen, reset`, { timeout: 240_000 }, async () => {
    const s = await session(`${w.tier}-journey`);
    const page = s.page;
    const field = (label) => page.getByLabel(label);
    try {
      assert.equal(pathOf(page), '/orvo/');
      assert.match(await heading(page), /Generate web-service and data-binding code/);
      await visit(s, 'start');
      await page.locator('.cards').getByRole('link', { name: w.card }).click();
      await page.waitForURL(`**/orvo/${w.tier}`);
      assert.equal(await heading(page), w.card);
      await visit(s, `${w.tier}-wizard`);
      await field('Project name').fill(w.project);
      if (w.input) {
        // Browse… lists home/examples; "Use <file>" fills the file in and keeps the rest of the form.
        await page.getByRole('button', { name: 'Browse…' }).click();
        await page.waitForURL((url) => url.pathname === '/orvo/browse' && url.searchParams.get('tier') === w.tier);
        assert.equal(await heading(page), 'Choose an input file');
        assert.match(await field('Folder').inputValue(), /examples$/);
        await visit(s, `${w.tier}-browse`);
        await page.getByRole('link', { name: `Use ${w.input}` }).click();
        await page.waitForURL((url) => url.pathname === `/orvo/${w.tier}`);
        assert.match(await field('Input file').inputValue(), endsWith(w.input, 'examples.'));
        assert.equal(await field('Project name').inputValue(), w.project, 'Browse keeps the form');
        await visit(s, `${w.tier}-picked`);
      } else {
        assert.equal(await field('Input file').count(), 0, 'no input file here');
      }
      for (const [label, value] of Object.entries(w.fields ?? {})) await field(label).fill(value);
      if (w.os) await field('Compiler and operating system').selectOption(w.os);
      for (const label of w.check ?? []) await field(label).check();
      for (const label of w.uncheck ?? []) await field(label).uncheck();

      await page.getByRole('button', { name: 'Generate' }).click();
      await page.waitForURL('**/orvo/status?**', { timeout: 120_000 });
      await visit(s, `${w.tier}-status`);
      assert.equal(await heading(page), w.project);
      // Each file in the viewer: highlighted, a number per line, the raw link's text, and back.
      for (const [i, file] of (await w.generated(page)).entries()) {
        await page.getByRole('link', { name: file.linkName ?? file.name, exact: true }).first().click();
        await page.waitForURL('**/orvo/static/viewer.html?src=**');
        await page.locator('#code-frame:not([hidden])').waitFor();
        assert.equal(await heading(page), file.name);
        const code = page.locator('#code');
        const text = await code.textContent();
        assert.match(text, file.expectText);
        assert.equal(await code.getAttribute('data-language'), file.language);
        if (file.language !== 'plaintext') {
          assert.ok(await code.locator('[class^="hljs-"]').count() > 5, `${file.name} is highlighted`);
        }
        const gutter = await page.locator('#code-frame .gutter').textContent();
        assert.equal(gutter.split('\n').length, text.replace(/\n$/, '').split('\n').length, 'one line number per line');
        const raw = await page.getByRole('link', { name: 'Raw file' }).getAttribute('href');
        const response = await s.get(new URL(raw, page.url()).href);
        assert.equal(response.status, 200);
        assert.equal(response.text, text);
        await visit(s, `${w.tier}-file${i}`);
        await page.getByRole('link', { name: 'Back to the project' }).click();
        await page.waitForURL('**/orvo/status?**');
      }

      // The project list shows it; "Open in wizard" loads its settings back.
      await page.getByRole('link', { name: 'All projects' }).click();
      await page.waitForURL('**/orvo/viewer');
      const row = page.getByRole('row').filter({ has: page.getByRole('rowheader', { name: w.project }) });
      assert.equal(await row.count(), 1, `${w.project} is listed`);
      assert.equal((await row.locator('.badge').first().textContent()).trim(), 'generated');
      await visit(s, `${w.tier}-projects`);
      await row.getByRole('link', { name: `Open ${w.project} in its wizard` }).click();
      await page.waitForURL((url) => url.pathname === `/orvo/${w.tier}` && url.searchParams.get('oper') === 'load');
      await visit(s, `${w.tier}-loaded`);
      if (w.input) assert.match(await field('Input file').inputValue(), endsWith(w.input));
      const kept = { 'Project name': w.project, ...w.fields, ...(w.os && { 'Compiler and operating system': w.os }) };
      for (const [label, value] of Object.entries(kept)) assert.equal(await field(label).inputValue(), value, label);
      assert.deepEqual(await checkedFlags(page, Object.keys(w.reopened)), w.reopened);

      // Reset: the defaults again, the project directory the home's projects folder.
      await page.getByRole('button', { name: 'Reset' }).click();
      await page.waitForURL((url) => url.pathname === `/orvo/${w.tier}` && url.search === '');
      for (const label of ['Project name', ...(w.input ? ['Input file'] : []), ...(w.emptyAfterReset ?? [])]) {
        assert.equal(await field(label).inputValue(), '', label);
      }
      assert.match(await field('Project directory').inputValue(), /projects$/);
      assert.equal(await field('Compiler and operating system').inputValue(), DEFAULT_OS);
      const defaults = { ...COMMON_FLAGS, ...w.defaults };
      assert.deepEqual(await checkedFlags(page, Object.keys(defaults)), defaults);
      await visit(s, `${w.tier}-reset`);
    } finally {
      await s.done();
    }
  });
}
