// Which browser this is: the first message Tabulon gets after the host's own.
import { MAX_TEXT, readString } from './checked.js';
import { PROTOCOL_VERSION } from './bridge.js';

// Chromium-family browsers name themselves in the user agent's brands, beside
// "Chromium" and a made-up brand that changes from version to version.
function pickBrand(brands) {
  const real = (brands ?? []).filter((b) => typeof b?.brand === 'string' && !/not.?a.?brand/i.test(b.brand));
  return real.find((b) => b.brand !== 'Chromium') ?? real.find((b) => b.brand === 'Chromium') ?? null;
}

export async function readHello(api, navigatorObject) {
  let product = null;
  let version = null;
  if (typeof api.runtime.getBrowserInfo === 'function') {
    const info = await api.runtime.getBrowserInfo();
    product = info?.name;
    version = info?.version;
  } else if (navigatorObject?.userAgentData) {
    const data = navigatorObject.userAgentData;
    let brand = null;
    try {
      const high = await data.getHighEntropyValues(['fullVersionList']);
      brand = pickBrand(high?.fullVersionList);
    } catch {
      // The short list below has the major version.
    }
    brand ??= pickBrand(data.brands);
    product = brand?.brand;
    version = brand?.version;
  }
  return {
    type: 'hello',
    protocol: PROTOCOL_VERSION,
    product: readString(product, 256, 'unknown'),
    version: readString(version, 256, ''),
    userAgent: readString(navigatorObject?.userAgent, MAX_TEXT, ''),
    extension: readString(api.runtime.getManifest?.()?.version, 256, ''),
  };
}
