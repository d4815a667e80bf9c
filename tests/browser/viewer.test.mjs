// The file viewer (static/viewer.html) on its own: what it shows for files
// it cannot show, its controls, and project pages shown without their scripts.
import assert from 'node:assert/strict';
import { mkdirSync, writeFileSync } from 'node:fs';
import { describe, test } from 'node:test';
import { session } from './lib/harness.mjs';
import { heading, visit } from './lib/journey.mjs';

describe('file viewer', { timeout: 180_000 }, () => {
  test('missing files, foreign addresses, line wrapping and plain text', async () => {
    const s = await session('viewer');
    try {
      const at = (p) => new URL(p, s.server.base).href;
      const projects = `${s.server.home}\\projects`;
      await s.page.goto(at(`tavrin?oper=generate&projectDir=${encodeURIComponent(projects)}&projectName=shown&servletName=Shown&webxml=on&make=on`));
      await s.page.waitForURL('**/orvo/status?**');
      const dir = new URL(s.page.url()).searchParams.get('dir');
      const viewerOf = (src) => at(`static/viewer.html?src=${encodeURIComponent(src)}`);

      // A file the project does not have: the status page would answer in
      // its place, and the viewer says so instead of showing that page.
      await s.page.goto(viewerOf(`/orvo/status/NoSuchFile.cpp?dir=${encodeURIComponent(dir)}`));
      await s.page.getByText('NoSuchFile.cpp is missing or empty.').waitFor();
      assert.equal(await s.page.locator('#code-frame').isVisible(), false);
      assert.equal(await s.page.locator('#raw-link').isVisible(), false, 'no raw file to offer');
      assert.equal(await s.page.locator('#wrap-toggle').isVisible(), false, 'nothing to wrap');
      await visit(s, 'missing');

      // Only this server's files are fetched.
      for (const src of ['http://example.invalid/x.cpp', '']) {
        await s.page.goto(viewerOf(src));
        await s.page.getByText('No file to show. Open a file from a project’s status page.').waitFor();
      }
      await visit(s, 'no-file');

      // The generator's output is plain text; Wrap long lines is a toggle.
      await s.page.goto(viewerOf(`/orvo/status/orvowizard.txt?dir=${encodeURIComponent(dir)}`));
      await s.page.locator('#code-frame:not([hidden])').waitFor();
      assert.equal(await heading(s.page), 'orvowizard.txt');
      assert.equal(await s.page.locator('#code').getAttribute('data-language'), 'plaintext');
      assert.equal(await s.page.locator('#code [class^="hljs-"]').count(), 0);
      assert.match(await s.page.locator('#file-meta').textContent(), /^\d+ lines? · plain text$/);
      const wrap = s.page.getByRole('button', { name: 'Wrap long lines' });
      assert.equal(await wrap.getAttribute('aria-pressed'), 'false');
      await wrap.click();
      assert.equal(await wrap.getAttribute('aria-pressed'), 'true');
      assert.equal(await s.page.locator('#code-frame.wrap').count(), 1);
      assert.equal(await s.page.title(), 'orvowizard.txt · orvowizard');
      await visit(s, 'output-wrapped');
      await wrap.click();
      assert.equal(await s.page.locator('#code-frame.wrap').count(), 0);

      // The top bar of the static page leads back into the application.
      await s.page.getByRole('navigation', { name: 'Main' }).getByRole('link', { name: 'Projects' }).click();
      await s.page.waitForURL('**/orvo/viewer');
      assert.equal(await heading(s.page), 'Projects');
    } finally {
      await s.done();
    }
  });

  test('a page in a project is shown without running its scripts', async () => {
    const s = await session('viewer-hostile-docs');
    try {
      const at = (p) => new URL(p, s.server.base).href;
      const projects = `${s.server.home}\\projects`;
      await s.page.goto(at(`tavrin?oper=generate&projectDir=${encodeURIComponent(projects)}&projectName=planted&servletName=Planted&webxml=on`));
      await s.page.waitForURL('**/orvo/status?**');
      const dir = new URL(s.page.url()).searchParams.get('dir');
      // A page as a hostile WSDL's documentation or a colleague could leave
      // it: were its scripts run in the application's origin, they could
      // drive every page, the Stop button included.
      mkdirSync(`${dir.replaceAll('\\', '/')}/docs`, { recursive: true });
      writeFileSync(`${dir.replaceAll('\\', '/')}/docs/evil.html`,
        '<!DOCTYPE html><html><head><title>planted</title></head><body><h1>Planted</h1>' +
        '<script>document.title = "script ran"; fetch("/orvo/index?oper=shutdown");</script>' +
        '<img src="missing.png" onerror="document.title = \'handler ran\'">' +
        '<svg><script>document.title = "svg script ran"</script></svg></body></html>');
      await s.page.goto(at(`status/docs/evil.html?dir=${encodeURIComponent(dir)}`));
      await s.page.getByRole('heading', { name: 'Planted' }).waitFor();
      await s.page.waitForTimeout(500);
      assert.equal(await s.page.title(), 'planted', 'no script of the page ran');
      assert.equal(await s.page.evaluate(() => self.origin), 'null',
        'the page has an origin of its own, not the application\'s');
      const home = await s.page.request.get(at('index'));
      assert.equal(home.status(), 200, 'the server is still up');
    } finally {
      await s.done();
    }
  });
});
