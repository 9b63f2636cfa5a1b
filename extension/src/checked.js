// Checked readers: every value that comes from a page, from the browser or from
// Tabulon passes through one of these before it is used or forwarded. A page can put
// anything in its DOM (a getter that throws, a number where a string belongs, a title
// of many megabytes, lone surrogates), so nothing is taken on trust.

export const MAX_TITLE = 64 * 1024;
export const MAX_ADDRESS = 8 * 1024;
export const MAX_TEXT = 8 * 1024;
export const MAX_ITEMS = 10000;

// A request that cannot be carried out as asked; `code` says why in one word.
export class BridgeError extends Error {
  constructor(code, message) {
    super(message);
    this.code = code;
  }
}

export function badRequest(message) {
  return new BridgeError('badRequest', message);
}

const toWellFormed = String.prototype.toWellFormed
  ? (s) => s.toWellFormed()
  : (s) => s.replace(/[\uD800-\uDBFF](?![\uDC00-\uDFFF])|(?<![\uD800-\uDBFF])[\uDC00-\uDFFF]/g, '\uFFFD');

// A string cut to at most `max` UTF-16 units without splitting a pair, lone
// surrogates replaced (the far side reads UTF-8); anything else reads as `fallback`.
export function readString(value, max, fallback = null) {
  if (typeof value !== 'string')
    return fallback;
  let s = value;
  if (s.length > max) {
    let end = max;
    const last = s.charCodeAt(end - 1);
    if (last >= 0xd800 && last <= 0xdbff)
      end -= 1;
    s = s.slice(0, end);
  }
  return toWellFormed(s);
}

// A whole number in [min, max]; anything else reads as `fallback`.
export function readInteger(value, min, max, fallback = null) {
  return Number.isInteger(value) && value >= min && value <= max ? value : fallback;
}

// A count: a whole number from 0 to 2^31-1.
export function readCount(value) {
  return readInteger(value, 0, 0x7fffffff, null);
}

export function readBoolean(value, fallback = null) {
  return typeof value === 'boolean' ? value : fallback;
}

// Browser ids (tabs, windows, frames). Firefox's frame ids pass 2^32 but stay below
// 2^53; any whole number from -1 up is kept as the number the browser gave, so it goes
// back to the browser unchanged.
export function readId(value) {
  return Number.isInteger(value) && value >= -1 ? value : null;
}

// One of a fixed set of words.
export function readChoice(value, choices, fallback = null) {
  return typeof value === 'string' && choices.includes(value) ? value : fallback;
}

// Readers for request parameters: a value that is missing or wrong is the
// request's fault and ends it with badRequest.
export function requireId(params, name) {
  const id = readId(params?.[name]);
  if (id === null || id < 0)
    throw badRequest(`${name} must be a browser id`);
  return id;
}

export function optionalInteger(params, name, min, max) {
  const value = params?.[name];
  if (value === undefined)
    return undefined;
  const n = readInteger(value, min, max);
  if (n === null)
    throw badRequest(`${name} must be a whole number from ${min} to ${max}`);
  return n;
}

export function optionalBoolean(params, name) {
  const value = params?.[name];
  if (value === undefined)
    return undefined;
  if (typeof value !== 'boolean')
    throw badRequest(`${name} must be true or false`);
  return value;
}

export function requireString(params, name, max) {
  const value = params?.[name];
  if (typeof value !== 'string' || value.length > max)
    throw badRequest(`${name} must be a string of at most ${max} characters`);
  return value;
}

export function optionalChoice(params, name, choices) {
  const value = params?.[name];
  if (value === undefined)
    return undefined;
  if (!choices.includes(value))
    throw badRequest(`${name} must be one of ${choices.join(', ')}`);
  return value;
}

// The length of a message as UTF-8 JSON: what the native port will carry.
export function jsonBytes(message) {
  const text = JSON.stringify(message);
  let bytes = text.length;
  for (let i = 0; i < text.length; i++) {
    const c = text.charCodeAt(i);
    if (c >= 0x80)
      bytes += c >= 0x800 && !(c >= 0xd800 && c <= 0xdfff) ? 2 : 1;
  }
  return bytes;
}
