// Browser events and state turned into the messages the program reads (docs/EXTENSION-PROTOCOL.md).
// Plain functions of their arguments: no browser call happens here.

const message = (type, fields) => ({ v: 1, type, ...fields });

// Copies the fields of `from` named in `names` whose value passes `keep`.
function pick(from, names, keep) {
  const out = {};
  for (const name of names) if (keep(from[name])) out[name] = from[name];
  return out;
}
const isId = (value) => Number.isInteger(value) && value >= 0;
const isText = (value) => typeof value === 'string';

export function windowCreated(win) {
  return message('windowCreated', {
    windowId: win.id,
    windowType: win.type ?? 'normal',
    incognito: win.incognito === true,
  });
}

export function windowRemoved(windowId) {
  return message('windowRemoved', { windowId });
}

// A new tab: Chromium names the address it heads for in `pendingUrl` (or nothing yet), Firefox
// shows about:blank; the opener tab is missing on Firefox's popup windows, where navTarget tells.
export function tabCreated(tab) {
  const url = tab.pendingUrl || tab.url;
  return message('tabCreated', {
    tabId: tab.id,
    windowId: tab.windowId,
    ...pick(tab, ['openerTabId'], isId),
    ...(url ? { url } : {}),
    ...(tab.title ? { title: tab.title } : {}),
  });
}

export function navTarget(details) {
  return message('navTarget', {
    tabId: details.tabId,
    sourceTabId: details.sourceTabId,
    url: details.url,
    ...pick(details, ['windowId'], isId),
  });
}

// Only a change of address, title or loading status is worth a message; other changes
// (audible, favicon, discarded …) give null.
export function tabUpdated(tabId, change) {
  const fields = pick(change, ['url', 'title'], isText);
  if (change.status === 'loading' || change.status === 'complete') fields.status = change.status;
  return Object.keys(fields).length ? message('tabUpdated', { tabId, ...fields }) : null;
}

export function tabMoved(tabId, attachInfo) {
  return message('tabMoved', { tabId, windowId: attachInfo.newWindowId });
}

export function tabRemoved(tabId, removeInfo) {
  return message('tabRemoved', { tabId, windowId: removeInfo.windowId });
}

// A tab put in the place of another: the program hears the old one removed, the new one created.
export function tabReplaced(tab, removedTabId) {
  return [tabRemoved(removedTabId, { windowId: tab.windowId }), tabCreated(tab)];
}

// Every window with its tabs, from windows.getAll({populate: true}). `kept(tabId)` gives what the
// extension remembered of a tab (its source tab, the address it was opened for), which the
// browser's own tab objects do not hold.
export function snapshot(windows, kept) {
  return message('snapshot', {
    windows: windows.map((win) => ({
      id: win.id,
      type: win.type ?? 'normal',
      incognito: win.incognito === true,
      tabs: (win.tabs ?? []).map((tab) => ({
        id: tab.id,
        url: tab.url || tab.pendingUrl || '',
        title: tab.title ?? '',
        ...pick(tab, ['openerTabId'], isId),
        ...pick(kept(tab.id) ?? {}, ['sourceTabId'], isId),
        ...pick(kept(tab.id) ?? {}, ['openedFor'], isText),
      })),
    })),
  });
}

export function hello(info, extensionVersion) {
  return message('hello', { browser: info.browser, version: info.version, extensionVersion });
}

// Chromium-family browsers list brands such as "Google Chrome", "Chromium" and a made-up one
// ("Not_A Brand"); the most specific real brand names the browser.
export function browserFromBrands(brands, userAgent) {
  const real = brands.filter((entry) => !/not.?a.?brand/i.test(entry.brand));
  const named = real.find((entry) => entry.brand !== 'Chromium') ?? real[0];
  const fromAgent = /(?:Chrome|Chromium)\/([\d.]+)/.exec(userAgent)?.[1] ?? '';
  return { browser: named?.brand ?? 'Chromium', version: named?.version ?? fromAgent };
}
