// What must outlive a stopped background. The browser may stop the background at any time (a
// Chromium service worker after 30 s without work), and its variables go with it. Kept in
// storage.session, which lives as long as the browser runs and never reaches the disk:
// - for each tab opened by another one, the source tab and the address it was opened for, which
//   the browser's own tab objects do not hold (Firefox gives a popup window no opener tab);
// - the native port's reconnect wait, so a restarted background does not knock at once again.

const tabKey = (tabId) => `tab:${tabId}`;

// An address of the tab's own, after which the one it was opened for no longer matters.
const isOwnAddress = (url) => typeof url === 'string' && url !== '' && url !== 'about:blank';

export class State {
  constructor(storage) {
    this.storage = storage;
    // A failed write costs a fact after a restart, never the event at hand.
    this.write = (items) => storage.set(items).catch((error) => console.warn('Pagewarden: not kept', error));
    this.tabs = new Map(); // tabId -> { sourceTabId, openedFor? }
    this.reconnect = { wait: 0, retryAt: 0 };
    this.removed = new Set(); // tabs closed in this run, whose late navTarget is not kept
  }

  async load() {
    const all = await this.storage.get(null);
    for (const [key, value] of Object.entries(all ?? {})) {
      if (key.startsWith('tab:')) this.tabs.set(Number(key.slice(4)), value);
    }
    if (all?.reconnect) this.reconnect = all.reconnect;
  }

  kept(tabId) {
    return this.tabs.get(tabId);
  }

  // A navTarget: the tab was opened by `sourceTabId` for `url`. Firefox may send it some 80 ms
  // late, after the program has already closed the tab; such a tab is not remembered.
  noteTarget(tabId, sourceTabId, url) {
    if (this.removed.has(tabId)) return Promise.resolve();
    const entry = { sourceTabId, ...(url ? { openedFor: url } : {}) };
    this.tabs.set(tabId, entry);
    return this.write({ [tabKey(tabId)]: entry });
  }

  // The tab reports an address of its own: the one it was opened for is forgotten.
  noteAddress(tabId, url) {
    const entry = this.tabs.get(tabId);
    if (!entry?.openedFor || !isOwnAddress(url)) return Promise.resolve();
    const { openedFor, ...rest } = entry;
    this.tabs.set(tabId, rest);
    return this.write({ [tabKey(tabId)]: rest });
  }

  forget(tabIds) {
    for (const tabId of tabIds) {
      this.removed.add(tabId);
      this.tabs.delete(tabId);
    }
    if (this.removed.size > 1000) this.removed = new Set([...this.removed].slice(-500));
    return this.storage.remove(tabIds.map(tabKey)).catch((error) => console.warn('Pagewarden: not dropped', error));
  }

  // Tabs remembered from before a restart that no longer exist (closed while the background
  // was stopped) are dropped when a snapshot shows all tabs.
  keepOnly(tabIds) {
    const open = new Set(tabIds);
    const gone = [...this.tabs.keys()].filter((tabId) => !open.has(tabId));
    return gone.length ? this.forget(gone) : Promise.resolve();
  }

  setReconnect(reconnect) {
    this.reconnect = reconnect;
    return this.write({ reconnect });
  }
}
