// The one file that names the browser's extension API. Firefox offers `browser`, the Chromium
// family `chrome`; both return promises under Manifest V3, so the rest of the code uses either.
import { browserFromBrands } from './events.js';

export const api = globalThis.browser ?? globalThis.chrome;

// The browser's name and version for the hello message: Firefox says it outright; the Chromium
// family lists its brands, with full versions when asked for them.
export async function browserInfo(ext = api, nav = globalThis.navigator) {
  if (ext.runtime.getBrowserInfo) {
    const info = await ext.runtime.getBrowserInfo();
    return { browser: info.name, version: info.version };
  }
  const data = nav?.userAgentData;
  let brands = data?.brands ?? [];
  try {
    brands = (await data.getHighEntropyValues(['fullVersionList'])).fullVersionList ?? brands;
  } catch {
    // Without the full list the short brand versions serve.
  }
  return browserFromBrands(brands, nav?.userAgent ?? '');
}
