// The program's commands carried out with browser calls. Only these four are accepted; each is
// answered by `done` with the command's id. A command without a usable id cannot be answered and
// is ignored, as are types this extension does not know.

class Refused extends Error {}

const isId = (value) => Number.isInteger(value) && value >= 0;

function tabIdOf(command) {
  if (!isId(command.tabId)) throw new Refused('tabId must be a tab id');
  return command.tabId;
}

// Only web addresses may be opened: never javascript:, data:, file: or the browser's own pages.
function webAddress(text) {
  let url;
  try {
    url = new URL(text);
  } catch {
    throw new Refused('url is not an address');
  }
  if (url.protocol !== 'http:' && url.protocol !== 'https:') throw new Refused(`${url.protocol} addresses are refused`);
  return url.href;
}

const handlers = {
  async close(ext, command) {
    const hasTab = command.tabId !== undefined;
    if (hasTab === (command.windowId !== undefined)) throw new Refused('close needs a tabId or a windowId');
    if (hasTab) await ext.tabs.remove(tabIdOf(command));
    else if (isId(command.windowId)) await ext.windows.remove(command.windowId);
    else throw new Refused('windowId must be a window id');
  },
  async navigate(ext, command) {
    const tabId = tabIdOf(command);
    if (typeof command.url !== 'string') throw new Refused('url must be text');
    await ext.tabs.update(tabId, { url: webAddress(command.url) });
  },
  async reload(ext, command) {
    await ext.tabs.reload(tabIdOf(command));
  },
  async snapshot(ext, command, sendSnapshot) {
    await sendSnapshot();
  },
};

// Carries out one command and gives the `done` answer, or null for a message that is not a
// command. `sendSnapshot` sends a fresh snapshot (the caller keeps it in order with the events).
export async function runCommand(ext, command, sendSnapshot) {
  if (!command || !Object.hasOwn(handlers, command.type)) return null;
  const { id } = command;
  if (!(isId(id) || (typeof id === 'string' && id !== ''))) return null;
  try {
    await handlers[command.type](ext, command, sendSnapshot);
    return { v: 1, type: 'done', id, ok: true };
  } catch (error) {
    return { v: 1, type: 'done', id, ok: false, error: String(error?.message ?? error) };
  }
}
