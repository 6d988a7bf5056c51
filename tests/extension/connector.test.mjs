import assert from 'node:assert/strict';
import { test } from 'node:test';
import { start } from '../../extension/main.js';
import { fakeBrowser, settle } from './fake-browser.mjs';

const program = (present) => ({ v: 1, type: 'program', present });
const userWindow = () => ({ id: 1, type: 'normal', incognito: false, tabs: [{ id: 2, url: 'https://user.test/', title: 'Mine' }] });
const popup = { id: 3, type: 'popup', incognito: true }, ad = 'https://ad.test/';

// One background over `ext`, with timers and a clock the test drives; `tell` is the bridge speaking.
async function background(ext, clock = { now: 0 }, timers = []) {
  const app = start(ext, { browserInfo: async () => ({ browser: 'Chromium', version: '156' }), setTimer: (run, ms) => timers.push({ run, ms }), now: () => clock.now });
  const flush = async () => { await settle(); await app.idle(); await settle(); };
  const tell = async (message) => { ext.ports.at(-1).onMessage.fire(message); await flush(); };
  await flush();
  return { timers, flush, tell, sent: () => ext.ports.flatMap((port) => port.sent) };
}

test('events in either browser order reach the program once it is present; kept facts survive a restart', async () => {
  const tab = { id: 4, windowId: 3 }, target = { tabId: 4, sourceTabId: 2, url: ad };
  for (const events of [ // Chromium: window, tab with opener, target; Firefox: tab without opener, window, target later
    [['windows', 'onCreated', popup, 'windowCreated'], ['tabs', 'onCreated', { ...tab, openerTabId: 2, url: '' }, 'tabCreated'], ['webNavigation', 'onCreatedNavigationTarget', target, 'navTarget']],
    [['tabs', 'onCreated', { ...tab, url: 'about:blank' }, 'tabCreated'], ['windows', 'onCreated', popup, 'windowCreated'], ['webNavigation', 'onCreatedNavigationTarget', { ...target, windowId: 3 }, 'navTarget']],
  ]) {
    const ext = fakeBrowser({ open: [userWindow()] }), first = await background(ext);
    const fire = () => events.forEach(([area, event, arg]) => ext[area][event].fire(arg));
    fire(), await first.tell(program(false)), fire(); // before the program is there, and while absent: nothing sent or queued
    ext.open.push({ ...popup, tabs: [{ id: 4, url: '', title: '' }] });
    await first.tell(program(true)), fire(), await first.flush();
    assert.deepEqual(first.sent().map((message) => message.type), ['hello', 'snapshot', ...events.map((row) => row[3])]);
    assert.deepEqual(first.sent()[0], { v: 1, type: 'hello', browser: 'Chromium', version: '156', extensionVersion: '8.0.0' });
    const second = await background(fakeBrowser({ open: ext.open, session: ext.session })); // fresh variables, same storage
    await second.tell(program(true));
    assert.deepEqual(second.sent()[1].windows, [userWindow(), { ...popup, tabs: [{ id: 4, url: '', title: '', sourceTabId: 2, openedFor: ad }] }]);
  }
});

test('the address a tab was opened for goes once it shows its own; closed tabs are forgotten; commands are answered', async () => {
  const ext = fakeBrowser({ open: [userWindow()] }), { flush, tell, sent } = await background(ext);
  await tell(program(true));
  const target = (tabId) => ext.webNavigation.onCreatedNavigationTarget.fire({ tabId, sourceTabId: 2, url: ad });
  [5, 6, 7].forEach(target), ext.tabs.onUpdated.fire(5, { url: 'about:blank' }), ext.tabs.onUpdated.fire(6, { url: `${ad}x`, status: 'loading' });
  ext.tabs.onRemoved.fire(7, { windowId: 3 }), target(7); // Firefox's late navTarget of a tab already closed
  await flush();
  assert.deepEqual(Object.fromEntries(ext.session), { 'tab:5': { sourceTabId: 2, openedFor: ad }, 'tab:6': { sourceTabId: 2 } });
  ext.ports[0].onMessage.fire({ v: 1, type: 'snapshot', id: 'a' });
  await tell({ v: 1, type: 'navigate', id: 'b', tabId: 2, url: 'javascript:void 0' });
  const answers = sent().slice(-3).map((message) => `${message.type}${message.id ?? ''}${message.ok ?? ''}`);
  assert.deepEqual([[...answers].sort(), answers.indexOf('snapshot') < answers.indexOf('doneatrue')], [['doneatrue', 'donebfalse', 'snapshot'], true]);
  assert.deepEqual([...ext.session.keys()], [], 'tabs missing from the snapshot are dropped');
});

test('reconnect waits double from 1 s to 60 s, survive a restart, and start again once the program is reached', async () => {
  const clock = { now: 0 }, ext = fakeBrowser(), waits = [], { timers } = await background(ext, clock);
  for (let i = 0; i < 8; i++, timers.at(-1).run()) ext.ports.at(-1).onDisconnect.fire(), waits.push(timers.at(-1).ms); // no bridge: the port ends at once
  assert.deepEqual(waits, [1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000]);
  ext.ports.at(-1).onDisconnect.fire();
  clock.now = 45000;
  const again = fakeBrowser({ session: ext.session }), restarted = await background(again, clock);
  assert.deepEqual([again.ports.length, restarted.timers.map((t) => t.ms)], [0, [15000]]);
  restarted.timers[0].run();
  await restarted.tell(program(true));
  again.ports[0].onDisconnect.fire();
  assert.equal(restarted.timers.at(-1).ms, 1000);
});
