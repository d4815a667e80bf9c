// The Stop button of the start page: it asks first; once confirmed the
// browser shows the farewell page and the server process ends with status 0.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { session } from './lib/harness.mjs';
import { heading, visit } from './lib/journey.mjs';

function withTimeout(promise, ms, what) {
  return Promise.race([promise, new Promise((_, reject) => setTimeout(() => reject(new Error(what)), ms))]);
}

// Clicks Stop server and accepts the question; the farewell page shows.
async function stop(s, label) {
  s.page.once('dialog', (dialog) => dialog.accept());
  await s.page.getByRole('button', { name: 'Stop server' }).click();
  await s.page.waitForURL('**/orvo/index');
  assert.equal(await heading(s.page), 'orvowizard has stopped');
  await visit(s, label);
  return withTimeout(s.server.exited, 15_000, 'kxcontainer did not exit');
}

describe('stopping the server', { timeout: 120_000 }, () => {
  test('Stop asks first; dismissed it changes nothing, accepted it stops the server', async () => {
    const s = await session('shutdown');
    try {
      await visit(s, 'start');
      const dialogs = [];
      s.page.once('dialog', async (dialog) => {
        dialogs.push({ type: dialog.type(), message: dialog.message() });
        await dialog.dismiss();
      });
      await s.page.getByRole('button', { name: 'Stop server' }).click();
      assert.deepEqual(dialogs, [{ type: 'confirm', message: 'Stop the orvowizard server? Open pages will stop working.' }]);
      assert.equal(new URL(s.page.url()).pathname, '/orvo/');
      assert.equal(s.server.process.exitCode, null, 'still running');
      assert.equal((await s.page.request.get(new URL('static/style.css', s.server.base).href)).status(), 200);

      assert.equal(await stop(s, 'stopped'), 0);
    } finally {
      await s.done();
    }
  });
});
