// Wires the browser's events, the native port and the program's commands together. `start` adds
// every listener before it returns, with nothing awaited first: a background that an event has
// woken must have its listener in place before that event is delivered.
import { runCommand } from './commands.js';
import * as messages from './events.js';
import { NativePort } from './port.js';
import { State } from './state.js';

export function start(ext, { browserInfo, setTimer, now } = {}) {
  const state = new State(ext.storage.session);
  const ready = state.load().catch((error) => console.warn('Pagewarden: kept state unreadable', error));

  // Events are handled one after another in the order the browser delivered them, and none
  // before the kept state is read. A snapshot takes its place in the same line, so the events
  // that follow it are sent after it.
  let line = ready;
  const inOrder = (work) => {
    line = line.then(() => work()).catch((error) => console.warn('Pagewarden:', error));
    return line;
  };

  let named = null;
  const port = new NativePort({
    runtime: ext.runtime,
    state,
    setTimer,
    now,
    onPresent: () =>
      inOrder(async () => {
        const ticket = port.ticket();
        named ??= await browserInfo(ext);
        port.send(messages.hello(named, ext.runtime.getManifest().version), ticket);
        await sendSnapshot(ticket);
      }),
    onMessage: (command) => obey(command),
  });

  async function sendSnapshot(ticket = port.ticket()) {
    const windows = await ext.windows.getAll({ populate: true });
    state.keepOnly(windows.flatMap((win) => (win.tabs ?? []).map((tab) => tab.id)));
    port.send(messages.snapshot(windows, (tabId) => state.kept(tabId)), ticket);
  }

  // Commands run as they come (a close must not wait behind the events); a snapshot joins the line.
  async function obey(command) {
    await ready;
    const done = await runCommand(ext, command, () => inOrder(sendSnapshot));
    if (done) port.send(done, port.ticket());
  }

  // Each event's messages are sent only if the program was present when the event came: events
  // from before are covered by the snapshot that follows hello, never sent ahead of it. `keep`
  // notes what a restarted background must still know.
  const forward = (event, toMessages, keep = () => {}) =>
    event?.addListener((...args) => {
      const ticket = port.ticket();
      inOrder(async () => {
        for (const message of [await toMessages(...args)].flat()) port.send(message, ticket);
        keep(...args);
      });
    });
  forward(ext.windows.onCreated, messages.windowCreated);
  forward(ext.windows.onRemoved, messages.windowRemoved);
  forward(ext.tabs.onCreated, messages.tabCreated);
  forward(ext.tabs.onAttached, messages.tabMoved);
  forward(ext.tabs.onUpdated, messages.tabUpdated, (tabId, change) => state.noteAddress(tabId, change.url));
  forward(ext.tabs.onRemoved, messages.tabRemoved, (tabId) => state.forget([tabId]));
  forward(ext.webNavigation.onCreatedNavigationTarget, messages.navTarget, (details) =>
    state.noteTarget(details.tabId, details.sourceTabId, details.url),
  );
  // Chromium swaps a prerendered page's tab in under a new id, with no tabs.onCreated for it
  // (Firefox never fires this event).
  forward(
    ext.tabs.onReplaced,
    async (addedTabId, removedTabId) => messages.tabReplaced(await ext.tabs.get(addedTabId), removedTabId),
    (addedTabId, removedTabId) => state.forget([removedTabId]),
  );

  ready.then(() => port.start());
  return { port, state, idle: () => line };
}
