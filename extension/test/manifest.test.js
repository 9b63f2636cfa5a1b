import assert from 'node:assert/strict';
import { createHash } from 'node:crypto';
import { readFileSync } from 'node:fs';
import { test } from 'node:test';

const read = (path) => readFileSync(new URL(path, import.meta.url), 'utf8');
const manifest = JSON.parse(read('../manifest.json'));

test('the key gives the extension id that the host manifests and the protocol name', () => {
  const der = Buffer.from(manifest.key, 'base64');
  const hex = createHash('sha256').update(der).digest('hex').slice(0, 32);
  const id = [...hex].map((c) => String.fromCharCode(97 + parseInt(c, 16))).join('');
  assert.match(read('../../automation/bridge/HostManifests.h'), new RegExp(`kChromiumExtensionId = "${id}"`));
  assert.ok(read('../PROTOCOL.md').includes(`\`${id}\``));
  assert.match(read('../../automation/bridge/HostManifests.h'),
    new RegExp(`kFirefoxExtensionId = "${manifest.browser_specific_settings.gecko.id}"`));
});

test('one manifest serves both browsers and asks for nothing more than it needs', () => {
  assert.equal(manifest.manifest_version, 3);
  assert.equal(manifest.background.service_worker, manifest.background.scripts[0]);
  assert.equal(manifest.background.type, 'module');
  assert.deepEqual([...manifest.permissions].sort(), ['nativeMessaging', 'scripting', 'tabs']);
  assert.deepEqual(manifest.host_permissions, ['<all_urls>']);
  // Pages never get a way to talk to the extension.
  for (const key of ['externally_connectable', 'content_scripts', 'web_accessible_resources'])
    assert.equal(manifest[key], undefined, key);
});
