import assert from 'node:assert/strict';
import { test } from 'node:test';
import * as ev from '../../extension/events.js';

const m = (type, fields) => ({ v: 1, type, ...fields });

test('browser events become protocol messages', () => {
  const rows = [
    [ev.windowCreated({ id: 5, type: 'popup', incognito: true, state: 'normal' }), m('windowCreated', { windowId: 5, windowType: 'popup', incognito: true })],
    // Chromium: nothing known yet, or the address in pendingUrl; Firefox: about:blank, no opener on a popup
    [ev.tabCreated({ id: 7, windowId: 5, openerTabId: 2, url: '', title: '' }), m('tabCreated', { tabId: 7, windowId: 5, openerTabId: 2 })],
    [ev.tabCreated({ id: 7, windowId: 5, url: '', pendingUrl: 'https://a.test/' }), m('tabCreated', { tabId: 7, windowId: 5, url: 'https://a.test/' })],
    [ev.tabCreated({ id: 8, windowId: 9, url: 'about:blank', title: 'New Tab' }), m('tabCreated', { tabId: 8, windowId: 9, url: 'about:blank', title: 'New Tab' })],
    [ev.navTarget({ tabId: 8, sourceTabId: 2, sourceFrameId: 0, url: 'https://ad.test/', windowId: 9 }), m('navTarget', { tabId: 8, sourceTabId: 2, url: 'https://ad.test/', windowId: 9 })],
    [ev.tabUpdated(7, { url: 'https://b.test/', title: 'You won!', status: 'loading' }), m('tabUpdated', { tabId: 7, url: 'https://b.test/', title: 'You won!', status: 'loading' })],
    [ev.tabUpdated(7, { audible: true, status: 'unloaded' }), null],
    [ev.tabMoved(7, { newWindowId: 3, newPosition: 0 }), m('tabMoved', { tabId: 7, windowId: 3 })],
    [ev.tabRemoved(7, { windowId: 3, isWindowClosing: true }), m('tabRemoved', { tabId: 7, windowId: 3 })],
    [ev.tabReplaced({ id: 9, windowId: 3, openerTabId: 2, url: 'https://c.test/' }, 7), [m('tabRemoved', { tabId: 7, windowId: 3 }), m('tabCreated', { tabId: 9, windowId: 3, openerTabId: 2, url: 'https://c.test/' })]],
    [ev.hello({ browser: 'Firefox', version: '128.9.0esr' }, '8.0.0'), m('hello', { browser: 'Firefox', version: '128.9.0esr', extensionVersion: '8.0.0' })],
    [ev.browserFromBrands([{ brand: 'Not_A Brand', version: '24' }, { brand: 'Chromium', version: '156.0.1' }, { brand: 'Google Chrome', version: '156.0.1' }], ''), { browser: 'Google Chrome', version: '156.0.1' }],
    [ev.browserFromBrands([{ brand: 'Chromium', version: '156.0.8078.129' }, { brand: 'Not-A.Brand', version: '99' }], ''), { browser: 'Chromium', version: '156.0.8078.129' }],
    [ev.browserFromBrands([], 'Mozilla/5.0 (X11; Linux x86_64) Chrome/156.0.0.0 Safari/537.36'), { browser: 'Chromium', version: '156.0.0.0' }],
  ];
  rows.forEach(([got, want], row) => assert.deepEqual(got, want, `row ${row}`));
});
