// One native-messaging port to pagewarden-bridge. An open port also keeps the background alive.
// The bridge says whether the program is running ({type: "program", present}); messages are sent
// only while it is, since the bridge drops them otherwise. When the port itself fails (the bridge
// is not installed, or ended), it is opened again after a wait that doubles from 1 s up to 60 s
// and starts again from 1 s once the program has been reached.

export const HOST = 'pagewarden.bridge';
export const FIRST_WAIT_MS = 1000;
export const LAST_WAIT_MS = 60000;

export const nextWait = (wait) => Math.min(LAST_WAIT_MS, wait > 0 ? wait * 2 : FIRST_WAIT_MS);

export class NativePort {
  // `onPresent` runs each time the program becomes reachable; `onMessage` gets every other
  // message from the program.
  constructor({ runtime, state, onPresent, onMessage, setTimer = (run, ms) => setTimeout(run, ms), now = Date.now }) {
    Object.assign(this, { runtime, state, onPresent, onMessage, setTimer, now });
    this.port = null;
    this.present = false;
    this.timer = null;
    this.visits = 0; // how many times the program has become present
  }

  // Opens the port now, or when the wait a previous background set has passed.
  start() {
    const delay = this.state.reconnect.retryAt - this.now();
    if (delay > 0) this.retryIn(delay);
    else this.open();
  }

  open() {
    this.timer = null;
    this.present = false;
    let port;
    try {
      port = this.runtime.connectNative(HOST);
    } catch {
      this.lost(null);
      return;
    }
    this.port = port;
    port.onMessage.addListener((message) => this.received(port, message));
    port.onDisconnect.addListener(() => this.lost(port));
  }

  received(port, message) {
    if (port !== this.port || !message || typeof message !== 'object') return;
    if (message.type !== 'program') {
      if (this.present) this.onMessage(message);
      return;
    }
    const wasPresent = this.present;
    this.present = message.present === true;
    if (!this.present || wasPresent) return;
    this.visits += 1;
    if (this.state.reconnect.wait !== 0) this.state.setReconnect({ wait: 0, retryAt: 0 });
    this.onPresent();
  }

  lost(port) {
    if (port !== this.port) return;
    void this.runtime.lastError; // read, so Chromium does not log it as unchecked
    this.port = null;
    this.present = false;
    const wait = nextWait(this.state.reconnect.wait);
    this.state.setReconnect({ wait, retryAt: this.now() + wait });
    this.retryIn(wait);
  }

  retryIn(delay) {
    if (this.timer === null) this.timer = this.setTimer(() => this.open(), delay);
  }

  // Names the program's present visit, or null while it is absent; a message sent with a ticket
  // goes out only during that same visit.
  ticket() {
    return this.present ? this.visits : null;
  }

  send(message, ticket) {
    if (!message || !this.present || !this.port || ticket !== this.visits) return false;
    try {
      this.port.postMessage(message);
      return true;
    } catch {
      return false; // the port is closing; onDisconnect follows
    }
  }
}
