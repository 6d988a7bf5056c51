// A small stand-in for the browser's extension API: events the test fires, calls it records,
// and a storage.session Map that a test hands to a second, restarted background.
export const settle = () => new Promise((done) => setImmediate(done));
const event = (listeners = []) => ({ addListener: (l) => listeners.push(l), fire: (...args) => listeners.forEach((l) => l(...args)) });

export function fakeBrowser({ open = [], session = new Map() } = {}) {
  const calls = [], ports = [];
  const record = (name) => async (...args) => (args[0] === 666 ? Promise.reject(new Error('No tab with id: 666')) : calls.push([name, ...args]));
  const connectNative = (host, sent = []) => ports[ports.push({ host, sent, onMessage: event(), onDisconnect: event(), postMessage: (m) => sent.push(m) }) - 1];
  const set = async (items) => Object.entries(items).forEach(([key, value]) => session.set(key, structuredClone(value)));
  return {
    calls, ports, session, open,
    runtime: { connectNative, getManifest: () => ({ version: '8.0.0' }) },
    storage: { session: { get: async () => Object.fromEntries(session), set, remove: async (keys) => keys.forEach((k) => session.delete(k)) } },
    windows: { getAll: async () => structuredClone(open), remove: record('windows.remove'), onCreated: event(), onRemoved: event() },
    tabs: { remove: record('tabs.remove'), update: record('tabs.update'), reload: record('tabs.reload'), onCreated: event(), onUpdated: event(), onAttached: event(), onRemoved: event() },
    webNavigation: { onCreatedNavigationTarget: event() },
  };
}
