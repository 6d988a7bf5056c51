// The extension's background: a Chromium service worker, a Firefox background page. It starts the
// connector at once, at the top level, so every listener is in place before any await.
import { api, browserInfo } from './api.js';
import { start } from './main.js';

start(api, { browserInfo });
