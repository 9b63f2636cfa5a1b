import assert from 'node:assert/strict';
import { test } from 'node:test';

import { jsonBytes, readId, readInteger, readString } from '../src/checked.js';

test('strings are cut without splitting a pair, and lone surrogates are replaced', () => {
  assert.equal(readString('abcdef', 4), 'abcd');
  // The cut would fall between the two halves of 😀: it goes before it.
  assert.equal(readString('ab\u{1F600}cd', 3), 'ab');
  assert.equal(readString('ab\u{1F600}cd', 4), 'ab\u{1F600}');
  assert.equal(readString('x\uD800y\uDC00', 10), 'x\uFFFDy\uFFFD');
  assert.equal(readString(42, 10), null);
  assert.equal(readString({ toString: () => 'x' }, 10, ''), '');
});

test('ids keep what the browser gave, Firefox frame ids above 2^32 included', () => {
  const firefoxFrame = 2 ** 32 * 5 + 7;
  assert.equal(readId(firefoxFrame), firefoxFrame);
  assert.equal(JSON.parse(JSON.stringify({ id: readId(firefoxFrame) })).id, firefoxFrame);
  assert.equal(readId(-1), -1);
  for (const bad of [-2, 1.5, '3', NaN, Infinity, null, undefined])
    assert.equal(readId(bad), null, String(bad));
  assert.equal(readInteger(5, 0, 4), null);
  assert.equal(readInteger(4, 0, 4), 4);
});

test('the size of a message is counted in UTF-8 bytes, as the port carries it', () => {
  for (const text of ['plain', 'é', '日本語のページ', '\u{1F600}', 'quote " and \\ and \n', '\u0001'])
    assert.equal(jsonBytes({ text }), Buffer.byteLength(JSON.stringify({ text })), text);
});
