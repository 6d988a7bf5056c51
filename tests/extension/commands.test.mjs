import assert from 'node:assert/strict';
import { test } from 'node:test';
import { runCommand } from '../../extension/commands.js';
import { fakeBrowser } from './fake-browser.mjs';

test('only close, navigate (http/https), reload and snapshot are carried out, each answered', async () => {
  const rows = [
    [{ type: 'close', id: 1, tabId: 4 }, true, [['tabs.remove', 4]]],
    [{ type: 'close', id: 2, windowId: 9 }, true, [['windows.remove', 9]]],
    [{ type: 'close', id: 3 }, /tabId or a windowId/],
    [{ type: 'close', id: 3, tabId: 666 }, /No tab with id: 666/],
    [{ type: 'navigate', id: 4, tabId: 4, url: 'https://home.test/a b' }, true, [['tabs.update', 4, { url: 'https://home.test/a%20b' }]]],
    [{ type: 'navigate', id: 5, tabId: 4, url: 'javascript:alert(1)' }, /javascript: addresses are refused/],
    [{ type: 'navigate', id: 6, tabId: 4, url: 'file:///etc/passwd' }, /file: addresses are refused/],
    [{ type: 'navigate', id: 7, tabId: 4, url: 'home.test' }, /not an address/],
    [{ type: 'navigate', id: 'n8', tabId: -1, url: 'http://a.test/' }, /tabId/],
    [{ type: 'reload', id: 9, tabId: 4 }, true, [['tabs.reload', 4]]],
    [{ type: 'snapshot', id: 17 }, true, [['snapshot']]],
    [{ type: 'eval', id: 10, code: 'x' }, null],
    [{ type: 'toString', id: 19 }, null],
    [{ type: 'close', tabId: 4 }, null],
  ];
  for (const [command, want, calls = []] of rows) {
    const ext = fakeBrowser(), what = JSON.stringify(command);
    const done = await runCommand(ext, command, async () => ext.calls.push(['snapshot']));
    if (want === null) assert.equal(done, null, what);
    else if (want === true) assert.deepEqual(done, { v: 1, type: 'done', id: command.id, ok: true }, what);
    else assert.ok(!done.ok && done.id === command.id && want.test(done.error), `${what}: ${JSON.stringify(done)}`);
    assert.deepEqual(ext.calls, calls, what);
  }
});
