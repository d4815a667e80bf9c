// The file viewer (static/viewer.html) on its own: what it shows for files
// it cannot show, its controls, and project pages shown without their scripts.
import assert from 'node:assert/strict';
import { mkdirSync, writeFileSync } from 'node:fs';
import { test } from 'node:test';
import { session } from './lib/harness.mjs';
import { heading, visit } from './lib/journey.mjs';

test('file viewer: missing files, foreign addresses, wrapping, plain text, and pages without scripts', { timeout: 180_000 }, async () => {
  const s = await session('viewer');
  try {
    const status = await s.generate('tavrin', { projectName: 'shown', servletName: 'Shown', webxml: 'on', make: 'on' });
    const dir = new URL(status).searchParams.get('dir');
    const inProject = (file) => `/orvo/status/${file}?dir=${encodeURIComponent(dir)}`;
    const viewerOf = (src) => s.at(`static/viewer.html?src=${encodeURIComponent(src)}`);

    // A file the project does not have: the status page would answer in its
    // place, and the viewer says so instead of showing that page.
    await s.page.goto(viewerOf(inProject('NoSuchFile.cpp')));
    await s.page.getByText('NoSuchFile.cpp is missing or empty.').waitFor();
    for (const part of ['#code-frame', '#raw-link', '#wrap-toggle']) {
      assert.equal(await s.page.locator(part).isVisible(), false, `no ${part} without a file`);
    }
    await visit(s, 'missing');

    // Only this server's files are fetched.
    for (const src of ['http://example.invalid/x.cpp', '']) {
      await s.page.goto(viewerOf(src));
      await s.page.getByText('No file to show. Open a file from a project’s status page.').waitFor();
    }
    await visit(s, 'no-file');

    // The generator's output is plain text; Wrap long lines is a toggle.
    await s.page.goto(viewerOf(inProject('orvowizard.txt')));
    await s.page.locator('#code-frame:not([hidden])').waitFor();
    assert.equal(await heading(s.page), 'orvowizard.txt');
    assert.equal(await s.page.title(), 'orvowizard.txt · orvowizard');
    assert.equal(await s.page.locator('#code').getAttribute('data-language'), 'plaintext');
    assert.equal(await s.page.locator('#code [class^="hljs-"]').count(), 0);
    assert.match(await s.page.locator('#file-meta').textContent(), /^\d+ lines? · plain text$/);
    const wrap = s.page.getByRole('button', { name: 'Wrap long lines' });
    const wrapped = async () => [await wrap.getAttribute('aria-pressed'), await s.page.locator('#code-frame.wrap').count()];
    assert.deepEqual(await wrapped(), ['false', 0]);
    await wrap.click();
    assert.deepEqual(await wrapped(), ['true', 1]);
    await visit(s, 'output-wrapped');
    await wrap.click();
    assert.deepEqual(await wrapped(), ['false', 0]);

    // The top bar of the static page leads back into the application.
    await s.page.getByRole('navigation', { name: 'Main' }).getByRole('link', { name: 'Projects' }).click();
    await s.page.waitForURL('**/orvo/viewer');
    assert.equal(await heading(s.page), 'Projects');

    // A page as hostile documentation could leave it: run in the application's
    // origin, its scripts could drive every page, the Stop button included.
    mkdirSync(`${dir.replaceAll('\\', '/')}/docs`, { recursive: true });
    writeFileSync(`${dir.replaceAll('\\', '/')}/docs/evil.html`,
      '<!DOCTYPE html><html><head><title>planted</title></head><body><h1>Planted</h1>' +
      '<script>document.title = "script ran"; fetch("/orvo/index?oper=shutdown");</script>' +
      '<img src="missing.png" onerror="document.title = \'handler ran\'">' +
      '<svg><script>document.title = "svg script ran"</script></svg></body></html>');
    await s.page.goto(s.at(inProject('docs/evil.html').slice('/orvo/'.length)));
    await s.page.getByRole('heading', { name: 'Planted' }).waitFor();
    await s.page.waitForTimeout(500);
    assert.equal(await s.page.title(), 'planted', 'no script of the page ran');
    assert.equal(await s.page.evaluate(() => self.origin), 'null', 'the page has an origin of its own');
    assert.equal((await s.get(s.at('index'))).status, 200, 'the server is still up');
  } finally {
    await s.done();
  }
});
